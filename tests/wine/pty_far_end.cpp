// The far end of a loopback test for programs that run in another process
// (tools/test.d/wine.sh runs the Windows build against it): a pseudo-terminal
// whose master echoes every byte, every byte but one value, or nothing.
//   zul_pty_far_end echo|drop=HEX|silent LINK [SECONDS]
// LINK becomes a symbolic link to the slave; the program runs until it is
// interrupted or SECONDS (default 120) have passed, and removes the link.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "testlib/serial_pty.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: zul_pty_far_end echo|drop=HEX|silent LINK [SECONDS]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string link = argv[2];
    const int seconds = argc == 4 ? std::atoi(argv[3]) : 120;
    std::function<bool(std::uint8_t)> keep;
    if (mode == "silent") {
        keep = [](std::uint8_t) { return false; };
    } else if (mode.rfind("drop=", 0) == 0) {
        const auto dropped = static_cast<std::uint8_t>(std::strtoul(mode.c_str() + 5, nullptr, 16));
        keep = [dropped](std::uint8_t byte) { return byte != dropped; };
    } else if (mode != "echo") {
        std::fprintf(stderr, "zul_pty_far_end: unknown mode %s\n", mode.c_str());
        return 2;
    }
    zul::test::PtyPair pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "zul_pty_far_end: no pseudo-terminal\n");
        return 1;
    }
    unlink(link.c_str());
    if (symlink(pty.slavePath().c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "zul_pty_far_end: cannot link %s\n", link.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    pty.StartEcho(keep);
    std::printf("%s -> %s (%s)\n", link.c_str(), pty.slavePath().c_str(), mode.c_str());
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!g_stop && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pty.StopEcho();
    unlink(link.c_str());
    return 0;
}
