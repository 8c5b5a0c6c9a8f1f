#include "cli/tester_cli.h"
#include "cli/printable.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "host/startup.h"
#include "support/clock.h"
#include "tester/link_trace.h"
#include "tester/monitor_commands.h"
#include "serial/device_names.h"
#include "serial/serial_port.h"
#include "tester/monitor_protocol.h"
#include "tester/link_setup.h"
#include "ui/download/download_texts.h"

namespace zul::cli {

void TesterLinkOptions::AddTo(CLI::App& command) {
    command.add_option("--trace", traceFile, "Write every byte sent and received, with times, to FILE")
        ->option_text("FILE");
    simulateOption = command
                         .add_option("--simulate", simulate,
                                     "Talk to a simulated tester in this process instead of the port, with the "
                                     "faults given (comma-separated, as zul-cli simulate takes them)")
                         ->expected(0, 1)
                         ->option_text("[=FAULTS]");
    seedOption = command
                     .add_option("--seed", seed,
                                 "Seed of the simulated tester's random faults (with --simulate): the same seed "
                                 "replays the same run")
                     ->option_text("N");
}

bool TesterLinkOptions::Apply(int* portNumber) {
    *portNumber = CurrentPortSelection() != nullptr ? CurrentPortSelection()->portNumber : 0;
    const bool simulating = simulateOption != nullptr && simulateOption->count() > 0;
    if (!simulating && seedOption != nullptr && seedOption->count() > 0) {
        std::cerr << "zul-cli: --seed is for a simulated tester (--simulate)\n";
        return false;
    }
    if (simulating) {
        sim::SimOptions options;
        options.timing = sim::SimTiming::Fast();
        options.seed = seed;
        std::string error;
        if (!sim::ParseFaultList(simulate, &options.faults, &error)) {
            std::cerr << "zul-cli: --simulate " << error << "\n";
            return false;
        }
        played_ = std::make_unique<sim::PlayedTester>(options);
        FrontEnd simulated = InstalledFrontEnd();
        UseSimulatedTester(simulated, played_->devicePath(), played_->portFactory());
        simulation_.emplace(simulated);
    }
    if (!traceFile.empty()) {
        trace_ = std::make_unique<std::ofstream>(traceFile, std::ios::trunc);
        if (!*trace_) {
            std::cerr << "zul-cli: cannot write the trace file " << traceFile << "\n";
            trace_.reset();
            return false;
        }
        FrontEnd traced = InstalledFrontEnd();
        traced.linkTrace = trace_.get();
        tracing_.emplace(traced);
    }
    return true;
}

namespace {

std::uint32_t Crc32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

void TesterLinkOptions::ReportSimulation(std::ostream& out) {
    if (!played_) return;
    // The simulator belongs to its player until it stops.
    played_->Stop();
    const sim::TesterSimulator& tester = played_->simulator();
    for (const auto& t : tester.transfers()) {
        const std::uint32_t bytes = t.accepted * static_cast<std::uint32_t>(kBlockDataSize);
        std::vector<std::uint8_t> held;
        const char* where = "ram";
        switch (t.target) {
            case sim::TransferRecord::Target::Ram:
                held = tester.memory().ReadRam(t.address, bytes);
                break;
            case sim::TransferRecord::Target::Flash:
                where = "flash";
                held = tester.memory().ReadFlash(t.address, bytes);
                break;
            case sim::TransferRecord::Target::Card:
                where = "card";
                held = tester.memory().ReadCard(t.address * kCardPageSize, bytes);
                break;
        }
        char line[160];
        std::snprintf(line, sizeof line, "simulated tester: %s %x: %u of %u blocks stored, %u bytes, crc32 %08x\n",
                      where, t.address, t.accepted, t.blocks, bytes, Crc32(held));
        out << line;
    }
}

bool TesterLinkOptions::FinishTrace() {
    if (!trace_) return true;
    tracing_.reset();
    trace_->flush();
    const bool written = static_cast<bool>(*trace_);
    trace_->close();
    trace_.reset();
    if (!written) std::cerr << "zul-cli: the trace could not be written to " << Printable(traceFile) << "\n";
    return written;
}

TesterLinkOptions::~TesterLinkOptions() {
    tracing_.reset();
    if (played_) played_->Stop();
    simulation_.reset();
}

namespace {

FrontEnd WithSink(MessageSink* sink) {
    FrontEnd frontEnd = InstalledFrontEnd();
    frontEnd.messageSink = sink;
    return frontEnd;
}

}  // namespace

TerminalFlowView::TerminalFlowView()
    : live_(isatty(STDOUT_FILENO) == 1), previousSink_(&CurrentMessageSink()), seams_(WithSink(this)) {}

TerminalFlowView::~TerminalFlowView() { EndLiveLine(); }

int TerminalFlowView::Show(std::string_view text, std::string_view caption, unsigned type) {
    EndLiveLine();
    return previousSink_->Show(text, caption, type);
}

void TerminalFlowView::ShowStatusWindow(std::string_view text) { std::cout << Printable(text) << std::endl; }

DownloadProgress& TerminalFlowView::OpenProgress(std::string_view) {
    started_ = CurrentClock().TickCount();
    bytesAtStatusStart_ = BlockPayloadBytesSent();
    status_.clear();
    current_ = total_ = -1;
    knowsBlocksToSend_ = false;
    return *this;
}

void TerminalFlowView::CloseProgress() { EndLiveLine(); }

void TerminalFlowView::SetStatusText(std::string_view text) {
    const std::string shown = Printable(text);
    if (shown == status_) return;
    EndLiveLine();
    status_ = shown;
    showNumbers_ = false;
    if (!live_) std::cout << status_ << std::endl;
    Render(true);
}

void TerminalFlowView::SetCurrentPercent(int percent) {
    current_ = percent;
    showNumbers_ = true;
    Render(false);
}

void TerminalFlowView::SetTotalPercent(int percent) {
    total_ = percent;
    showNumbers_ = true;
    Render(false);
}

void TerminalFlowView::SetBlocksToSend(std::uint64_t blocks) {
    blocksToSend_ = blocks;
    bytesAtBlocksToSend_ = BlockPayloadBytesSent();
    knowsBlocksToSend_ = true;
}

void TerminalFlowView::EndLiveLine() {
    if (lineOpen_) {
        Render(true);
        std::cout << "\n" << std::flush;
        lineOpen_ = false;
    }
}

void TerminalFlowView::Render(bool force) {
    if (!live_ && current_ < 0) return;
    const std::uint32_t now = CurrentClock().TickCount();
    std::string numbers;
    if (current_ >= 0 && showNumbers_) {
        const std::uint64_t bytes = BlockPayloadBytesSent() - bytesAtStatusStart_;
        const double seconds = (now - started_) / 1000.0;
        const double rate = seconds > 0 ? bytes / seconds : 0.0;
        // From the blocks still to send, not from the total bar: that one
        // also counts statements that only erase, and may never reach 100.
        std::string left = "--:--";
        if (knowsBlocksToSend_) {
            const std::uint64_t sentSince = BlockPayloadBytesSent() - bytesAtBlocksToSend_;
            const std::uint64_t toSend = blocksToSend_ * kBlockDataSize;
            left = TimeLeftText(toSend > sentSince ? toSend - sentSince : 0, bytes, seconds);
        }
        char line[200];
        std::snprintf(line, sizeof line, "file %3d%%  total %3d%%  %llu bytes  %.0f B/s  left %s", current_,
                      total_ < 0 ? 0 : total_, static_cast<unsigned long long>(bytes), rate, left.c_str());
        numbers = line;
    }
    if (live_) {
        // Rewriting the line a few times a second is plenty for the eye.
        if (!force && lineOpen_ && now - lastRender_ < 100) return;
        lastRender_ = now;
        // One terminal line, so that it can be rewritten: a long status
        // keeps its end (the file name).
        std::string status = status_;
        constexpr std::size_t kStatusWidth = 44;
        if (!numbers.empty() && status.size() > kStatusWidth) status = "..." + status.substr(status.size() - (kStatusWidth - 3));
        std::cout << "\r\033[K" << status << (numbers.empty() ? "" : "  ") << numbers << std::flush;
        lineOpen_ = true;
        return;
    }
    // Without a terminal: a line per tenth of the file.
    const std::string plain = std::to_string(current_ / 10);
    if (plain == lastPlain_) return;
    lastPlain_ = plain;
    std::cout << numbers << std::endl;
}

}  // namespace zul::cli
