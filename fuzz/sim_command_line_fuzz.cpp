// Fuzzes how the simulated tester reads command lines. The first byte picks
// the monitor (bit 0: the uploaded one) and the rest is what the PC sends.
// Without a carriage return the rest is one command line, and the checks are:
// the parser accepts a line only in its exact printed form; the tester echoes
// every byte; it answers a line its monitor does not take exactly as an
// unknown command, and never answers a line it takes that way. With carriage
// returns the bytes go to the tester as they are (several lines, blocks,
// noise), which must neither crash nor hang it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/command_line.h"
#include "sim/tester_simulator.h"
#include "tester/monitor_image.h"

namespace {

using zul::sim::SimNanos;
using zul::sim::TesterSimulator;
constexpr SimNanos kMs = zul::sim::kNanosPerMs;

// Waits in 1 ms steps for `wanted` in the tester's output; aborts when it
// does not come within `limitMs`.
SimNanos WaitFor(TesterSimulator& sim, SimNanos now, char wanted, int limitMs) {
    for (int i = 0; i < limitMs; ++i) {
        now += kMs;
        if (sim.TakeOutputText(now, sim.baud()).find(wanted) != std::string::npos) return now;
    }
    std::abort();
}

TesterSimulator Prepared(bool uploaded) {
    zul::sim::SimOptions options;
    options.timing = zul::sim::SimTiming::Fast();
    TesterSimulator sim(options);
    if (!uploaded) return sim;
    const zul::MonitorImage& image = zul::MonitorPowerPcImage();
    SimNanos now = 0;
    sim.Receive("LB 60000 3800\r", now, 9600);
    for (std::uint32_t k = 0; k < image.blockCount(); ++k) {
        now = WaitFor(sim, now, '!', 1000);
        const auto block = zul::sim::MakeBlock(image.bytes.data() + k * 128);
        sim.Receive(block.data(), block.size(), now, 9600);
    }
    now = WaitFor(sim, now, '>', 1000);
    sim.Receive("C 60000 NOT_USED\r", now, 9600);
    (void)sim.TakeOutput(now + 1000 * kMs, 9600);  // the echo of the call
    if (sim.state() != zul::sim::SimState::UploadedMonitor) std::abort();
    return sim;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const TesterSimulator kBoot = Prepared(false);
    static const TesterSimulator kUploaded = Prepared(true);
    const bool uploaded = (data[0] & 1) != 0;
    TesterSimulator sim = uploaded ? kUploaded : kBoot;
    const std::string_view sent(reinterpret_cast<const char*>(data) + 1, size - 1);
    const SimNanos start = sim.now() + 10 * kMs;
    // Long enough for every byte to go there and be echoed, at 9600 baud.
    const SimNanos end = start + (sent.size() + 64) * 2 * zul::sim::FrameTime(9600);

    if (sent.find('\r') != std::string_view::npos) {
        sim.Receive(reinterpret_cast<const std::uint8_t*>(sent.data()), sent.size(), start, 9600);
        sim.AdvanceTo(end);
        (void)sim.TakeOutput(end + 10000 * kMs, 9600);
        return 0;
    }

    const auto command = zul::sim::ParseCommandLine(sent);
    if (command && zul::sim::FormatCommandLine(*command) != sent) std::abort();
    const bool taken = command && (uploaded ? command->form->uploadedMonitor : command->form->bootMonitor);

    sim.Receive(std::string(sent) + "\r", start, 9600);
    const std::string out = sim.TakeOutputText(end, 9600);
    const std::string echo = std::string(sent) + "\r\n";
    if (out.compare(0, echo.size(), echo) != 0) std::abort();
    const bool unknown = out == echo + "*UNKNOWN COMMAND*\r\n>";
    if (unknown == taken) std::abort();
    if (!taken && sim.transfers().size() != (uploaded ? kUploaded : kBoot).transfers().size()) std::abort();
    return 0;
}
