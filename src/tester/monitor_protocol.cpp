#include "tester/monitor_protocol.h"

#include <charconv>
#include <string>

#include "app/message_pump.h"
#include "support/clock.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

std::uint64_t g_payloadBytes = 0;

std::uint32_t Now() { return CurrentClock().TickCount(); }

// One read attempt. Without an open link nothing can arrive, but the time
// still passes, so every wait keeps its bound.
int ReadMonitorByte() {
    if (TesterLink* link = ActiveTesterLink()) return link->ReadByte(kMonitorReadTimeoutMs);
    CurrentClock().Sleep(kMonitorReadTimeoutMs);
    return kLinkNoData;
}

int WriteMonitorText(std::string_view text) {
    TesterLink* link = ActiveTesterLink();
    return link ? link->WriteText(text) : 0;
}

}  // namespace

void MonitorContext::SetReply(std::string_view text) {
    ClearReply();
    const std::size_t n = std::min(text.size(), kReplySize - 1);
    std::copy_n(text.data(), n, reply_.data());
}

int SendCommand(MonitorContext& context, std::string_view text, const CommandWait& wait) {
    return SendCommand(context, text, wait.waitSeconds, wait.timeoutCode, wait.errorCode, wait.capture);
}

int SendCommand(MonitorContext& context, std::string_view text, int waitSeconds, int timeoutCode, int errorCode,
                bool capture) {
    context.ClearReply();
    int result = 0;
    WriteMonitorText(text);
    if (waitSeconds == 0) return 0;

    std::string answer;
    const std::uint32_t start = Now();
    std::uint32_t lastHeard = start;
    for (;;) {
        const int value = ReadMonitorByte();
        const std::uint32_t now = Now();
        if (timeoutCode != 0 && (now - start) / 1000 >= static_cast<std::uint32_t>(waitSeconds)) return timeoutCode;
        // Once nothing but the prompt can end the wait, a monitor that has
        // gone quiet must not hold the caller for ever.
        if (timeoutCode == 0 && now - lastHeard >= kMonitorSilenceLimitMs)
            return result != 0 ? result : kMonitorWentSilent;
        if (value == kLinkNoData) {
            // Keep the windows alive through long silent waits (an erase).
            PumpPendingMessages();
            continue;
        }
        if (value < 0) {
            // A link error: counts as an arrival that carries nothing.
            PumpPendingMessages();
            continue;
        }
        lastHeard = now;
        const char byte = static_cast<char>(value);
        if (byte == kMonitorErrorMark && result == 0 && errorCode != 0) {
            result = errorCode;
            timeoutCode = 0;
        }
        if (capture && answer.size() < MonitorContext::kReplySize - 1) answer.push_back(byte);
        PumpPendingMessages();
        if (byte == kMonitorPrompt) break;
    }
    if (capture) context.SetReply(answer);
    return result;
}

int SendBlock(MonitorContext&, std::span<const std::uint8_t> block) {
    const std::uint32_t start = Now();
    int last = kLinkNoData;
    for (;;) {
        if (last == kMonitorErrorMark) return kMonitorBlockRefused;
        const int value = ReadMonitorByte();
        if ((Now() - start) / 1000 >= kBlockRequestTimeoutSeconds) {
            PumpPendingMessages();
            return kMonitorNoBlockRequest;
        }
        PumpPendingMessages();
        if (value == kLinkNoData) continue;
        last = value;
        if (value == kMonitorBlockRequest) {
            TesterLink* link = ActiveTesterLink();
            const int queued = link ? link->WriteBlock(block.data(), block.size()) : 0;
            if (queued != static_cast<int>(block.size())) return kMonitorBlockRefused;
            g_payloadBytes += block.size() >= 2 ? block.size() - 2 : 0;
            return 0;
        }
    }
}

std::uint64_t BlockPayloadBytesSent() { return g_payloadBytes; }

int SetLinkSpeed(MonitorContext& context, std::string_view rateText, bool pcOnly) {
    TesterLink* link = ActiveTesterLink();
    if (link == nullptr) return kLinkSpeedFailed;
    // Bytes still queued would go out at the wrong speed once it changes.
    for (int waits = 0; link->PendingOutput() != 0; ++waits) {
        if (waits == 4) return kLinkSpeedFailed;
        WaitWithMessages(500);
    }
    if (!pcOnly) {
        SendCommand(context, BaudRateCommand(rateText), kSendOnly);
        WaitWithMessages(500);
    }
    link->PurgeReceive();
    long baud = 0;
    std::from_chars(rateText.data(), rateText.data() + rateText.size(), baud);
    if (link->SetLineSpeed(baud) != 0) return kLinkSpeedFailed;
    link->PurgeReceive();
    for (int probe = 0; probe < 4; ++probe)
        if (SendCommand(context, VersionProbeCommand(), kRetryProbe) == 0) return 0;
    return kLinkSpeedFailed;
}

}  // namespace zul
