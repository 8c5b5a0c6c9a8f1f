#include "tester/monitor_protocol.h"

#include <charconv>
#include <string>

#include "host/message_pump.h"
#include "support/clock.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

std::uint64_t g_payloadBytes = 0;

std::uint32_t Now() { return CurrentClock().TickCount(); }

// One read attempt. Without an open link nothing can arrive, but the time
// still passes, so every wait keeps its bound.
int ReadMonitorByte(int timeoutMs) {
    if (TesterLink* link = ActiveTesterLink()) return link->ReadByte(timeoutMs);
    CurrentClock().Sleep(static_cast<std::uint32_t>(timeoutMs));
    return kLinkNoData;
}

int WriteMonitorText(std::string_view text) {
    TesterLink* link = ActiveTesterLink();
    return link ? link->WriteText(text) : 0;
}

// The reads of a wait with a time-out. Until the time is up each read waits
// kMonitorReadTimeoutMs; after that only bytes that have already arrived are
// taken (a few thousand at most, so that a stream of noise cannot hold the
// wait), and the first read that finds none ends the wait. Time is never
// judged before what arrived has been looked at.
class TimedReader {
public:
    TimedReader(std::uint32_t start, std::uint32_t limitMs) : start_(start), limitMs_(limitMs) {}
    // A byte, kLinkNoData, or kTimeUp.
    static constexpr int kTimeUp = -1000000;
    int Next() {
        const bool up = Now() - start_ >= limitMs_;
        const int value = ReadMonitorByte(up ? 0 : kMonitorReadTimeoutMs);
        if (value < 0) return up ? kTimeUp : value;
        if (up && ++overtime_ > kMonitorOvertimeBytes) return kTimeUp;
        return value;
    }

private:
    std::uint32_t start_;
    std::uint32_t limitMs_;
    int overtime_ = 0;
};

}  // namespace

void MonitorContext::SetReply(std::string_view text) {
    ClearReply();
    const std::size_t n = std::min(text.size(), kReplySize - 1);
    std::copy_n(text.data(), n, reply_.data());
}

MonitorResult SendCommand(MonitorContext& context, std::string_view text, const CommandWait& wait) {
    return SendCommand(context, text, wait.waitSeconds, wait.timeoutCode, wait.errorCode, wait.capture);
}

MonitorResult SendCommand(MonitorContext& context, std::string_view text, int waitSeconds, MonitorResult timeoutCode,
                          MonitorResult errorCode, bool capture) {
    constexpr MonitorResult kOk = MonitorResult::Ok;
    context.ClearReply();
    MonitorResult result = kOk;
    WriteMonitorText(text);
    if (waitSeconds == 0) return kOk;

    std::string answer;
    const std::uint32_t start = Now();
    // Whole seconds, as the time-out is counted: up once (now - start) / 1000
    // reaches waitSeconds.
    TimedReader reader(start, static_cast<std::uint32_t>(waitSeconds) * 1000u);
    std::uint32_t lastHeard = start;
    std::uint32_t promptOnlySince = start;  // since when only the prompt can end the wait
    for (;;) {
        const int value = timeoutCode != kOk ? reader.Next() : ReadMonitorByte(kMonitorReadTimeoutMs);
        if (value == TimedReader::kTimeUp) return timeoutCode;
        const std::uint32_t now = Now();
        if (value < 0) {
            // No data, or a link error (an arrival that carries nothing).
            // Once nothing but the prompt can end the wait, a monitor that
            // has gone quiet, or only sends noise, must not hold the caller
            // for ever.
            if (timeoutCode == kOk && (now - lastHeard >= kMonitorSilenceLimitMs ||
                                       now - promptOnlySince >= kMonitorAnswerLimitMs))
                return result != kOk ? result : MonitorResult::WentSilent;
            // Keep the windows alive through long silent waits (an erase).
            PumpPendingMessages();
            continue;
        }
        lastHeard = now;
        const char byte = static_cast<char>(value);
        if (byte == kMonitorErrorMark && result == kOk && errorCode != kOk) {
            result = errorCode;
            if (timeoutCode != kOk) promptOnlySince = now;
            timeoutCode = kOk;
        }
        if (capture && answer.size() < MonitorContext::kReplySize - 1) answer.push_back(byte);
        PumpPendingMessages();
        if (byte == kMonitorPrompt) break;
        if (timeoutCode == kOk && now - promptOnlySince >= kMonitorAnswerLimitMs)
            return result != kOk ? result : MonitorResult::WentSilent;
    }
    if (capture) context.SetReply(answer);
    return result;
}

