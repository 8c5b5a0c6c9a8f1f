#include "tester/download_engine.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <optional>

#include "host/message_pump.h"
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

std::string EraseCommand(const LoadStatement& s) {
    if (s.programCard) return CardEraseCommand(s.loadAddress, CardErasePages(s.imageSize));
    if (s.bankErase) return FlashEraseCommand(s.loadAddress, s.imageSize);
    return FlashEraseCommand(s.loadAddress);
}

// The command that announces the image's blocks; none for a load type the
// engine does not know.
std::optional<std::string> TransferCommand(const LoadStatement& s) {
    if (s.programCard) return CardLoadCommand(s.loadAddress, CardLoadPages(s.imageSize));
    if (s.loadType == kLoadFlash) return FlashLoadCommand(s.loadAddress, s.imageSize);
    if (s.loadType == kLoadRam || s.loadType == kLoadRamRun) return LoadDataCommand(s.loadAddress, s.imageSize);
    return std::nullopt;
}

// One statement from start to end. Each step returns DownloadResult::Ok or the
// result the statement fails with.
class StatementRun {
public:
    StatementRun(const LoadStatement& statement, std::uint32_t totalBlocks, std::uint32_t& blocksSent,
                 DownloadObserver& observer)
        : s_(statement), totalBlocks_(totalBlocks), blocksSent_(blocksSent), observer_(observer) {}

    DownloadResult Run();

private:
    DownloadResult OpenImage();
    DownloadResult PrepareFlash();
    bool TestBattery();
    bool Erase();
    DownloadResult SendBlocks();
    void ShowProgress(std::uint32_t block);
    DownloadResult EndTransfer();
    void SwitchBack();
    DownloadResult Finish(DownloadResult result);
    DownloadResult Fail(DownloadResult result);

    const LoadStatement s_;
    const std::uint32_t totalBlocks_;
    std::uint32_t& blocksSent_;
    DownloadObserver& observer_;
    MonitorContext& context_ = EngineMonitorContext();
    std::ifstream image_;
    std::uint32_t blocks_ = 0;
};

DownloadResult StatementRun::Run() {
    // The flag is cleared once, when the download starts: a cancel pressed
    // while the statement before was ending (or during one that sends no
    // blocks) stops the download here, before the link is touched.
    if (observer_.CancelRequested()) return DownloadResult::Aborted;
    if (const DownloadResult opened = OpenImage(); opened != DownloadResult::Ok) return opened;
    // Flash work needs a monitor program that may be started on this tester;
    // without one nothing is sent at all.
    if (s_.loadType == kLoadFlash && !UploadableMonitorImage()) return Finish(DownloadResult::MonitorFailed);

    if (const DownloadResult linked = EstablishFastLink(context_); linked != DownloadResult::Ok) return Fail(linked);

    PumpPendingMessages();
    observer_.ShowStatus(kErasingStatus);
    observer_.ShowTitle(kErasingTitle);
    if (s_.loadType == kLoadFlash) {
        if (const DownloadResult prepared = PrepareFlash(); prepared != DownloadResult::Ok) return Fail(prepared);
    }

    observer_.ShowStatus(DownloadingStatusText(s_.imagePath));

    if (!s_.eraseOnly) {
        const std::optional<std::string> load = TransferCommand(s_);
        if (!load) return DownloadResult::BadDeviceType;
        // A cancel pressed during the erase: the tester need not even be
        // told about a transfer that will not come.
        if (observer_.CancelRequested()) return Fail(DownloadResult::Aborted);
        // The tester stores the blocks where the command it understood says:
        // a garbled address or size fails the statement before any data.
        if (SendCheckedCommand(context_, *load) != MonitorResult::Ok) return Fail(DownloadResult::NoAnswer);
        if (const DownloadResult sent = SendBlocks(); sent != DownloadResult::Ok) return Fail(sent);
        if (const DownloadResult ended = EndTransfer(); ended != DownloadResult::Ok) return Fail(ended);
    }

    SwitchBack();
    return Finish(DownloadResult::Ok);
}

DownloadResult StatementRun::OpenImage() {
    image_.open(s_.imagePath, std::ios::binary);
    if (!image_) return DownloadResult::ImageUnreadable;
    blocks_ = s_.imageSize / kBlockDataSize;
    const bool sendsData = !s_.eraseOnly && s_.loadType >= kLoadRam && s_.loadType <= kLoadFlash;
    if (sendsData) {
        // Every block must come from the file: a file shorter than the
        // blocks to send would put stale bytes into the tester.
        image_.seekg(0, std::ios::end);
        const std::streamoff length = image_.tellg();
        image_.seekg(0, std::ios::beg);
        if (length < 0 || static_cast<std::uint64_t>(length) < std::uint64_t{blocks_} * kBlockDataSize)
            return DownloadResult::ImageUnreadable;
    }
    return DownloadResult::Ok;
}

