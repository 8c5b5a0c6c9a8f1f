// zul-cli identify against a far end played on a pseudo-terminal.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "testlib/serial_pty.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

// Answers every "I\r" with `answer` until stopped.
class Answerer {
public:
    Answerer(int master, std::string answer) : master_(master), answer_(std::move(answer)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~Answerer() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run() {
        std::string seen;
        while (!stop_) {
            pollfd watch{master_, POLLIN, 0};
            if (poll(&watch, 1, 20) <= 0) continue;
            char buffer[64];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) continue;
            seen.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t at; (at = seen.find("I\r")) != std::string::npos;) {
                seen.erase(0, at + 2);
                if (!answer_.empty() && write(master_, answer_.data(), answer_.size()) < 0) return;
            }
        }
    }
    int master_;
    std::string answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct IdentifyRow {
    const char* name;
    std::string answer;
    int exitCode;
    const char* shows;
};

TEST(IdentifyCommand, ReportsWhatAnswered) {
    const IdentifyRow rows[] = {
        {"ZIZ2 tester", "I\r\nZIZ2\r\n>", 0, "KVR 7700 (ZIZ2)"},
        {"other tester", "I\r\nZIZ1\r\n>", 1, "[Error] Unsuccessful communication with the Engine Analyzer."},
        {"silence", "", 1, "[Error] Unsuccessful communication with the Engine Analyzer."},
    };
    for (const auto& row : rows) {
        test::PtyPair pty;
        ASSERT_TRUE(pty.ok());
        test::TempDir dir;
        Answerer answerer(pty.master(), row.answer);
        std::string output;
        const int status = test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir / "zultw.ini") +
                                                " identify --device " + test::ShellQuote(pty.slavePath()) +
                                                " --trace trace.txt",
                                            dir.path(), &output);
        EXPECT_EQ(status, row.exitCode) << row.name << "\n" << output;
        EXPECT_NE(output.find(row.shows), std::string::npos) << row.name << "\n" << output;
        EXPECT_NE(output.find("Determining tester configuration, please wait..."), std::string::npos) << output;
        EXPECT_NE(dir.Read("trace.txt").find("TX 49 0d"), std::string::npos) << row.name;
    }
}

TEST(IdentifyCommand, MissingPort) {
    test::TempDir dir;
    std::string output;
    const int status = test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir / "zultw.ini") +
                                            " identify --device /dev/zul-no-such-port",
                                        dir.path(), &output);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("[Communications Error] Incorrect or disconnected serial port"), std::string::npos) << output;
}

}  // namespace
}  // namespace zul
