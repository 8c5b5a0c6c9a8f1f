// Noise soak: thousands of downloads of the demo applications into the
// simulated tester with its garble fault (every byte on the line, both ways,
// has one bit flipped with the given probability), in virtual time. For each
// rate it counts the downloads that reported success and checks what the
// tester holds against the image files: a completed download whose tester
// memory differs is a false success. A differing block whose 64 words sum to
// the image block's sum is one the 16-bit additive check word cannot see (two
// errors that cancel); those are counted apart.
//
//   zul_noise_soak [--apps DIR] [--runs N] [--first-seed S] [--rates R,R,...]
//
// Every false success is printed with the command line that replays it.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "host/messages.h"
#include "host/settings_store.h"
#include "host/startup.h"
#include "script/statement_parser.h"
#include "serial/serial_port.h"
#include "sim/sim_faults.h"
#include "sim/simulated_tester_port.h"
#include "sim/tester_simulator.h"
#include "support/clock.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"
#include "ui/download/download_flow.h"
#include "ui/front_end.h"

namespace {

using namespace zul;

class QuietProgress final : public DownloadProgress {
public:
    void SetStatusText(std::string_view) override {}
    void SetCurrentPercent(int) override {}
    void SetTotalPercent(int) override {}
};

class QuietView final : public DownloadFlowView {
public:
    void ShowStatusWindow(std::string_view) override {}
    void CloseStatusWindow() override {}
    DownloadProgress& OpenProgress(std::string_view) override { return progress_; }
    void CloseProgress() override {}
    void SetDialogEnabled(bool) override {}

private:
    QuietProgress progress_;
};

// Answers every question with OK and remembers the last message.
class AnsweringSink final : public MessageSink {
public:
    int Show(std::string_view text, std::string_view, unsigned) override {
        last = text;
        return kIdOk;
    }
    std::string last;
};

std::uint32_t WordSum(const std::uint8_t* block, std::size_t bytes) {
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k + 1 < bytes; k += 2) sum += (std::uint32_t{block[k]} << 8) | block[k + 1];
    return sum & 0xFFFF;
}

enum class Verdict { kIntact, kBlind, kWrong };

// Compares what the tester holds with what should be there, block by block.
Verdict Compare(const std::vector<std::uint8_t>& held, const std::vector<std::uint8_t>& wanted) {
    Verdict verdict = Verdict::kIntact;
    for (std::size_t at = 0; at + 128 <= wanted.size(); at += 128) {
        if (held.size() < at + 128 || !std::equal(wanted.begin() + static_cast<std::ptrdiff_t>(at),
                                                  wanted.begin() + static_cast<std::ptrdiff_t>(at + 128),
                                                  held.begin() + static_cast<std::ptrdiff_t>(at)))
        {
            if (held.size() >= at + 128 && WordSum(held.data() + at, 128) == WordSum(wanted.data() + at, 128))
                verdict = verdict == Verdict::kWrong ? Verdict::kWrong : Verdict::kBlind;
            else
                verdict = Verdict::kWrong;
        }
    }
    return verdict;
}

std::vector<std::uint8_t> ReadFile(const std::string& path, std::size_t bytes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> data(bytes);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(bytes));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

// What the tester should hold after the application: every statement's
// blocks where it sent them, and the monitor when flash work needed it.
Verdict Check(const ApplicationRecord& record, const sim::TesterSimulator& tester) {
    Verdict verdict = Verdict::kIntact;
    auto merge = [&verdict](Verdict v) {
        if (v == Verdict::kWrong || (v == Verdict::kBlind && verdict == Verdict::kIntact)) verdict = v;
    };
    bool flash = false;
    for (const ParsedStatement& parsed : ParseAllStatements(record)) {
        if (parsed.result != StatementResult::STMT_LOAD) continue;
        const StatementRecord& s = parsed.currentStatement;
        if (s.loadType == kLoadFlash) flash = true;
        if (s.eraseOnly) continue;
        const auto bytes = static_cast<std::uint32_t>(s.imageSize) / 128 * 128;
        const std::vector<std::uint8_t> wanted = ReadFile(s.imagePath, bytes);
        std::vector<std::uint8_t> held;
        if (s.programCard)
            held = tester.memory().ReadCard(s.loadAddress * 8192, bytes);
        else if (s.loadType == kLoadFlash)
            held = tester.memory().ReadFlash(s.loadAddress, bytes);
        else
            held = tester.memory().ReadRam(s.loadAddress, bytes);
        merge(Compare(held, wanted));
    }
    if (flash) {
        const auto monitor = ActiveMonitorImage();
        if (monitor) {
            const std::vector<std::uint8_t> wanted(monitor->bytes.begin(), monitor->bytes.end());
            merge(Compare(tester.memory().ReadRam(monitor->loadAddress, static_cast<std::uint32_t>(wanted.size())),
                          wanted));
        }
    }
    return verdict;
}

