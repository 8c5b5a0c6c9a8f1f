#include "tester/download_engine.h"

#include <array>
#include <cstdio>
#include <fstream>

#include "app/message_pump.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

struct PathPieces {
    std::string_view drive, directory, name, extension;
};

// Splits the way the Windows runtime does: an optional "X:" drive, the
// directory up to the last separator ("\" or "/"), then the name and the
// extension from its last dot.
PathPieces SplitPath(std::string_view path) {
    PathPieces pieces;
    if (path.size() >= 2 && path[1] == ':') {
        pieces.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    const std::size_t slash = path.find_last_of("\\/");
    if (slash != std::string_view::npos) {
        pieces.directory = path.substr(0, slash + 1);
        path.remove_prefix(slash + 1);
    }
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string_view::npos) {
        pieces.name = path.substr(0, dot);
        pieces.extension = path.substr(dot);
    } else {
        pieces.name = path;
    }
    return pieces;
}

// Ends a statement: closes the image, lets the windows catch up, and gives
// the tester a moment before the next statement talks to it.
int Finish(std::ifstream& image, int result) {
    image.close();
    PumpPendingMessages();
    WaitWithMessages(100);
    PumpPendingMessages();
    PumpPendingMessages();
    return result;
}

int Fail(std::ifstream& image, int result) {
    // Nothing queued for the tester may go out after a failure.
    if (TesterLink* link = ActiveTesterLink()) link->PurgeTransmit();
    return Finish(image, result);
}

std::string EraseCommand(const LoadStatement& s) {
    if (s.programCard) return CardEraseCommand(s.loadAddress, CardErasePages(s.imageSize));
    if (s.bankErase) return FlashEraseCommand(s.loadAddress, s.imageSize);
    return FlashEraseCommand(s.loadAddress);
}

}  // namespace

std::string ShortDisplayName(std::string_view path) {
    const PathPieces pieces = SplitPath(path);
    if (pieces.drive.empty() || pieces.directory.empty() || pieces.name.empty()) return std::string(path);
    return std::string(pieces.drive) + "\\...\\" + std::string(pieces.name) + std::string(pieces.extension);
}

std::string DownloadingStatusText(std::string_view imagePath) {
    return "Downloading: " + ShortDisplayName(imagePath);
}

std::string DownloadingTitle(int totalPercent) {
    char text[64];
    std::snprintf(text, sizeof text, "ZUL - Downloading (%d%%)", totalPercent);
    return text;
}

MonitorContext& EngineMonitorContext() {
    static MonitorContext context;
    return context;
}

