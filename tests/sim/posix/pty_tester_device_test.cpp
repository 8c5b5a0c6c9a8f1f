// The simulated tester on a real pseudo-terminal, driven by a PC end that
// opens the device like a serial port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "sim/played_tester.h"
#include "sim/tester_device.h"
#include "support/clock.h"
#include "testlib/temp_dir.h"

namespace zul::sim {
namespace {

// Opens `path` raw at `speed` for reading and writing, non-blocking.
int OpenPc(const std::string& path, speed_t speed) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Reads what arrives on `fd` until `stop` is seen or `timeoutMs` passes,
// letting `pump` run the tester in between.
template <typename Pump>
std::string ReadUntil(int fd, const std::string& stop, std::uint32_t timeoutMs, Pump pump) {
    std::string got;
    Clock& clock = SystemClock();
    const std::uint32_t start = clock.TickCount();
    while (clock.TickCount() - start < timeoutMs) {
        pump();
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        if (!stop.empty() && got.find(stop) != std::string::npos) break;
    }
    return got;
}

TEST(PtyTesterDevice, AnswersAtTheRightSpeedAndGarblesAtAWrongOne) {
    struct Case {
        speed_t speed;
        int baud;
        bool understood;
    } cases[] = {{B9600, 9600, true}, {B115200, 115200, false}, {B19200, 19200, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        TesterSimulator tester;
        std::string error;
        auto device = OpenTesterDevice(tester, SystemClock(), &error);
        ASSERT_TRUE(device) << error;
        const int fd = OpenPc(device->path(), c.speed);
        ASSERT_GE(fd, 0);
        device->Pump(0);
        EXPECT_EQ(device->PcBaud(), c.baud);
        ASSERT_EQ(write(fd, "I\r", 2), 2);
        const std::string got = ReadUntil(fd, ">", c.understood ? 3000 : 400, [&] { device->Pump(5); });
        close(fd);
        if (c.understood) {
            EXPECT_EQ(got.substr(0, 7), "I\r\nZIZ2") << got;
        } else {
            EXPECT_EQ(got.find("ZIZ2"), std::string::npos) << got;
            for (const auto& e : tester.transcript()) EXPECT_NE(e.text, "I");
        }
    }
}

TEST(PtyTesterDevice, LinkPointsToTheDeviceAndNeverReplacesAFile) {
    test::TempDir dir;
    TesterSimulator tester;
    std::string error;
    {
        auto device = OpenTesterDevice(tester, SystemClock(), &error);
        ASSERT_TRUE(device) << error;
        ASSERT_TRUE(device->MakeLink(dir / "kvr", &error)) << error;
        char target[256] = {};
        ASSERT_GT(readlink((dir / "kvr").c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), device->path());
        dir.Write("file", "keep");
        EXPECT_FALSE(device->MakeLink(dir / "file", &error));
        EXPECT_EQ(dir.Read("file"), "keep");
    }
    EXPECT_NE(access((dir / "kvr").c_str(), F_OK), 0);  // removed with the device
}

// A front end's --simulate: the tester plays itself on its own thread, so
// the PC side only opens the device and talks.
TEST(PlayedTester, AnswersOnItsDeviceUntilStopped) {
    SimOptions options;
    options.timing = SimTiming::Fast();
    PlayedTester played(options);
    ASSERT_FALSE(played.devicePath().empty());
    EXPECT_FALSE(played.portFactory());
    const int fd = OpenPc(played.devicePath(), B9600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "I\r", 2), 2);
    const std::string got = ReadUntil(fd, ">", 3000, [] {});
    EXPECT_EQ(got.substr(0, 7), "I\r\nZIZ2") << got;
    played.Stop();
    ASSERT_FALSE(played.simulator().transcript().empty());
    EXPECT_EQ(played.simulator().transcript().front().text, "I");
    close(fd);
}

TEST(SimulateCommand, AnswersAHandTypedIdentifierQuery) {
    test::TempDir dir;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const std::string link = dir / "kvr";
    const std::string settings = dir / "zultw.ini";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        execl(ZUL_CLI_PATH, ZUL_CLI_PATH, "--settings", settings.c_str(), "simulate", "--link", link.c_str(),
              "--exit-after", "20000", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    auto idle = [&] {
        pollfd p{out[0], POLLIN, 0};
        poll(&p, 1, 5);
    };
    std::string printed = ReadUntil(out[0], "Interrupt", 10000, idle);
    ASSERT_NE(printed.find("Link " + link), std::string::npos) << printed;

    const int fd = OpenPc(link, B9600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "I\r", 2), 2);
    const std::string answer = ReadUntil(fd, ">", 5000, [fd] {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 20);
    });
    close(fd);
    EXPECT_EQ(answer.substr(3, 4), "ZIZ2") << answer;

    kill(child, SIGINT);
    printed += ReadUntil(out[0], "command lines", 5000, idle);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << printed;
    EXPECT_NE(printed.find("PC: I\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("KVR: I\\r\\nZIZ2"), std::string::npos) << printed;
}

TEST(SimulateCommand, RejectsAnUnknownFault) {
    test::TempDir dir;
    std::string output;
    const int status = test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir / "zultw.ini") +
                                            " simulate --fault nonsense --exit-after 1",
                                        dir.path(), &output);
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("unknown fault name"), std::string::npos) << output;
}

}  // namespace
}  // namespace zul::sim
