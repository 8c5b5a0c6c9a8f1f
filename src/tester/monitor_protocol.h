#pragma once
// The three primitives every conversation with a tester monitor is built of:
// a command with its wait for the prompt, one data block on request, and a
// change of link speed on both ends.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tester/monitor_commands.h"

namespace zul {

// Results of the primitives. A command's caller chooses which of them stand
// for a missing prompt and for a "*" (CommandWait).
enum class MonitorResult : int {
    Ok = 0,
    SyncFailed = 3,              // final synchronisation: no prompt, or "*"
    EraseFailed = 4,             // "*" during an erase
    ProbeRefused = 5,            // "*" in a retry probe's answer
    NoPromptAfterTransfer = 7,
    NoAnswer = 9,                // no prompt in time
    NoBlockRequest = 17,         // no "!" within 3 s
    BlockRefused = 18,           // "*" instead of "!", or a short write
    // A monitor that stopped sending in the middle of an answer whose wait
    // has no time-out of its own (after a "*", or at the end of a transfer).
    WentSilent = 19,
    // The echo of a command differs from the command sent: the monitor acts
    // on another command than ZUL meant (line noise).
    EchoWrong = 20,
    NoEcho = 21,                 // no complete echo within kMonitorEchoTimeoutMs
};

// A change of link speed either works on both ends or it does not. Its own
// type, so that its failure is never taken for a statement's result.
enum class LinkSpeedResult : int {
    Ok = 0,
    Failed = 2010,
};

constexpr int ResultNumber(MonitorResult result) { return static_cast<int>(result); }
constexpr int ResultNumber(LinkSpeedResult result) { return static_cast<int>(result); }

// How long a wait that has no time-out of its own goes on after the last byte
// received. Generous for any real tester, which answers within milliseconds.
inline constexpr std::uint32_t kMonitorSilenceLimitMs = 30000;
// And how long it goes on at most, however many bytes keep arriving: a noisy
// line must not hold it for ever either. Counted from the moment only the
// prompt can end the wait (the start, or the "*").
inline constexpr std::uint32_t kMonitorAnswerLimitMs = 60000;
// Once a wait's time is up, bytes that had already arrived are still looked
// at (a reader that was not scheduled for a while must not miss an answer
// waiting in the buffer), but no more than this many.
inline constexpr int kMonitorOvertimeBytes = 4096;
// How long the echo of a command may take.
inline constexpr std::uint32_t kMonitorEchoTimeoutMs = 1000;
// Each read waits this long for a byte, so a wait re-checks its time-out and
// pumps the window messages about 18 times a second.
inline constexpr int kMonitorReadTimeoutMs = 55;
inline constexpr std::uint32_t kBlockRequestTimeoutSeconds = 3;

// The answer to the last command sent with capture: everything from the echo
// up to and including the prompt, cut at 255 characters, NUL-terminated.
class MonitorContext {
public:
    static constexpr std::size_t kReplySize = 256;
    std::string_view Reply() const { return std::string_view(reply_.data()); }
    void ClearReply() { reply_.fill('\0'); }
    void SetReply(std::string_view text);

private:
    std::array<char, kReplySize> reply_{};
};

// How a command waits for its answer.
struct CommandWait {
    int waitSeconds;            // 0: send and return at once
    MonitorResult timeoutCode;  // returned when no prompt within waitSeconds; Ok: no time-out of its own
    MonitorResult errorCode;    // returned after a "*" (once the prompt came); Ok: "*" is no error
    bool capture;               // keep the answer in the context
};

// The ways the system sends commands.
inline constexpr CommandWait kPlainProbe{1, MonitorResult::NoAnswer, MonitorResult::Ok, false};
inline constexpr CommandWait kRetryProbe{1, MonitorResult::NoAnswer, MonitorResult::ProbeRefused, false};
inline constexpr CommandWait kFinalSyncProbe{1, MonitorResult::SyncFailed, MonitorResult::SyncFailed, false};
inline constexpr CommandWait kProbeAfterTransfer{1, MonitorResult::NoPromptAfterTransfer, MonitorResult::Ok, false};
inline constexpr CommandWait kHardwareQuery{1, MonitorResult::NoAnswer, MonitorResult::Ok, true};
inline constexpr CommandWait kMonitorVersionProbe{1, MonitorResult::NoAnswer, MonitorResult::NoAnswer, false};
inline constexpr CommandWait kBatteryTest{1, MonitorResult::NoAnswer, MonitorResult::Ok, false};
inline constexpr CommandWait kEraseWait{6000, MonitorResult::NoAnswer, MonitorResult::EraseFailed, false};
inline constexpr CommandWait kTransferEnd{1, MonitorResult::Ok, MonitorResult::Ok, false};
// The end of a transfer where a "*" (the last block refused) counts.
inline constexpr CommandWait kCheckedTransferEnd{1, MonitorResult::Ok, MonitorResult::BlockRefused, false};
inline constexpr CommandWait kSendOnly{0, MonitorResult::Ok, MonitorResult::Ok, false};

// Sends `text` over the active link and waits for the prompt as `wait` says.
// Returns Ok, wait.timeoutCode, wait.errorCode, or WentSilent when a wait
// without a time-out of its own heard nothing for kMonitorSilenceLimitMs.
MonitorResult SendCommand(MonitorContext& context, std::string_view text, int waitSeconds, MonitorResult timeoutCode,
                          MonitorResult errorCode, bool capture);
MonitorResult SendCommand(MonitorContext& context, std::string_view text, const CommandWait& wait);

// Reads the monitor's echo of `command` (the command as sent, ending in its
// carriage return, then a line feed): Ok when it matches, EchoWrong at the
// first byte that differs, NoEcho when it is not complete within
// kMonitorEchoTimeoutMs.
MonitorResult ReadEcho(std::string_view command);
// Discards what was received before, sends `command` without waiting for its
// prompt and reads its echo; the result of ReadEcho.
MonitorResult SendCheckedCommand(MonitorContext& context, std::string_view command);
// True when a captured answer begins with the echo of `command`.
bool ReplyEchoes(std::string_view reply, std::string_view command);

// Waits up to 3 s for the monitor's block request and sends the framed block.
// Ok, NoBlockRequest or BlockRefused.
MonitorResult SendBlock(MonitorContext& context, std::span<const std::uint8_t> block);

// Data bytes carried by every block the monitor accepted since the process
// started (progress displays derive the rate from it).
std::uint64_t BlockPayloadBytesSent();

// Moves the link to `rateText` baud: drains the output, tells the monitor
// unless `pcOnly`, switches the PC side and probes the monitor at the new
// speed.
LinkSpeedResult SetLinkSpeed(MonitorContext& context, std::string_view rateText, bool pcOnly);

// The block transfer's sender side: the blocks of `data` (size / 128 of
// them; a shorter tail is not sent), each framed and sent on request. Stops
// at the first failure and returns its code; `afterBlock` runs after each
// block accepted.
template <typename AfterBlock>
MonitorResult SendBlocks(MonitorContext& context, std::span<const std::uint8_t> data, AfterBlock afterBlock) {
    const std::size_t blocks = data.size() / kBlockDataSize;
    for (std::size_t i = 0; i < blocks; ++i) {
        const BlockFrame frame =
            FrameBlock(std::span<const std::uint8_t, kBlockDataSize>(data.data() + i * kBlockDataSize, kBlockDataSize));
        const MonitorResult result = SendBlock(context, frame);
        if (result != MonitorResult::Ok) return result;
        afterBlock(i);
    }
    return MonitorResult::Ok;
}

}  // namespace zul