int RunLoadStatement(const LoadStatement& original, std::uint32_t totalBlocks, std::uint32_t& blocksSent,
                     DownloadObserver& observer) {
    const LoadStatement s = original;
    // The flag is cleared once, when the download starts: a cancel pressed
    // while the statement before was ending (or during one that sends no
    // blocks) stops the download here, before the link is touched.
    if (observer.CancelRequested()) return kDownloadAborted;
    MonitorContext& context = EngineMonitorContext();

    std::ifstream image(s.imagePath, std::ios::binary);
    if (!image) return kDownloadImageUnreadable;
    const std::uint32_t blocks = s.imageSize / kBlockDataSize;
    const bool sendsData = !s.eraseOnly && s.loadType >= kLoadRam && s.loadType <= kLoadFlash;
    if (sendsData) {
        // Every block must come from the file: a file shorter than the
        // blocks to send would put stale bytes into the tester.
        image.seekg(0, std::ios::end);
        const std::streamoff length = image.tellg();
        image.seekg(0, std::ios::beg);
        if (length < 0 || static_cast<std::uint64_t>(length) < std::uint64_t{blocks} * kBlockDataSize)
            return kDownloadImageUnreadable;
    }
    // Flash work needs a monitor program that may be started on this tester;
    // without one nothing is sent at all.
    if (s.loadType == kLoadFlash && !UploadableMonitorImage()) return Finish(image, kDownloadMonitorFailed);

    if (const int linked = EstablishFastLink(context); linked != 0) return Fail(image, linked);

    PumpPendingMessages();
    observer.ShowStatus(kErasingStatus);
    observer.ShowTitle(kErasingTitle);

    if (s.loadType == kLoadFlash) {
        if (const int monitor = EnsureMonitor(context); monitor != 0) return Fail(image, monitor);
        if (!s.batterySkip) {
            for (std::uint8_t value : kBatteryCompareValues)
                if (SendCommand(context, BatteryTestCommand(value), kBatteryTest) != 0) break;
            if (SendCommand(context, VersionProbeCommand(), kRetryProbe) != 0) return Fail(image, kDownloadNoAnswer);
        }
        if (!s.noErase) {
            // Captured, so that an erase the tester understood differently
            // (another address or size) is caught by its echo.
            const std::string erase = EraseCommand(s);
            if (TesterLink* link = ActiveTesterLink()) link->PurgeReceive();
            constexpr CommandWait kCapturedErase{kEraseWait.waitSeconds, kEraseWait.timeoutCode, kEraseWait.errorCode,
                                                 true};
            if (SendCommand(context, erase, kCapturedErase) != 0 || !ReplyEchoes(context.Reply(), erase))
                return Fail(image, kDownloadNoAnswer);
        }
    }

    observer.ShowStatus(DownloadingStatusText(s.imagePath));

    if (!s.eraseOnly) {
        std::string load;
        if (s.programCard)
            load = CardLoadCommand(s.loadAddress, CardLoadPages(s.imageSize));
        else if (s.loadType == kLoadFlash)
            load = FlashLoadCommand(s.loadAddress, s.imageSize);
        else if (s.loadType == kLoadRam || s.loadType == kLoadRamRun)
            load = LoadDataCommand(s.loadAddress, s.imageSize);
        else
            return kDownloadBadDeviceType;
        // A cancel pressed during the erase: the tester need not even be
        // told about a transfer that will not come.
        if (observer.CancelRequested()) return Fail(image, kDownloadAborted);
        // The tester stores the blocks where the command it understood says:
        // a garbled address or size fails the statement before any data.
        if (SendCheckedCommand(context, load) != 0) return Fail(image, kDownloadNoAnswer);

        std::uint32_t sentHere = 0;
        std::array<std::uint8_t, kBlockDataSize> data{};
        for (std::uint32_t i = 0; i < blocks; ++i) {
            PumpPendingMessages();
            const int currentPercent = static_cast<int>((100ull * i) / blocks);
            observer.ShowCurrentPercent(currentPercent);
            if (totalBlocks != 0) {
                const int totalPercent = static_cast<int>((100ull * blocksSent) / totalBlocks);
                observer.ShowTotalPercent(totalPercent);
                observer.ShowTitle(DownloadingTitle(totalPercent));
            }
            image.read(reinterpret_cast<char*>(data.data()), kBlockDataSize);
            if (image.gcount() != static_cast<std::streamsize>(kBlockDataSize))
                return Fail(image, kDownloadImageUnreadable);
            const BlockFrame frame = FrameBlock(data);
            if (observer.CancelRequested()) return Fail(image, kDownloadAborted);
            const int sent = SendBlock(context, frame);
            PumpPendingMessages();
            if (sent != 0) return Fail(image, kDownloadBlockRefused);
            ++blocksSent;
            ++sentHere;
        }
        if (blocks != 0) observer.ShowCurrentPercent(static_cast<int>((100ull * sentHere) / blocks));

        // The monitor ends the transfer with its prompt; a "*" here is the
        // last block refused.
        switch (SendCommand(context, "", kCheckedTransferEnd)) {
            case 0:
                break;
            case kMonitorBlockRefused:
                return Fail(image, kDownloadBlockRefused);
            default:
                return Fail(image, kDownloadNoAnswer);
        }
        if (SendCommand(context, VersionProbeCommand(), kProbeAfterTransfer) != 0)
            return Fail(image, kDownloadNoAnswer);
        if (s.loadType == kLoadRamRun && SendCheckedCommand(context, CallCommand(s.loadAddress)) != 0)
            return Fail(image, kDownloadNoAnswer);
    }

    SetLinkSpeed(context, "9600", false);
    if (s.resetAfter) {
        SendCommand(context, ResetCommand(), kSendOnly);
        WaitWithMessages(10000);
    }
    return Finish(image, kDownloadOk);
}

}  // namespace zul
