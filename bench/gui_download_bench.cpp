// The download as the window program does it: a 256 KiB flash image through
// the download dialog (offscreen), to the simulated tester on a
// pseudo-terminal at the line's pace, with a realistic flash erase. Prints
// the payload rate as a fraction of 11,256 bytes/s (what 115200 baud carries
// in 131-byte blocks of 128), the processor time of the window thread as a
// fraction of the wall time during the transfer, and the longest time the
// event loop went without dispatching during the transfer and during the
// erase (a 5 ms timer's longest interval between two firings).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>

#include "host/messages.h"
#include "host/settings_store.h"
#include "host/startup.h"
#include "gui/qt/download_dialog.h"
#include "gui/qt/gui_seams.h"
#include "precise_player.h"
#include "serial/device_names.h"
#include "tester/download_engine.h"
#include "tester/link_setup.h"

namespace {

constexpr std::uint32_t kImageSize = 256 * 1024;
constexpr std::uint32_t kBlocks = kImageSize / 128;
// The first block at which the current-file bar shows 1 %.
constexpr std::uint32_t kFirstStepBlock = (kBlocks + 99) / 100;
constexpr double kLineLimit = 11520.0 * 128.0 / 131.0;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Every question answered with OK, nothing shown.
class AnswerOk final : public zul::MessageSink {
public:
    int Show(std::string_view text, std::string_view, unsigned) override {
        last = std::string(text);
        return zul::kIdOk;
    }
    std::string last;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace zul;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    char directory[] = "/tmp/zul-gui-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) return 1;
    const std::string dir = directory;
    std::vector<char> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::ofstream(dir + "/image.bin", std::ios::binary).write(image.data(), kImageSize);
    {
        std::string text =
            "[application]\nname=Bench\nversion=1.0\n[script]\nstartLine=s\nclosingLine=e\nnumberOfStatements=1\n"
            "stmt1=image.bin 100000 -FLASH\n";
        for (char& c : text) c = static_cast<char>(~static_cast<unsigned char>(c));
        std::ofstream(dir + "/bench.qob", std::ios::binary) << text;
    }
    SetSettingsFilePath(dir + "/zultw.ini");
    SettingsStore settings(SettingsFilePath());
    settings.WriteScriptDir(dir.c_str());
    settings.WriteImageDir(dir.c_str());
    auto selection = std::make_unique<PortSelection>();
    selection->portNumber = 1;
    SetCurrentPortSelection(std::move(selection));

    sim::SimOptions options = bench::BenchTesterOptions();
    options.timing.sectorEraseMs = sim::SimTiming::Realistic().sectorEraseMs;
    sim::TesterSimulator tester(options);
    auto player = std::make_unique<bench::PrecisePlayer>(tester);
    if (!player->ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    AnswerOk sink;
    FrontEnd frontEnd;
    frontEnd.messageSink = &sink;
    frontEnd.deviceOverride = player->path();
    frontEnd.inProcessSimulator = true;
    gui::GuiSeams seams(frontEnd);
    QWidget main;
    main.setWindowTitle("ZUL for KVR 7700");
    main.show();
    gui::GuiSeams::SetMainWindow(&main);

    gui::CDownloadDlg dialog(&main);
    if (!dialog.flow().Open()) {
        std::fprintf(stderr, "no tester answered\n");
        return 1;
    }
    dialog.FillList();
    dialog.show();
    dialog.list()->topLevelItem(0)->setSelected(true);

    // The event loop's pulse, and which phase each gap belongs to.
    enum Phase { kOther, kErase, kTransfer };
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    Phase lastPhase = kOther;
    qint64 longest[3] = {0, 0, 0};
    double transferStart = 0, transferEnd = 0, cpuStart = 0, cpuEnd = 0;
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    pulse.setInterval(5);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest[lastPhase] = std::max(longest[lastPhase], now - lastTick);
        lastTick = now;
        Phase phase = kOther;
        if (gui::CWorkingDlg* w = dialog.working()) {
            const QString status = w->statusLine()->text();
            if (status == kErasingStatus) phase = kErase;
            if (status.startsWith("Downloading") && w->currentBar()->value() < 100) phase = kTransfer;
        }
        lastPhase = phase;
    });
    QObject::connect(&dialog, &gui::CDownloadDlg::progressOpened, [&](gui::CWorkingDlg* w) {
        QObject::connect(w->currentBar(), &QProgressBar::valueChanged, [&](int value) {
            // From the bar's first step (before block kFirstStepBlock goes)
            // to its last (after the last block was taken).
            if (value == 1 && transferStart == 0) {
                transferStart = static_cast<double>(clock.nsecsElapsed()) / 1e9;
                cpuStart = ThreadCpuSeconds();
            }
            if (value == 100 && transferEnd == 0) {
                transferEnd = static_cast<double>(clock.nsecsElapsed()) / 1e9;
                cpuEnd = ThreadCpuSeconds();
            }
        });
        lastTick = clock.nsecsElapsed();
        pulse.start();
    });

    const DownloadOutcome outcome = dialog.flow().Download();
    pulse.stop();
    dialog.hide();
    player.reset();
    const bool intact = tester.memory().ReadFlash(0x100000, kImageSize) ==
                        std::vector<std::uint8_t>(image.begin(), image.end());
    std::remove((dir + "/image.bin").c_str());
    std::remove((dir + "/bench.qob").c_str());
    std::remove((dir + "/zultw.ini").c_str());
    rmdir(directory);
    if (outcome != DownloadOutcome::kCompleted || transferEnd <= transferStart || transferStart == 0) {
        std::fprintf(stderr, "download failed: %s\n", sink.last.c_str());
        return 1;
    }
    const double seconds = transferEnd - transferStart;
    const double payload = (kBlocks - kFirstStepBlock) * 128.0 / seconds;
    std::printf("image                 %u bytes to flash at 115200 baud, through the download dialog\n", kImageSize);
    std::printf("transfer time         %.3f s\n", seconds);
    std::printf("payload rate          %.0f bytes/s\n", payload);
    std::printf("fraction of the limit %.3f (limit %.0f bytes/s)\n", payload / kLineLimit, kLineLimit);
    std::printf("CPU of the window     %.4f of the wall time\n", (cpuEnd - cpuStart) / seconds);
    std::printf("longest loop gap      %.1f ms in the transfer, %.1f ms in the erase\n",
                static_cast<double>(longest[kTransfer]) / 1e6, static_cast<double>(longest[kErase]) / 1e6);
    std::printf("image in the tester   %s\n", intact ? "intact" : "DIFFERENT");
    return intact ? 0 : 1;
}
