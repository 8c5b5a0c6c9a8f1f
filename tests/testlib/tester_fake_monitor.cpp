#include "tester_fake_monitor.h"

#include <cstdlib>
#include <sstream>

namespace zul::test {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::uint32_t Hex(const std::vector<std::string>& words, std::size_t i) {
    return i < words.size() ? static_cast<std::uint32_t>(std::strtoul(words[i].c_str(), nullptr, 16)) : 0;
}

}  // namespace

std::vector<std::uint8_t>& FakeMonitorLink::Memory(const std::string& kind) { return memory[kind]; }

int FakeMonitorLink::Count(const std::string& word) const {
    int n = 0;
    for (const auto& c : commands) {
        auto w = Words(c);
        if (!w.empty() && w[0] == word) ++n;
    }
    return n;
}

void FakeMonitorLink::Send(const std::string& bytes, std::uint32_t delayMs) {
    std::uint32_t at = clock_.TickCount() + delayMs;
    if (!incoming_.empty() && incoming_.back().at > at) at = incoming_.back().at;
    for (char c : bytes) incoming_.push_back({at, static_cast<std::uint8_t>(c), testerSpeed});
}

void FakeMonitorLink::Answer(const std::string& echo, const std::string& text, bool error, std::uint32_t delay) {
    Send(echo + "\r\n", replyDelayMs);
    std::string body = error ? "*" + text + "*\r\n" : text + "\r\n";
    Send(body + ">", replyDelayMs + delay);
}

int FakeMonitorLink::ReadByte(int timeoutMs) {
    for (;;) {
        const std::uint32_t now = clock_.TickCount();
        const std::uint32_t deadline = now + static_cast<std::uint32_t>(timeoutMs);
        if (incoming_.empty() || static_cast<std::int32_t>(incoming_.front().at - deadline) > 0) {
            clock_.Advance(static_cast<std::uint32_t>(timeoutMs));
            return kLinkNoData;
        }
        const Pending p = incoming_.front();
        incoming_.pop_front();
        if (static_cast<std::int32_t>(p.at - now) > 0) clock_.Advance(p.at - now);
        if (p.speed != pcSpeed_) {
            // Sent at another speed: arrives as noise, which the protocol
            // never mistakes for a prompt.
            continue;
        }
        return p.byte;
    }
}

int FakeMonitorLink::WriteText(std::string_view text) {
    for (char c : text) {
        lineBuffer_.push_back(c);
        if (c == '\r') {
            std::string line = lineBuffer_.substr(0, lineBuffer_.size() - 1);
            lineBuffer_.clear();
            OnLine(line);
        }
    }
    if (stallAfterWriteMs != 0) clock_.Advance(stallAfterWriteMs);
    return static_cast<int>(text.size());
}

