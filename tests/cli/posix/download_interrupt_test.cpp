// Ctrl-C during zul-cli download: the engine stops at the next block.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testlib/temp_dir.h"
#include "testlib/image_fixtures.h"
#include "testlib/script_fixtures.h"

extern char** environ;

namespace zul {
namespace {

TEST(DownloadInterrupt, CtrlCAbortsAtTheNextBlock) {
    test::TempDir dir;
    dir.Write("zultw.ini", "[Dir Setup]\nQOBDir=" + dir.path() + "\nImgQOBDir=" + dir.path() + "\n");
    test::WriteImage(dir / "big.bin", test::ImageBytes(256 * 1024, 1));
    test::WriteScript(dir / "big.qob", "Big", "1.0", {"big.bin 20000 -RAM"});

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const std::string settings = dir / "zultw.ini";
    const char* argv[] = {ZUL_CLI_PATH, "--settings", settings.c_str(), "download", "--simulate", "--yes", "Big",
                          nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, ZUL_CLI_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    // Interrupt once the transfer shows progress; read everything to the end.
    std::string output;
    bool interrupted = false;
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0) break;
        char buffer[4096];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
        if (!interrupted && output.find("file  10%") != std::string::npos) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(interrupted) << output;
    ASSERT_TRUE(WIFEXITED(status)) << (WIFSIGNALED(status) ? WTERMSIG(status) : -1) << "\n" << output;
    EXPECT_EQ(WEXITSTATUS(status), 1) << output;
    EXPECT_NE(output.find("[Message] Download aborted"), std::string::npos) << output;
    EXPECT_EQ(output.find("Download complete"), std::string::npos) << output;
    EXPECT_EQ(output.find("file 100%"), std::string::npos) << output;
}

}  // namespace
}  // namespace zul
