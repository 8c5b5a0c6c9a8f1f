// zul-cli simulate: a simulated KVR 7700 tester on a pseudo-terminal, for
// rehearsing downloads and checking packages without hardware.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "sim/tester_device.h"
#include "sim/tester_simulator.h"
#include "support/clock.h"

namespace zul::cli {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

struct SimulateOptions {
    std::string link;
    std::vector<std::string> faults;
    std::uint64_t seed = 1;
    std::string timing = "realistic";
    bool resetToApplication = false;
    std::uint32_t exitAfterMs = 0;
};

// Control characters as escapes, so that an answer prints on one line; a
// long run of block requests is counted rather than printed.
std::string Visible(const std::string& bytes) {
    std::string s;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '!') {
            std::size_t run = 1;
            while (i + run < bytes.size() && bytes[i + run] == '!') ++run;
            if (run > 4) {
                s += "!!!...(" + std::to_string(run) + " block requests)";
                i += run - 1;
                continue;
            }
        }
        if (c == '\r') {
            s += "\\r";
        } else if (c == '\n') {
            s += "\\n";
        } else if (c == '\\') {
            s += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            s += buffer;
        }
    }
    return s;
}

std::string Stamp(const sim::TranscriptEntry& e) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "[%9.3f s %6d] ", static_cast<double>(e.time) / 1e9, e.baud);
    return buffer;
}

// Prints the transcript as it grows: each entry once, and the answer of the
// newest one as far as it has come whenever the tester falls quiet.
class TranscriptPrinter {
public:
    explicit TranscriptPrinter(const sim::TesterSimulator& tester) : tester_(tester) {}
    void Print(bool quiet) {
        const auto& entries = tester_.transcript();
        for (; next_ < entries.size(); ++next_) {
            const auto& e = entries[next_];
            if (e.kind == sim::TranscriptEntry::Kind::Event) {
                std::cout << Stamp(e) << "-- " << e.text << "\n";
                continue;
            }
            FlushAnswer();
            std::cout << Stamp(e) << "PC: " << Visible(e.text) << "\n";
            open_ = next_;
            printedAnswer_ = 0;
        }
        if (quiet) FlushAnswer();
        std::cout.flush();
    }

private:
    void FlushAnswer() {
        if (open_ == kNone) return;
        const std::string& answer = tester_.transcript()[open_].answer;
        if (answer.size() > printedAnswer_) {
            std::cout << std::string(26, ' ') << (printedAnswer_ ? "...  " : "KVR: ")
                      << Visible(answer.substr(printedAnswer_)) << "\n";
            printedAnswer_ = answer.size();
        }
    }
    static constexpr std::size_t kNone = ~std::size_t{0};
    const sim::TesterSimulator& tester_;
    std::size_t next_ = 0;
    std::size_t open_ = kNone;
    std::size_t printedAnswer_ = 0;
};

int RunSimulate(const SimulateOptions& options) {
    sim::SimOptions simOptions;
    if (options.timing == "fast") {
        simOptions.timing = sim::SimTiming::Fast();
    } else if (options.timing != "realistic") {
        std::cerr << "simulate: --timing must be \"realistic\" or \"fast\"\n";
        return 2;
    }
    for (const std::string& faultText : options.faults) {
        sim::Fault fault;
        std::string error;
        if (!sim::ParseFault(faultText, &fault, &error)) {
            std::cerr << "simulate: " << error << "\n";
            return 2;
        }
        simOptions.faults.push_back(fault);
    }
    simOptions.seed = options.seed;
    simOptions.resetBootsApplication = options.resetToApplication;

    sim::TesterSimulator tester(simOptions);
    std::string error;
    auto device = sim::OpenTesterDevice(tester, CurrentClock(), &error);
    if (!device) {
        std::cerr << "simulate: " << error << "\n";
        return 1;
    }
    std::cout << "Simulated KVR 7700 tester (boot monitor, 9600 baud) on " << device->path() << "\n";
    if (!options.link.empty()) {
        if (!device->MakeLink(options.link, &error)) {
            std::cerr << "simulate: " << error << "\n";
            return 1;
        }
        std::cout << "Link " << options.link << " -> " << device->path() << "\n";
    }
    for (const auto& f : simOptions.faults) std::cout << "Fault: " << sim::FormatFault(f) << "\n";
    std::cout << "Timing: " << options.timing << ", seed " << options.seed << ". Interrupt (Ctrl+C) to stop.\n";
    std::cout.flush();

    g_stop = 0;
    auto previousInt = std::signal(SIGINT, OnSignal);
    auto previousTerm = std::signal(SIGTERM, OnSignal);
    TranscriptPrinter printer(tester);
    Clock& clock = CurrentClock();
    const std::uint32_t start = clock.TickCount();
    std::uint32_t lastChange = start;
    std::size_t lastSize = 0, lastAnswer = 0;
    int result = 0;
    while (!g_stop) {
        if (options.exitAfterMs != 0 && clock.TickCount() - start >= options.exitAfterMs) break;
        if (!device->Pump(50)) {
            std::cerr << "simulate: the device failed\n";
            result = 1;
            break;
        }
        const auto& t = tester.transcript();
        const std::size_t answer = t.empty() ? 0 : t.back().answer.size();
        if (t.size() != lastSize || answer != lastAnswer) {
            lastSize = t.size();
            lastAnswer = answer;
            lastChange = clock.TickCount();
        }
        printer.Print(clock.TickCount() - lastChange >= 100);
    }
    printer.Print(true);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    std::cout << "Tester state: " << sim::SimStateName(tester.state()) << " at " << tester.baud() << " baud; "
              << tester.commandCount() << " command lines.\n";
    return result;
}

void SetupSimulate(CLI::App& app, Context& context) {
    static SimulateOptions options;
    auto* cmd = app.add_subcommand("simulate",
                                   "Play a KVR 7700 tester on a pseudo-terminal until interrupted, printing the "
                                   "exchange; point ZUL (--device) or a terminal program at the printed device");
    cmd->add_option("--link", options.link, "Also make PATH a symbolic link to the device")->option_text("PATH");
    cmd->add_option("--fault", options.faults,
                    "Inject a fault: NAME[=VALUE][@BLOCK|@cmd:N]; names: silent, wrong-id, ignore-baud, erase-error, "
                    "refuse-block, cable-pull, garble, reset, late-monitor, low-battery, refuse-monitor")
        ->option_text("FAULT");
    cmd->add_option("--seed", options.seed, "Seed for random faults (same seed, same run)")->option_text("N");
    cmd->add_option("--timing", options.timing, "realistic (default) or fast (near-instant erase and start-up)")
        ->option_text("PRESET");
    cmd->add_flag("--reset-to-application", options.resetToApplication,
                  "After RS run the application (silent until restarted) instead of the boot monitor");
    cmd->add_option("--exit-after", options.exitAfterMs, "Stop after this many milliseconds (0: run until interrupted)")
        ->option_text("MS");
    cmd->callback([&context] {
        context.Start();
        context.exitCode = RunSimulate(options);
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("simulate", SetupSimulate);

}  // namespace zul::cli
