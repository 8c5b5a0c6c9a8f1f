#include "tester/link_trace.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/clock.h"
#include "tester/link_setup.h"
#include "testlib/tester_fake_monitor.h"

namespace zul {
namespace {

TEST(LinkTrace, HexdumpWithTimesAndSpeed) {
    VirtualClock clock(0);
    ScopedClock scoped(clock);
    std::ostringstream out;
    {
        auto fake = std::make_unique<test::FakeMonitorLink>(clock);
        fake->replyDelayMs = 20;
        InstallTesterLink(MakeTracingLink(std::move(fake), out));
        MonitorContext context;
        EXPECT_EQ(QueryHardwareId(context), HardwareId::Ziz2);
        EXPECT_EQ(ActiveTesterLink()->SetLineSpeed(115200), 0);
        CloseTesterLink();
    }
    const std::string trace = out.str();
    EXPECT_NE(trace.find("  9600 TX 49 0d"), std::string::npos) << trace;
    EXPECT_NE(trace.find("|I.|"), std::string::npos) << trace;
    EXPECT_NE(trace.find("RX 49 0d 0a 5a 49 5a 32 0d 0a 3e"), std::string::npos) << trace;
    EXPECT_NE(trace.find("|I..ZIZ2..>|"), std::string::npos) << trace;
    EXPECT_NE(trace.find("    +20 ms   9600 RX"), std::string::npos) << trace;
    EXPECT_NE(trace.find("-- line 115200 8N1"), std::string::npos) << trace;
    EXPECT_NE(trace.find("-- close"), std::string::npos) << trace;
}

}  // namespace
}  // namespace zul
