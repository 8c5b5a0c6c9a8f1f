// zul-cli check [--dir DIR] [--ext EXT] [APP...]: a dry run of the download
// of applications. It parses every statement exactly as the download does and
// prints what would happen, touching no port.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/printable.h"
#include "cli/script_tools.h"
#include "host/startup.h"
#include "script/profile_document.h"
#include "script/statement_parser.h"
#include "script/text_util.h"
#include "tester/download_engine.h"
#include "tester/monitor_commands.h"
#include "tester/monitor_image.h"
#include "ui/download/download_texts.h"

namespace zul::cli {
namespace {

// The engine's sizes, signed like a statement's size.
constexpr auto kBlockSize = static_cast<std::int32_t>(kBlockDataSize);
constexpr auto kCardPage = static_cast<std::int32_t>(kCardPageSize);

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string LoadTypeText(const StatementRecord& s) {
    switch (s.loadType) {
        case kLoadRam: return "RAM";
        case kLoadRamRun: return "RAM, then run";
        case kLoadFlash: return s.programCard ? "program card" : "flash";
        default: return "none";
    }
}

std::string FlagsText(const StatementRecord& s) {
    std::string flags;
    auto add = [&flags](int on, const char* name) {
        if (!on) return;
        if (!flags.empty()) flags += ", ";
        flags += name;
    };
    add(s.bankErase, "bank erase");
    add(s.noErase, "no erase");
    add(s.eraseOnly, "erase only");
    add(s.batterySkip, "no battery test (-b)");
    add(s.resetAfter, "reset after (-r)");
    add(s.optionD, "-d");
    add(s.optionE, "-e");
    add(s.optionK, "-k");
    return flags.empty() ? "none" : flags;
}

void Warn(const std::string& text) { std::cout << "    warning: " << text << "\n"; }
void Error(const std::string& text) { std::cout << "    error: " << text << "\n"; }

// Flash statements need ZUL's monitor program in the tester: say when the
// settings name none that a real tester may be given.
bool g_flashStatementSeen = false;

void WarnAboutMonitorImage() {
    if (!g_flashStatementSeen) return;
    MonitorImage image;
    const MonitorImageResult selected = SelectMonitorImage(SettingsStore(SettingsFilePath()), RealFileSystem(), &image);
    if (selected != MonitorImageResult::Ok) {
        std::cout << "warning: the monitor image named by MonitorImage in section [Dir Setup] of " << SettingsFilePath()
                  << " cannot be used: flash statements will end with \"Monitor could not be downloaded\"\n";
    } else if (image.placeholder) {
        std::cout << "warning: no monitor image: flash statements need one, named by MonitorImage in section "
                     "[Dir Setup] of "
                  << SettingsFilePath()
                  << "; without it they end with \"Monitor could not be downloaded\" (except on a simulated tester)\n";
    }
}

// What check found in one application.
struct CheckResult {
    bool allParse = true;  // every statement parses
    bool usable = true;    // and nothing else would stop the download
};

// Checks one application.
CheckResult CheckApplication(ApplicationRecord& record) {
    std::cout << "Application \"" << Printable(record.appName) << "\" version \"" << Printable(record.appVersion)
              << "\" (" << Printable(FileName(record.scriptPath)) << "), " << record.statementCount << " statement"
              << (record.statementCount == 1 ? "" : "s") << "\n";
    CheckResult outcome;
    if (record.statementCount == 0) {
        // A script that cannot be read has no statements either; say which it is.
        if (const std::string problem = ScriptFileProblem(record.scriptPath); !problem.empty()) {
            Error("the script file " + problem + ": the download dialog does not list it");
            outcome.usable = false;
        } else {
            Warn("no statements: the download dialog does not list it");
        }
    }
    if (!StatementCountWithinLimit(record)) {
        constexpr StatementResult kRefused = StatementResult::STMT_BAD_STATEMENT;
        std::cout << "  error " << ResultNumber(kRefused) << " " << StatementResultName(kRefused) << ": \""
                  << StatementResultMessage(kRefused) << "\": " << record.statementCount
                  << " statements, more than the " << kMaxStatements
                  << " that can be named; the download refuses the application before sending anything\n";
        outcome.usable = false;
    }
    bool allParse = true;
    const int checked = record.statementCount < kMaxStatements ? record.statementCount : kMaxStatements;
    for (int n = 0; n < checked; ++n) {
        std::cout << "  stmt" << n + 1 << ": ";
        std::cout.flush();  // token diagnostics are written straight to standard output
        const StatementResult result = ParseStatement(record, n);
        if (result == StatementResult::STMT_MESSAGE) {
            std::cout << "message \"" << Printable(record.messageText) << "\"\n";
            if (record.messageText == kNotSpecifiedStatement) Warn("the statement is missing from the script");
            continue;
        }
        if (result != StatementResult::STMT_LOAD) {
            std::cout << "error " << ResultNumber(result) << " " << StatementResultName(result) << ": \""
                      << StatementResultMessage(result) << "\"\n";
            allParse = false;
            continue;
        }
        const StatementRecord& s = record.currentStatement;
        if (s.loadType == kLoadFlash) g_flashStatementSeen = true;
        std::cout << "load " << Printable(s.imagePath) << ", address " << Hex(s.loadAddress) << ", size " << s.imageSize << " ("
                  << Hex(static_cast<std::uint32_t>(s.imageSize)) << "), type " << s.loadType << " ("
                  << LoadTypeText(s) << "), flags: " << FlagsText(s) << "\n";
        if (s.loadType == kLoadNone) Warn("no device option: the download refuses a load without a type");
        // A missing image may still appear before the download; one that is
        // there but not a regular file is refused by the download.
        if (const std::string problem = RegularFileProblem(s.imagePath); problem == "does not exist") {
            Warn("the image file " + Printable(s.imagePath) + " does not exist");
        } else if (!problem.empty()) {
            Error("the image file " + Printable(s.imagePath) + " " + problem + ": the download stops with \"" +
                  EngineResultMessage(DownloadResult::ImageUnreadable)->text + "\"");
            outcome.usable = false;
        }
        if (!s.eraseOnly) {
            if (s.imageSize % kBlockSize != 0)
                Warn("the size is not a multiple of 128: the last " + std::to_string(s.imageSize % kBlockSize) +
                     " bytes are not sent");
            if (s.programCard && s.imageSize % kCardPage != 0)
                Warn("a program-card size that is not a multiple of 8192: the tester expects " +
                     std::to_string(s.imageSize / kCardPage) + " pages of 64 blocks, ZUL would send " +
                     std::to_string(s.imageSize / kBlockSize) + " blocks");
        }
    }
    outcome.allParse = allParse;
    return outcome;
}

// The catalogue index of the application a user named: its "name" value or
// its script file name (with or without the extension).
bool FindApplication(const ApplicationCatalogue& catalogue, const std::vector<int>& listed, const std::string& wanted,
                     int* index) {
    std::vector<int> matches;
    for (int i = 0; i < catalogue.CatalogueCount(); ++i) {
        const ApplicationRecord* r = catalogue.CatalogueItem(i);
        if (!r) continue;
        const std::filesystem::path file(r->scriptPath);
        if (r->appName == wanted || script_text::EqualNoCase(file.filename().string(), wanted) ||
            script_text::EqualNoCase(file.stem().string(), wanted))
            matches.push_back(i);
    }
    if (matches.size() == 1) {
        *index = matches[0];
        return true;
    }
    std::cerr << (matches.empty() ? "unknown application: " : "ambiguous application: ") << Printable(wanted) << "\n";
    const std::vector<int>& candidates = matches.empty() ? listed : matches;
    std::cerr << (candidates.empty() ? "no applications available\n" : "candidates:\n");
    for (int i : candidates) {
        const ApplicationRecord* r = catalogue.CatalogueItem(i);
        std::cerr << "  " << Printable(r->appName) << " (" << Printable(FileName(r->scriptPath)) << ")\n";
    }
    return false;
}

void SetupCheck(CLI::App& app, Context& context) {
    struct Options {
        CatalogueOptions catalogue;
        std::vector<std::string> apps;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand(
        "check", "Dry run: print what downloading the applications would do, statement by statement (no port used)");
    options->catalogue.AddTo(cmd);
    cmd->add_option("APP", options->apps, "Application name or script file (default: every listed one)");
    cmd->callback([&context, options] {
        context.Start();
        auto catalogue = options->catalogue.Build(context);
        const std::vector<int> listed = ListedApplications(*catalogue);
        std::vector<int> chosen;
        if (options->apps.empty()) {
            chosen = listed;
        } else {
            for (const std::string& wanted : options->apps) {
                int index = -1;
                if (!FindApplication(*catalogue, listed, wanted, &index)) {
                    context.exitCode = 2;
                    return;
                }
                chosen.push_back(index);
            }
        }
        if (options->apps.empty()) {
            // Scripts the list leaves out because they cannot be read: say why.
            for (int i = 0; i < catalogue->CatalogueCount(); ++i) {
                const ApplicationRecord* r = catalogue->CatalogueItem(i);
                if (!r || r->statementCount != 0) continue;
                if (const std::string problem = ScriptFileProblem(r->scriptPath); !problem.empty())
                    std::cout << "Script " << Printable(FileName(r->scriptPath)) << " " << problem << ": not listed\n";
            }
        }
        if (chosen.empty()) std::cout << "No applications available.\n";
        bool allParse = true, usable = true;
        for (int index : chosen) {
            ApplicationRecord& record = *catalogue->CatalogueItem(index);
            ScriptHold hold(record);
            const CheckResult result = CheckApplication(record);
            allParse = allParse && result.allParse;
            usable = usable && result.usable;
        }
        WarnAboutMonitorImage();
        if (!allParse)
            std::cout << "some statements do not parse\n";
        else if (!usable)
            std::cout << "every statement parses, but the download would fail (see the errors above)\n";
        else
            std::cout << "every statement parses\n";
        context.exitCode = allParse && usable ? 0 : 1;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("check", SetupCheck);

}  // namespace zul::cli
