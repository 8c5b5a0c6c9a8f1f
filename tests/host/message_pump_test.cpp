#include "host/message_pump.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "support/clock.h"

namespace zul {
namespace {

// A queue of named messages; "quit" is the quit request.
class FakePump : public MessagePump {
public:
    std::deque<std::string> queue;
    std::vector<std::string> log;
    int idleSteps = 0;

    bool HasPendingMessage() override { return !queue.empty(); }
    bool DispatchOne() override {
        std::string m = queue.front();
        queue.pop_front();
        log.push_back(m);
        return m != "quit";
    }
    bool Idle(long count) override {
        log.push_back("idle" + std::to_string(count));
        return count + 1 < idleSteps;
    }
    void PostQuit() override { queue.push_back("quit"); }
};

class PumpTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessagePump(&pump); }
    void TearDown() override { SetMessagePump(nullptr); }
    FakePump pump;
    VirtualClock clock;
    ScopedClock scoped{clock};
};

TEST_F(PumpTest, DispatchesEverythingThenRunsIdleUntilDone) {
    pump.queue = {"a", "b"};
    pump.idleSteps = 3;
    EXPECT_EQ(PumpPendingMessages(), 1);
    EXPECT_EQ(pump.log, (std::vector<std::string>{"a", "b", "idle0", "idle1", "idle2"}));
}

TEST_F(PumpTest, QuitReturnsZeroAndLeavesTheQuitRequestQueued) {
    pump.queue = {"a", "quit", "b"};
    EXPECT_EQ(PumpPendingMessages(), 0);
    EXPECT_EQ(pump.log, (std::vector<std::string>{"a", "quit"}));
    EXPECT_EQ(pump.queue, (std::deque<std::string>{"b", "quit"}));
}

TEST_F(PumpTest, WaitSleepsInFiftyMillisecondSlicesPumpingAfterEach) {
    WaitWithMessages(120);
    EXPECT_EQ(clock.sleeps(), (std::vector<std::uint32_t>{50, 50, 20}));
    EXPECT_EQ(clock.TickCount(), 120u);
    EXPECT_EQ(pump.log, (std::vector<std::string>{"idle0", "idle0", "idle0"}));
}

TEST_F(PumpTest, WaitOfZeroOrLessReturnsAtOnce) {
    for (int ms : {0, -1, -500}) WaitWithMessages(ms);
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_TRUE(pump.log.empty());
}

TEST_F(PumpTest, WaitOfAnExactMultipleEndsOnTheLastFullSlice) {
    WaitWithMessages(100);
    EXPECT_EQ(clock.sleeps(), (std::vector<std::uint32_t>{50, 50}));
}

}  // namespace
}  // namespace zul
