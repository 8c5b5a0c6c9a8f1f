// zul-cli download: the download dialog's flow on a terminal, for the named
// applications in the order given.
#include <csignal>
#include <iostream>

#include "cli/command.h"
#include "cli/printable.h"
#include "cli/tester_cli.h"
#include "serial/device_names.h"
#include "ui/download/download_flow.h"
#include "tester/link_setup.h"
#include "tester/monitor_bootstrap.h"
#include "host/startup.h"

namespace zul::cli {
namespace {

extern "C" void OnInterrupt(int) {
    // The engine stops at the next block with "Download aborted"; a second
    // Ctrl-C ends the program the usual way.
    DownloadCancelFlag = 1;
    std::signal(SIGINT, SIG_DFL);
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The catalogue index of the listed application called `name`: its name as
// listed (exact, then without regard to case) or its script's file name.
int FindApplication(const DownloadFlow& flow, const std::string& name) {
    for (const auto& row : flow.rows())
        if (row.name == name) return row.index;
    for (const auto& row : flow.rows())
        if (SameText(row.name, name)) return row.index;
    for (const auto& row : flow.rows()) {
        const std::string& path = flow.catalogue()->CatalogueItem(row.index)->scriptPath;
        const std::string file = path.substr(path.find_last_of("/\\") + 1);
        if (SameText(file, name) || SameText(file.substr(0, file.find_last_of('.')), name)) return row.index;
    }
    return -1;
}

// After "Monitor could not be downloaded": what to do about it.
void ExplainMonitorImageProblem() {
    switch (LastMonitorImageProblem()) {
        case MonitorImageProblem::kNone:
            break;
        case MonitorImageProblem::kPlaceholderForRealTester:
            std::cerr << "zul-cli: ZUL carries no monitor program for a real tester; name the image file with "
                         "MonitorImage in section [Dir Setup] of "
                      << SettingsFilePath() << "\n";
            break;
        case MonitorImageProblem::kUnusableFile:
            std::cerr << "zul-cli: the monitor image named by MonitorImage in section [Dir Setup] of "
                      << SettingsFilePath() << " cannot be used (it must be a readable file of a multiple of 128 bytes)\n";
            break;
    }
}

struct DownloadOptions {
    std::vector<std::string> applications;
    TesterLinkOptions link;
};

void SetupDownload(CLI::App& app, Context& context) {
    auto* cmd = app.add_subcommand("download", "Download applications into the tester, as the Download button does");
    auto options = std::make_shared<DownloadOptions>();
    cmd->add_flag("--yes", context.assumeYes, "Answer the confirmation with OK");
    options->link.AddTo(*cmd);
    cmd->add_option("APP", options->applications, "Applications to download, by name as listed (in this order)")
        ->required();
    cmd->callback([&context, options] {
        context.Start();
        int portNumber = 0;
        if (!options->link.Apply(&portNumber)) {
            context.exitCode = 1;
            return;
        }
        TerminalFlowView view;
        DownloadFlow flow(view);
        ClearOpenFailure();
        const bool ready = flow.Open();
        if (LastOpenFailure().kind != OpenFailureKind::kNone)
            std::cerr << DescribeOpenFailure(LastOpenFailure()) << "\n";
        if (!ready) {
            context.exitCode = 1;
            return;
        }
        flow.FillList();
        std::vector<int> chosen;
        for (const auto& name : options->applications) {
            const int index = FindApplication(flow, name);
            if (index < 0) {
                std::cerr << "zul-cli: no application \"" << Printable(name) << "\" in the application directory\n";
                context.exitCode = 1;
                return;
            }
            chosen.push_back(index);
        }
        auto previous = std::signal(SIGINT, OnInterrupt);
        const DownloadOutcome outcome = flow.DownloadApplications(chosen);
        std::signal(SIGINT, previous);
        options->link.ReportSimulation(std::cout);
        if (outcome == DownloadOutcome::kFailed) ExplainMonitorImageProblem();
        context.exitCode = outcome == DownloadOutcome::kCompleted ? 0 : outcome == DownloadOutcome::kFailed ? 1 : 2;
        // A trace that was lost is a failure of what was asked for.
        if (!options->link.FinishTrace() && context.exitCode == 0) context.exitCode = 1;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("download", SetupDownload);

}  // namespace zul::cli
