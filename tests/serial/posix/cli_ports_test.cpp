#include <gtest/gtest.h>

#include <string>

#include "serial/posix/posix_serial_port.h"
#include "testlib/serial_pty.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

using test::PtyPair;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

class CliPortsTest : public ::testing::Test {
protected:
    std::string Cli(const std::string& arguments) {
        return std::string(ZUL_CLI_PATH) + " --settings " + ShellQuote(dir / "zultw.ini") + " " + arguments;
    }
    TempDir dir;
};

TEST_F(CliPortsTest, PortsShowsTheMappingAndWhetherTheDeviceExists) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    dir.Write("zultw.ini", "[Devices]\nCOM3=" + pty.slavePath() + "\nCOM4=" + (dir / "gone") + "\n");
    std::string output;
    ASSERT_EQ(RunCommand(Cli("ports"), dir.path(), &output), 0) << output;
    EXPECT_NE(output.find("COM3   " + pty.slavePath()), std::string::npos) << output;
    const std::size_t com3 = output.find("COM3 ");
    EXPECT_NE(output.find("present", com3), std::string::npos) << output;
    const std::size_t com4 = output.find("COM4 ");
    EXPECT_EQ(output.find("missing", com4), output.find("\n", com4) - 7) << output;
    EXPECT_NE(output.find("COM10  /dev/ttyS9"), std::string::npos) << output;
}

TEST_F(CliPortsTest, TestPortExitStatus) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const struct {
        bool echo;
        std::string arguments;
        int status;
        const char* shown;
    } kTable[] = {
        {true, "--device " + pty.slavePath() + " test-port --yes", 0, "TEST PASSED"},
        {false, "--device " + pty.slavePath() + " test-port --yes 2", 1, "** TEST FAILED **"},
        {true, "--device " + pty.slavePath() + " test-port </dev/null", 2, "Are you sure"},
        {true, "--device " + (dir / "none") + " --port 7 test-port --yes", 1, "no such device"},
    };
    for (const auto& row : kTable) {
        pty.StartEcho([&row](std::uint8_t) { return row.echo; });
        std::string output;
        EXPECT_EQ(RunCommand(Cli(row.arguments), dir.path(), &output), row.status) << row.arguments << "\n" << output;
        EXPECT_NE(output.find(row.shown), std::string::npos) << output;
        pty.StopEcho();
        pty.Drain();
    }
}

TEST_F(CliPortsTest, PortHeldByAnotherProgramIsBusy) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixSerialPort holder(0, pty.slavePath(), kInQueueSize, kOutQueueSize);
    ASSERT_EQ(holder.lastError, 0);
    std::string output;
    EXPECT_EQ(RunCommand(Cli("--device " + pty.slavePath() + " test-port --yes"), dir.path(), &output), 1);
    EXPECT_NE(output.find("another program holds the port"), std::string::npos) << output;
}

}  // namespace
}  // namespace zul