struct Tally {
    int runs = 0, completed = 0, falseSuccesses = 0, blind = 0;
    std::map<std::string, int> failures;  // by message
};

std::string RateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string apps = ZUL_SOAK_APPS_DIR;
    int runs = 600;
    std::uint64_t firstSeed = 1;
    std::vector<double> rates = {1e-5, 3e-5, 1e-4, 3e-4, 1e-3};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--apps") {
            apps = value;
        } else if (option == "--runs") {
            runs = std::atoi(value.c_str());
        } else if (option == "--first-seed") {
            firstSeed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (option == "--rates") {
            rates.clear();
            for (std::size_t at = 0; at < value.size();) {
                std::size_t comma = value.find(',', at);
                if (comma == std::string::npos) comma = value.size();
                rates.push_back(std::atof(value.substr(at, comma - at).c_str()));
                at = comma + 1;
            }
        } else {
            std::fprintf(stderr, "usage: %s [--apps DIR] [--runs N] [--first-seed S] [--rates R,R,...]\n", argv[0]);
            return 2;
        }
    }

    // A settings file of our own that points at the application directory.
    const std::filesystem::path settings =
        std::filesystem::temp_directory_path() / ("zul_noise_soak_" + std::to_string(::getpid()) + ".ini");
    SetSettingsFilePath(settings.string());
    SettingsStore(settings.string()).WriteScriptDir(apps.c_str());
    SettingsStore(settings.string()).WriteImageDir(apps.c_str());
    auto selection = std::make_unique<PortSelection>();
    selection->portNumber = 1;
    SetCurrentPortSelection(std::move(selection));
    AnsweringSink sink;
    FrontEnd frontEnd;
    frontEnd.messageSink = &sink;
    frontEnd.inProcessSimulator = true;
    const FrontEndScope installed(frontEnd);

    std::vector<std::string> names;
    {
        QuietView view;
        DownloadFlow flow(view);
        flow.FillList();
        for (const auto& row : flow.rows()) names.push_back(row.name);
    }
    if (names.empty()) {
        std::fprintf(stderr, "no applications in %s\n", apps.c_str());
        return 1;
    }

    const auto wallStart = std::chrono::steady_clock::now();
    std::printf("%-8s %7s %9s %14s %14s  failures\n", "rate", "runs", "completed", "false success", "of them blind");
    for (double rate : rates) {
        Tally tally;
        for (const std::string& name : names) {
            for (int r = 0; r < runs; ++r) {
                const std::uint64_t seed = firstSeed + static_cast<std::uint64_t>(r);
                VirtualClock clock(0);
                sim::SimOptions options;
                options.timing = sim::SimTiming::Fast();  // as zul-cli download --simulate
                options.seed = seed;
                sim::Fault garble;
                std::string error;
                sim::ParseFault("garble=" + RateText(rate), &garble, &error);
                options.faults.push_back(garble);
                sim::TesterSimulator tester(options);
                FrontEnd run = frontEnd;
                run.clock = &clock;
                run.serialPortFactory = sim::SimulatedTesterPortFactory(tester, clock);
                const FrontEndScope simulated(run);

                QuietView view;
                DownloadFlow flow(view);
                ++tally.runs;
                sink.last.clear();
                const bool ready = flow.Open();
                flow.FillList();
                int index = -1;
                for (const auto& row : flow.rows())
                    if (row.name == name) index = row.index;
                if (!ready || index < 0) {
                    ++tally.failures[sink.last.substr(0, sink.last.find('\n'))];
                    continue;
                }
                if (flow.DownloadApplications({index}) != DownloadOutcome::kCompleted) {
                    ++tally.failures[sink.last.substr(0, sink.last.find('\n'))];
                    continue;
                }
                ++tally.completed;
                const Verdict verdict = Check(*flow.catalogue()->CatalogueItem(index), tester);
                if (verdict == Verdict::kIntact) continue;
                ++tally.falseSuccesses;
                if (verdict == Verdict::kBlind) {
                    ++tally.blind;
                } else {
                    std::printf("  false success: zul-cli download --simulate=garble=%s --seed %llu --yes \"%s\"\n",
                                RateText(rate).c_str(), static_cast<unsigned long long>(seed), name.c_str());
                }
            }
        }
        std::string failures;
        for (const auto& [message, count] : tally.failures)
            failures += (failures.empty() ? "" : ", ") + std::to_string(count) + " \"" + message + "\"";
        std::printf("%-8s %7d %9d %14d %14d  %s\n", RateText(rate).c_str(), tally.runs, tally.completed,
                    tally.falseSuccesses, tally.blind, failures.c_str());
        std::fflush(stdout);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("%zu applications x %d seeds per rate from seed %llu; %.1f s of wall time\n", names.size(), runs,
                static_cast<unsigned long long>(firstSeed), seconds);
    SetCurrentPortSelection(nullptr);
    std::filesystem::remove(settings);
    return 0;
}