MonitorResult ReadEcho(std::string_view command) {
    std::string expected(command);
    expected.push_back('\n');
    TimedReader reader(Now(), kMonitorEchoTimeoutMs);
    for (std::size_t matched = 0; matched < expected.size();) {
        const int value = reader.Next();
        if (value == TimedReader::kTimeUp) return MonitorResult::NoEcho;
        PumpPendingMessages();
        if (value < 0) continue;
        if (static_cast<char>(value) != expected[matched]) return MonitorResult::EchoWrong;
        ++matched;
    }
    return MonitorResult::Ok;
}

MonitorResult SendCheckedCommand(MonitorContext& context, std::string_view command) {
    // Whatever is still in the buffer is no part of this echo (the answer to
    // a command sent without waiting, say).
    if (TesterLink* link = ActiveTesterLink()) link->PurgeReceive();
    SendCommand(context, command, kSendOnly);
    return ReadEcho(command);
}

bool ReplyEchoes(std::string_view reply, std::string_view command) {
    return reply.size() > command.size() && reply.substr(0, command.size()) == command &&
           reply[command.size()] == '\n';
}

MonitorResult SendBlock(MonitorContext&, std::span<const std::uint8_t> block) {
    TimedReader reader(Now(), kBlockRequestTimeoutSeconds * 1000u);
    for (;;) {
        const int value = reader.Next();
        PumpPendingMessages();
        if (value == TimedReader::kTimeUp) return MonitorResult::NoBlockRequest;
        if (value < 0) continue;
        if (value == kMonitorErrorMark) return MonitorResult::BlockRefused;
        if (value == kMonitorBlockRequest) {
            TesterLink* link = ActiveTesterLink();
            const int queued = link ? link->WriteBlock(block.data(), block.size()) : 0;
            if (queued != static_cast<int>(block.size())) return MonitorResult::BlockRefused;
            g_payloadBytes += block.size() >= 2 ? block.size() - 2 : 0;
            return MonitorResult::Ok;
        }
    }
}

std::uint64_t BlockPayloadBytesSent() { return g_payloadBytes; }

LinkSpeedResult SetLinkSpeed(MonitorContext& context, std::string_view rateText, bool pcOnly) {
    TesterLink* link = ActiveTesterLink();
    if (link == nullptr) return LinkSpeedResult::Failed;
    // Bytes still queued would go out at the wrong speed once it changes.
    for (int waits = 0; link->PendingOutput() != 0; ++waits) {
        if (waits == 4) return LinkSpeedResult::Failed;
        WaitWithMessages(500);
    }
    if (!pcOnly) {
        // A tester that heard another rate than the one sent is on its way
        // to a speed the PC will not follow. One that echoes nothing (code
        // started by the statement runs) is left to the probes.
        if (SendCheckedCommand(context, BaudRateCommand(rateText)) == MonitorResult::EchoWrong)
            return LinkSpeedResult::Failed;
        WaitWithMessages(500);
    }
    link->PurgeReceive();
    long baud = 0;
    std::from_chars(rateText.data(), rateText.data() + rateText.size(), baud);
    if (link->SetLineSpeed(baud) != 0) return LinkSpeedResult::Failed;
    link->PurgeReceive();
    for (int probe = 0; probe < 4; ++probe)
        if (SendCommand(context, VersionProbeCommand(), kRetryProbe) == MonitorResult::Ok) return LinkSpeedResult::Ok;
    return LinkSpeedResult::Failed;
}

}  // namespace zul
