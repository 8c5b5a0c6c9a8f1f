#include "tester/link_trace.h"

#include <cstdio>
#include <string>
#include <vector>

#include "support/clock.h"

namespace zul {
namespace {

std::ostream* g_trace = nullptr;

// Every link of one run shares the time origin, so the times of a query and
// of the download that follows read as one time line.
std::uint32_t TraceOrigin() {
    static const std::uint32_t origin = CurrentClock().TickCount();
    return origin;
}

class TracingLink final : public TesterLink {
public:
    TracingLink(std::unique_ptr<TesterLink> inner, std::ostream& out)
        : inner_(std::move(inner)), out_(out), origin_(TraceOrigin()), last_(origin_) {
        Note("open");
    }
    ~TracingLink() override {
        Flush();
        Note("close");
        out_.flush();
    }

    int ReadByte(int timeoutMs) override {
        const int value = inner_->ReadByte(timeoutMs);
        if (value >= 0) {
            const std::uint32_t now = CurrentClock().TickCount();
            // Bytes that arrive together share a line; a pause starts a new one.
            if (!pending_.empty() && (pending_.size() == 16 || now - pendingAt_ > 20)) Flush();
            if (pending_.empty()) pendingAt_ = now;
            pending_.push_back(static_cast<std::uint8_t>(value));
        }
        return value;
    }
    int WriteText(std::string_view text) override {
        const int queued = inner_->WriteText(text);
        Sent(reinterpret_cast<const std::uint8_t*>(text.data()), queued > 0 ? static_cast<std::size_t>(queued) : 0);
        return queued;
    }
    int WriteBlock(const std::uint8_t* data, std::size_t count) override {
        const int queued = inner_->WriteBlock(data, count);
        Sent(data, queued > 0 ? static_cast<std::size_t>(queued) : 0);
        return queued;
    }
    int PendingOutput() override { return inner_->PendingOutput(); }
    void PurgeReceive() override {
        Flush();
        inner_->PurgeReceive();
    }
    void PurgeTransmit() override {
        Flush();
        Note("purge transmit");
        inner_->PurgeTransmit();
    }
    int SetLineSpeed(long baud) override {
        Flush();
        const int result = inner_->SetLineSpeed(baud);
        Note(result == 0 ? "line " + std::to_string(baud) + " 8N1" : "line " + std::to_string(baud) + " refused");
        return result;
    }
    long LineSpeed() const override { return inner_->LineSpeed(); }

private:
    void Sent(const std::uint8_t* data, std::size_t count) {
        Flush();
        const std::uint32_t now = CurrentClock().TickCount();
        for (std::size_t at = 0; at < count; at += 16) Line(now, "TX", data + at, std::min<std::size_t>(16, count - at));
    }
    void Flush() {
        if (pending_.empty()) return;
        Line(pendingAt_, "RX", pending_.data(), pending_.size());
        pending_.clear();
    }
    void Prefix(std::uint32_t at) {
        char head[64];
        std::snprintf(head, sizeof head, "%10.3f %+7ld ms %6ld ", (at - origin_) / 1000.0,
                      static_cast<long>(static_cast<std::int32_t>(at - last_)), inner_->LineSpeed());
        last_ = at;
        out_ << head;
    }
    void Note(const std::string& text) {
        Prefix(CurrentClock().TickCount());
        out_ << "-- " << text << "\n";
    }
    void Line(std::uint32_t at, const char* direction, const std::uint8_t* data, std::size_t count) {
        Prefix(at);
        out_ << direction;
        char hex[4];
        std::string ascii;
        for (std::size_t i = 0; i < 16; ++i) {
            if (i < count) {
                std::snprintf(hex, sizeof hex, " %02x", data[i]);
                out_ << hex;
                ascii.push_back(data[i] >= 0x20 && data[i] < 0x7f ? static_cast<char>(data[i]) : '.');
            } else {
                out_ << "   ";
            }
        }
        out_ << "  |" << ascii << "|\n";
    }

    std::unique_ptr<TesterLink> inner_;
    std::ostream& out_;
    std::uint32_t origin_;
    std::uint32_t last_;
    std::vector<std::uint8_t> pending_;
    std::uint32_t pendingAt_ = 0;
};

}  // namespace

std::unique_ptr<TesterLink> MakeTracingLink(std::unique_ptr<TesterLink> inner, std::ostream& out) {
    return std::make_unique<TracingLink>(std::move(inner), out);
}

void SetTesterLinkTrace(std::ostream* out) { g_trace = out; }
std::ostream* TesterLinkTrace() { return g_trace; }

}  // namespace zul