// ZUL's monitor, the battery and the erase before flash is written.
DownloadResult StatementRun::PrepareFlash() {
    if (const DownloadResult monitor = EnsureMonitor(context_); monitor != DownloadResult::Ok) return monitor;
    if (!s_.batterySkip && !TestBattery()) return DownloadResult::NoAnswer;
    if (!s_.noErase && !Erase()) return DownloadResult::NoAnswer;
    return DownloadResult::Ok;
}

// The battery tests stop at the first without a prompt; the probe after
// them decides.
bool StatementRun::TestBattery() {
    for (std::uint8_t value : kBatteryCompareValues)
        if (SendCommand(context_, BatteryTestCommand(value), kBatteryTest) != MonitorResult::Ok) break;
    return SendCommand(context_, VersionProbeCommand(), kRetryProbe) == MonitorResult::Ok;
}

bool StatementRun::Erase() {
    // Captured, so that an erase the tester understood differently (another
    // address or size) is caught by its echo.
    const std::string erase = EraseCommand(s_);
    if (TesterLink* link = ActiveTesterLink()) link->PurgeReceive();
    constexpr CommandWait kCapturedErase{kEraseWait.waitSeconds, kEraseWait.timeoutCode, kEraseWait.errorCode, true};
    return SendCommand(context_, erase, kCapturedErase) == MonitorResult::Ok && ReplyEchoes(context_.Reply(), erase);
}

DownloadResult StatementRun::SendBlocks() {
    std::uint32_t sentHere = 0;
    std::array<std::uint8_t, kBlockDataSize> data{};
    for (std::uint32_t i = 0; i < blocks_; ++i) {
        PumpPendingMessages();
        ShowProgress(i);
        image_.read(reinterpret_cast<char*>(data.data()), kBlockDataSize);
        if (image_.gcount() != static_cast<std::streamsize>(kBlockDataSize)) return DownloadResult::ImageUnreadable;
        const BlockFrame frame = FrameBlock(data);
        if (observer_.CancelRequested()) return DownloadResult::Aborted;
        const MonitorResult sent = SendBlock(context_, frame);
        PumpPendingMessages();
        if (sent != MonitorResult::Ok) return DownloadResult::BlockRefused;
        ++blocksSent_;
        ++sentHere;
    }
    if (blocks_ != 0) observer_.ShowCurrentPercent(static_cast<int>((100ull * sentHere) / blocks_));
    return DownloadResult::Ok;
}

// Both bars and the title before `block` of this statement goes out.
void StatementRun::ShowProgress(std::uint32_t block) {
    observer_.ShowCurrentPercent(static_cast<int>((100ull * block) / blocks_));
    if (totalBlocks_ == 0) return;
    const int totalPercent = static_cast<int>((100ull * blocksSent_) / totalBlocks_);
    observer_.ShowTotalPercent(totalPercent);
    observer_.ShowTitle(DownloadingTitle(totalPercent));
}

DownloadResult StatementRun::EndTransfer() {
    // The monitor ends the transfer with its prompt; a "*" here is the last
    // block refused.
    switch (SendCommand(context_, "", kCheckedTransferEnd)) {
        case MonitorResult::Ok:
            break;
        case MonitorResult::BlockRefused:
            return DownloadResult::BlockRefused;
        default:
            return DownloadResult::NoAnswer;
    }
    if (SendCommand(context_, VersionProbeCommand(), kProbeAfterTransfer) != MonitorResult::Ok)
        return DownloadResult::NoAnswer;
    if (s_.loadType == kLoadRamRun && SendCheckedCommand(context_, CallCommand(s_.loadAddress)) != MonitorResult::Ok)
        return DownloadResult::NoAnswer;
    return DownloadResult::Ok;
}

// The link back at 9600, and the reset the statement asks for.
void StatementRun::SwitchBack() {
    SetLinkSpeed(context_, "9600", false);
    if (s_.resetAfter) {
        SendCommand(context_, ResetCommand(), kSendOnly);
        WaitWithMessages(10000);
    }
}

// Ends a statement: closes the image, lets the windows catch up, and gives
// the tester a moment before the next statement talks to it.
DownloadResult StatementRun::Finish(DownloadResult result) {
    image_.close();
    PumpPendingMessages();
    WaitWithMessages(100);
    PumpPendingMessages();
    PumpPendingMessages();
    return result;
}

DownloadResult StatementRun::Fail(DownloadResult result) {
    // Nothing queued for the tester may go out after a failure.
    if (TesterLink* link = ActiveTesterLink()) link->PurgeTransmit();
    return Finish(result);
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

DownloadResult RunLoadStatement(const LoadStatement& statement, std::uint32_t totalBlocks, std::uint32_t& blocksSent,
                     DownloadObserver& observer) {
    return StatementRun(statement, totalBlocks, blocksSent, observer).Run();
}

}  // namespace zul