void FakeMonitorLink::OnLine(const std::string& sent) {
    const auto heard = hearsAs.find(sent);
    const std::string line = heard != hearsAs.end() ? heard->second : sent;
    commands.push_back(line);
    const std::uint32_t now = clock_.TickCount();
    if (silent || started_ || pcSpeed_ != testerSpeed) return;
    if (static_cast<std::int32_t>(monitorUpAt_ - now) > 0) return;
    const auto words = Words(line);
    if (words.empty()) return;
    const std::string& w = words[0];
    if (silentCommands.count(w)) return;
    if (promptlessCommands.count(w)) {
        Send(line + "\r\n", replyDelayMs);
        return;
    }
    if (starCommands.count(w)) {
        Answer(line, "ERROR", true);
        return;
    }
    if (w == "V") {
        const int n = probes_++;
        if (n < ignoreProbes) return;
        Answer(line, "VERSION 1.0", n == starFinalProbe);
    } else if (w == "I") {
        Answer(line, hardwareId);
    } else if (w == "BR") {
        Send(line + "\r\n", replyDelayMs);
        if (!ignoreBaudCommand) testerSpeed = std::atol(words.size() > 1 ? words[1].c_str() : "0");
    } else if (w == "LB" || ((w == "FLB" || w == "MACFLB") && uploadedMonitor)) {
        Send(line + "\r\n", replyDelayMs);
        target_ = w == "LB" ? "RAM" : w == "FLB" ? "FLASH" : "CARD";
        address_ = w == "MACFLB" ? Hex(words, 1) * 8192 : Hex(words, 1);
        blocksWanted_ = static_cast<int>(w == "MACFLB" ? Hex(words, 2) * 64 : Hex(words, 2) / 128);
        blockIndex_ = 0;
        if (blocksWanted_ == 0) {
            if (endTransferWithPrompt) Send(">", replyDelayMs);
        } else {
            RequestBlock();
        }
    } else if (w == "C") {
        Send(line + "\r\n", replyDelayMs);
        if (Hex(words, 1) == monitorAddress && static_cast<int>(Memory("RAM").size()) > 0) {
            uploadedMonitor = true;
            testerSpeed = 9600;
            monitorUpAt_ = now + monitorStartMs;
        } else {
            started_ = true;
        }
    } else if (w == "FV") {
        Answer(line, uploadedMonitor ? "MONITOR 2.0" : "UNKNOWN COMMAND", !uploadedMonitor);
    } else if ((w == "FE" || w == "MACFE") && uploadedMonitor) {
        Answer(line, "ERASED", false, eraseMs);
    } else if (w == "BV" && uploadedMonitor) {
        Answer(line, "BATTERY OK");
    } else if (w == "RS" && uploadedMonitor) {
        Send(line + "\r\n", replyDelayMs);
        uploadedMonitor = false;
        testerSpeed = 9600;
        monitorUpAt_ = now + 1000;
    } else {
        Answer(line, "UNKNOWN COMMAND", true);
    }
}

void FakeMonitorLink::RequestBlock() {
    if (blockIndex_ == starAtBlock) {
        blocksWanted_ = 0;
        Send("*BLOCK ERROR*\r\n>", replyDelayMs);
        return;
    }
    if (silentFromBlock >= 0 && blockIndex_ >= silentFromBlock) return;
    Send("!", replyDelayMs);
}

int FakeMonitorLink::WriteBlock(const std::uint8_t* data, std::size_t count) {
    if (blocksWanted_ == 0 || count != 130) return static_cast<int>(count);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 130; i += 2) sum += (std::uint32_t{data[i]} << 8) | data[i + 1];
    if ((sum & 0xFFFF) != 0 || blockIndex_ == refuseBlockData) {
        blocksWanted_ = 0;
        Send("*CHECKSUM*\r\n>", replyDelayMs);
        return static_cast<int>(count);
    }
    auto& mem = Memory(target_);
    const std::size_t at = address_ + static_cast<std::size_t>(blockIndex_) * 128;
    if (mem.size() < at + 128) mem.resize(at + 128, 0xFF);
    std::copy(data, data + 128, mem.begin() + static_cast<std::ptrdiff_t>(at));
    blockTimes.push_back(clock_.TickCount());
    ++blocksAccepted;
    if (++blockIndex_ == blocksWanted_) {
        blocksWanted_ = 0;
        if (endTransferWithPrompt) Send("\r\n>", replyDelayMs);
        if (silentAfterTransfer) silent = true;
    } else {
        RequestBlock();
    }
    return static_cast<int>(count);
}

int FakeMonitorLink::PendingOutput() {
    if (pendingIndex_ < pendingOutputs.size()) return pendingOutputs[pendingIndex_++];
    return 0;
}

void FakeMonitorLink::PurgeReceive() {
    const std::uint32_t now = clock_.TickCount();
    while (!incoming_.empty() && static_cast<std::int32_t>(incoming_.front().at - now) <= 0) incoming_.pop_front();
}

int FakeMonitorLink::SetLineSpeed(long baud) {
    pcSpeeds.push_back(baud);
    if (refuseSpeed != 0) return refuseSpeed;
    pcSpeed_ = baud;
    return 0;
}

}  // namespace zul::test
