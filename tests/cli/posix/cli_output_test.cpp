// What zul-cli prints when scripts, devices or files misbehave.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "testlib/serial_pty.h"
#include "testlib/temp_dir.h"
#include "testlib/image_fixtures.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

class CliOutputTest : public ::testing::Test {
protected:
    CliOutputTest() {
        dir_.Write("zultw.ini", "[Dir Setup]\nQOBDir=" + dir_.path() + "\nImgQOBDir=" + dir_.path() + "\n");
        test::WriteImage(dir_ / "ram.bin", test::ImageBytes(1024, 1));
        test::WriteImage(dir_ / "flash.bin", test::ImageBytes(1024, 2));
    }
    int Run(const std::string& arguments, std::string* output) {
        return test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir_ / "zultw.ini") + " " +
                                    arguments + " </dev/null",
                                dir_.path(), output);
    }
    test::TempDir dir_;
};

TEST_F(CliOutputTest, ControlBytesFromScriptsAreShownNotSent) {
    test::WriteScript(dir_ / "evil.qob", "Evil\x1b]0;owned\x07 App", "1.0\x1b[5m",
                      {"!Press OK\x1b[2J\x07\nnow", "ram.bin 20000 -RAM"});
    struct Row {
        const char* command;
        const char* shows;
    };
    const Row rows[] = {
        {"list", "Evil\\x1b]0;owned\\x07 App"},
        {"check", "message \"!Press OK\\x1b[2J\\x07"},
        {"download --simulate --yes evil", "[Message] !Press OK\\x1b[2J\\x07"},
    };
    for (const auto& row : rows) {
        std::string output;
        EXPECT_EQ(Run(row.command, &output), 0) << row.command << "\n" << output;
        EXPECT_NE(output.find(row.shows), std::string::npos) << row.command << "\n" << output;
        EXPECT_EQ(output.find('\x1b'), std::string::npos) << row.command;
        EXPECT_EQ(output.find('\x07'), std::string::npos) << row.command;
    }
}

TEST_F(CliOutputTest, TraceThatCannotBeWrittenFailsTheCommand) {
    test::WriteScript(dir_ / "ram.qob", "RAM Tool", "1.0", {"ram.bin 20000 -RAM"});
    for (const char* command : {"identify --simulate --trace /dev/full",
                                "download --simulate --yes --trace /dev/full \"RAM Tool\""}) {
        std::string output;
        EXPECT_EQ(Run(command, &output), 1) << command << "\n" << output;
        EXPECT_NE(output.find("zul-cli: the trace could not be written to /dev/full"), std::string::npos)
            << command << "\n" << output;
    }
}

TEST_F(CliOutputTest, DirectoryAsDeviceIsNamedAsSuch) {
    for (const char* command : {"identify", "test-port --yes"}) {
        std::string output;
        EXPECT_EQ(Run(std::string("--device ") + test::ShellQuote(dir_.path()) + " " + command, &output), 1)
            << command << "\n" << output;
        EXPECT_NE(output.find(dir_.path() + ": not a serial device."), std::string::npos) << command << "\n" << output;
        EXPECT_EQ(output.find("system error"), std::string::npos) << command << "\n" << output;
    }
}

// A tester on a pseudo-terminal that identifies itself as a real one and
// answers nothing else.
class RealTesterStandIn {
public:
    explicit RealTesterStandIn(int master) : master_(master) {
        thread_ = std::thread([this] { Run(); });
    }
    ~RealTesterStandIn() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run() {
        std::string seen;
        const std::string answer = "I\r\nZIZ2 KVR 7700 PowerPC\r\n>";
        while (!stop_) {
            pollfd watch{master_, POLLIN, 0};
            if (poll(&watch, 1, 20) <= 0) continue;
            char buffer[64];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) continue;
            seen.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t at; (at = seen.find("I\r")) != std::string::npos;) {
                seen.erase(0, at + 2);
                if (write(master_, answer.data(), answer.size()) < 0) return;
            }
        }
    }
    int master_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(CliOutputTest, NoMonitorImageForARealTesterSendsNothingAndSaysWhichSetting) {
    test::WriteScript(dir_ / "flash.qob", "Flash Pack", "1.0", {"flash.bin 100000 -FLASH"});
    std::string output;
    EXPECT_EQ(Run("check \"Flash Pack\"", &output), 0) << output;
    EXPECT_NE(output.find("warning: no monitor image: flash statements need one, named by MonitorImage in section "
                          "[Dir Setup]"),
              std::string::npos)
        << output;

    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    RealTesterStandIn tester(pty.master());
    EXPECT_EQ(Run("download --yes --trace trace.txt --device " + test::ShellQuote(pty.slavePath()) + " \"Flash Pack\"",
                  &output),
              1)
        << output;
    EXPECT_NE(output.find("[Error] Monitor could not be downloaded"), std::string::npos) << output;
    EXPECT_NE(output.find("name the image file with MonitorImage in section [Dir Setup] of " + (dir_ / "zultw.ini")),
              std::string::npos)
        << output;
    // Only the identification went out.
    const std::string trace = dir_.Read("trace.txt");
    EXPECT_NE(trace.find("TX 49 0d"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("TX 56 0d"), std::string::npos) << trace;
}

}  // namespace
}  // namespace zul
