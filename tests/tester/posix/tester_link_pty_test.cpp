// The tester link over a real serial device: a pseudo-terminal whose far end
// the test plays.
#include <gtest/gtest.h>

#include "serial/device_names.h"
#include "tester/link_setup.h"
#include "tester/tester_link.h"
#include "tester/tester_seams.h"
#include "testlib/serial_pty.h"

namespace zul {
namespace {

class TesterLinkPtyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty_.ok()); }
    void TearDown() override { CloseTesterLink(); }
    TesterSeams Seams() {
        TesterSeams seams;
        seams.deviceOverride = pty_.slavePath();
        return seams;
    }
    test::PtyPair pty_;
    TesterSeamsScope seams_{Seams()};
    MonitorContext context_;
};

TEST_F(TesterLinkPtyTest, OpensAt9600QueriesAndRestoresOnClose) {
    termios before = pty_.Attributes();
    cfsetospeed(&before, B2400);
    cfsetispeed(&before, B2400);
    ASSERT_TRUE(pty_.SetAttributes(before));

    ASSERT_EQ(OpenTesterLink(1), LinkOpenResult::Ok);
    ASSERT_NE(ActiveTesterLink(), nullptr);
    EXPECT_EQ(pty_.Baud(), 9600);

    ASSERT_TRUE(pty_.Write("I\r\nZIZ2\r\n>"));
    EXPECT_EQ(QueryHardwareId(context_), HardwareId::Ziz2);
    EXPECT_EQ(pty_.Read(2), "I\r");

    ASSERT_EQ(ActiveTesterLink()->SetLineSpeed(115200), 0);
    EXPECT_EQ(pty_.Baud(), 115200);

    EXPECT_EQ(CloseTesterLink(), 0);
    EXPECT_EQ(ActiveTesterLink(), nullptr);
    EXPECT_EQ(pty_.Baud(), 2400);
}

TEST_F(TesterLinkPtyTest, MissingDeviceIs151AndLeavesNothingOpen) {
    SetDeviceOverride("/dev/zul-no-such-device");
    EXPECT_EQ(OpenTesterLink(1), LinkOpenResult::OpenFailed);
    EXPECT_EQ(ActiveTesterLink(), nullptr);
}

TEST_F(TesterLinkPtyTest, SecondOpenReplacesTheFirstWithoutLeakingThePort) {
    ASSERT_EQ(OpenTesterLink(1), LinkOpenResult::Ok);
    ASSERT_EQ(OpenTesterLink(1), LinkOpenResult::Ok);
    EXPECT_EQ(CloseTesterLink(), 0);
    ASSERT_EQ(OpenTesterLink(1), LinkOpenResult::Ok);
}

}  // namespace
}  // namespace zul
