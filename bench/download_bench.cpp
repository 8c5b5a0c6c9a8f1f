// Throughput of a flash download: a 256 KiB image to the simulated tester on
// a pseudo-terminal at 115200 baud, with the tester taking only the line's
// time (10 bit times per byte) and nothing for programming. Prints the
// payload rate, that rate as a fraction of what the line allows for this
// protocol (128 payload bytes per 131 bytes on the wire, one of them the
// block request), and the processor time of the download as a fraction of
// the wall time.
//
// On POSIX, without arguments, both ends run in this process (the processor
// time is the downloading thread's). With --far-end PATH it plays only the
// tester, on a pseudo-terminal that PATH links to, until the image has
// arrived and the line has gone quiet, then tells whether the image is
// intact: the far end for the Windows build of this program, which
// downloads over COM port N (--port N, default 1) and counts the processor
// time of its whole process (Wine serves a port with threads of its own).
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/device_names.h"
#include "sim/tester_simulator.h"
#include "support/clock.h"
#include "tester/download_engine.h"
#include "tester/link_setup.h"
#include "tester/tester_seams.h"

#ifndef _WIN32
#include "precise_player.h"
#endif

namespace {

constexpr std::uint32_t kImageSize = 256 * 1024;
constexpr std::uint32_t kAddress = 0x100000;

std::vector<std::uint8_t> BenchImage() {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    return image;
}

#ifdef _WIN32
double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}
#else
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
#endif

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Notes when the transfer of the image starts and ends.
class Stopwatch final : public zul::DownloadObserver {
public:
    void ShowStatus(std::string_view) override {}
    void ShowCurrentPercent(int percent) override {
        if (percent == 0 && !started) {
            started = true;
            wall0 = WallSeconds();
            cpu0 = CpuSeconds();
        }
        if (percent == 100 && started) {
            wall1 = WallSeconds();
            cpu1 = CpuSeconds();
        }
    }
    void ShowTotalPercent(int) override {}
    void ShowTitle(std::string_view) override {}
    bool CancelRequested() override { return false; }
    bool started = false;
    double wall0 = 0, wall1 = 0, cpu0 = 0, cpu1 = 0;
};

#ifndef _WIN32
using namespace zul::bench;

// Plays the tester for a download from another process: done when the whole
// image has been stored and nothing has come for a second, or after
// `seconds`.
int RunFarEnd(const std::string& link, int seconds) {
    using namespace zul;
    sim::TesterSimulator tester(BenchTesterOptions());
    auto player = std::make_unique<PrecisePlayer>(tester);
    if (!player->ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    std::remove(link.c_str());
    if (symlink(player->path().c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "cannot link %s\n", link.c_str());
        return 1;
    }
    std::printf("far end on %s\n", player->path().c_str());
    std::fflush(stdout);
    // A healthy download never pauses for long: once bytes have come and the
    // line has been quiet for a second and a half, the download is over.
    const std::uint64_t deadline = NowNanos() + static_cast<std::uint64_t>(seconds) * 1'000'000'000u;
    while (NowNanos() < deadline && !(player->heard() && player->quietFor() > 1'500'000'000u))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The tester belongs to the player's thread until it has stopped.
    player.reset();
    std::remove(link.c_str());
    const bool intact = tester.memory().ReadFlash(kAddress, kImageSize) == BenchImage();
    std::printf("image in the tester   %s\n", intact ? "intact" : "DIFFERENT");
    return intact ? 0 : 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    using namespace zul;
    int port = 1;
#ifndef _WIN32
    std::string farEnd;
    int farEndSeconds = 120;
#endif
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
#ifndef _WIN32
        } else if (arg == "--far-end" && i + 1 < argc) {
            farEnd = argv[++i];
        } else if (arg == "--seconds" && i + 1 < argc) {
            farEndSeconds = std::atoi(argv[++i]);
#endif
        } else {
            std::fprintf(stderr, "usage: zul_download_bench [--port N]%s\n",
#ifdef _WIN32
                         ""
#else
                         " | --far-end PATH [--seconds S]"
#endif
            );
            return 2;
        }
    }
#ifndef _WIN32
    if (!farEnd.empty()) return RunFarEnd(farEnd, farEndSeconds);
#endif

    const std::vector<std::uint8_t> image = BenchImage();
    char directory[512];
#ifdef _WIN32
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::snprintf(directory, sizeof directory, "%szul-bench-%lu", temp, static_cast<unsigned long>(GetCurrentProcessId()));
    if (!CreateDirectoryA(directory, nullptr)) return 1;
    const std::string imagePath = std::string(directory) + "\\image.bin";
#else
    std::snprintf(directory, sizeof directory, "/tmp/zul-bench-XXXXXX");
    if (mkdtemp(directory) == nullptr) return 1;
    const std::string imagePath = std::string(directory) + "/image.bin";
#endif
    std::ofstream(imagePath, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), kImageSize);

    TesterSeams seams;
#ifndef _WIN32
    sim::TesterSimulator tester(BenchTesterOptions());
    auto player = std::make_unique<PrecisePlayer>(tester);
    if (!player->ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    seams.deviceOverride = player->path();
#endif
    // The far end is always our simulated tester (in this process or, for the
    // Windows build, the POSIX build's), so the built-in monitor may go to it.
    seams.inProcessSimulator = true;
    const TesterSeamsScope installed(seams);
    int result = ResultNumber(OpenTesterLink(port));
    Stopwatch watch;
    if (result == 0) {
        LoadStatement statement;
        statement.loadType = kLoadFlash;
        statement.loadAddress = kAddress;
        statement.imageSize = kImageSize;
        statement.imagePath = imagePath;
        statement.batterySkip = true;
        std::uint32_t blocksSent = 0;
        result = ResultNumber(RunLoadStatement(statement, kImageSize / 128, blocksSent, watch));
        CloseTesterLink();
    }
    std::remove(imagePath.c_str());
#ifdef _WIN32
    RemoveDirectoryA(directory);
#else
    player.reset();
    rmdir(directory);
#endif

    if (result != 0 || watch.wall1 <= watch.wall0) {
        std::fprintf(stderr, "download failed: %d\n", result);
        return 1;
    }
    const double seconds = watch.wall1 - watch.wall0;
    // The last block's percentage is reported before it is sent: 2047 blocks
    // lie between the two readings.
    const double payload = (kImageSize - 128) / seconds;
    const double limit = 11520.0 * 128.0 / 131.0;
#ifdef _WIN32
    std::printf("image                 %u bytes to flash at 115200 baud over COM%d\n", kImageSize, port);
#else
    std::printf("image                 %u bytes to flash at 115200 baud over a pseudo-terminal\n", kImageSize);
#endif
    std::printf("transfer time         %.3f s\n", seconds);
    std::printf("payload rate          %.0f bytes/s\n", payload);
    std::printf("fraction of the limit %.3f (limit %.0f bytes/s)\n", payload / limit, limit);
#ifdef _WIN32
    std::printf("CPU of the download   %.4f of the wall time (whole process)\n", (watch.cpu1 - watch.cpu0) / seconds);
    return 0;
#else
    std::printf("CPU of the download   %.4f of the wall time\n", (watch.cpu1 - watch.cpu0) / seconds);
    const bool intact = tester.memory().ReadFlash(kAddress, kImageSize) == image;
    std::printf("image in the tester   %s\n", intact ? "intact" : "DIFFERENT");
    return intact ? 0 : 1;
#endif
}
