// zul-cli check [--dir DIR] [--ext EXT] [APP...]: a dry run of the download
// of applications. It parses every statement exactly as the download does and
// prints what would happen, touching no port.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/printable.h"
#include "cli/script_tools.h"
#include "script/profile_document.h"
#include "script/statement_parser.h"
#include "script/text_util.h"
#include "app/startup.h"
#include "tester/monitor_image.h"

namespace zul::cli {
namespace {

constexpr std::int32_t kBlockSize = 128;
constexpr std::int32_t kCardPageSize = 8192;

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

// Flash statements need ZUL's monitor program in the tester: say when the
// settings name none that a real tester may be given.
bool g_flashStatementSeen = false;

void WarnAboutMonitorImage() {
    if (!g_flashStatementSeen) return;
    MonitorImage image;
    const int selected = SelectMonitorImage(SettingsStore(SettingsFilePath()), RealFileSystem(), &image);
    if (selected != kMonitorImageOk) {
        std::cout << "warning: the monitor image named by MonitorImage in section [Dir Setup] of " << SettingsFilePath()
                  << " cannot be used: flash statements will end with \"Monitor could not be downloaded\"\n";
    } else if (image.placeholder) {
        std::cout << "warning: no monitor image: flash statements need one, named by MonitorImage in section "
                     "[Dir Setup] of "
                  << SettingsFilePath()
                  << "; without it they end with \"Monitor could not be downloaded\" (except on a simulated tester)\n";
    }
}

// Checks one application; true when every statement parses.
bool CheckApplication(ApplicationRecord& record) {
    std::cout << "Application \"" << Printable(record.appName) << "\" version \"" << Printable(record.appVersion)
              << "\" (" << Printable(FileName(record.scriptPath)) << "), " << record.statementCount << " statement"
              << (record.statementCount == 1 ? "" : "s") << "\n";
    if (record.statementCount == 0) Warn("no statements: the download dialog does not list it");
    bool allParse = true;
    for (int n = 0; n < record.statementCount; ++n) {
        std::cout << "  stmt" << n + 1 << ": ";
        std::cout.flush();  // token diagnostics are written straight to standard output
        const int result = ParseStatement(record, n);
        if (result == STMT_MESSAGE) {
            std::cout << "message \"" << Printable(record.messageText) << "\"\n";
            if (record.messageText == kNotSpecifiedStatement) Warn("the statement is missing from the script");
            continue;
        }
        if (result != STMT_LOAD) {
            std::cout << "error " << result << " " << StatementResultName(result) << ": \""
                      << StatementResultMessage(result) << "\"\n";
            allParse = false;
            if (n >= kMaxStatements) {
                std::cout << "  (statements after stmt" << kMaxStatements << " cannot be named; not checked)\n";
                break;
            }
            continue;
        }
        const StatementRecord& s = record.currentStatement;
        if (s.loadType == kLoadFlash) g_flashStatementSeen = true;
        std::cout << "load " << Printable(s.imagePath) << ", address " << Hex(s.loadAddress) << ", size " << s.imageSize << " ("
                  << Hex(static_cast<std::uint32_t>(s.imageSize)) << "), type " << s.loadType << " ("
                  << LoadTypeText(s) << "), flags: " << FlagsText(s) << "\n";
        if (s.loadType == kLoadNone) Warn("no device option: the download refuses a load without a type");
        unsigned long long length = 0;
        if (!ProbeFileLength(s.imagePath, &length)) Warn("the image file " + s.imagePath + " does not exist");
        if (!s.eraseOnly) {
            if (s.imageSize % kBlockSize != 0)
                Warn("the size is not a multiple of 128: the last " + std::to_string(s.imageSize % kBlockSize) +
                     " bytes are not sent");
            if (s.programCard && s.imageSize % kCardPageSize != 0)
                Warn("a program-card size that is not a multiple of 8192: the tester expects " +
                     std::to_string(s.imageSize / kCardPageSize) + " pages of 64 blocks, ZUL would send " +
                     std::to_string(s.imageSize / kBlockSize) + " blocks");
        }
    }
    return allParse;
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
        if (chosen.empty()) std::cout << "No applications available.\n";
        bool allParse = true;
        for (int index : chosen) {
            ApplicationRecord& record = *catalogue->CatalogueItem(index);
            ScriptHold hold(record);
            if (!CheckApplication(record)) allParse = false;
        }
        WarnAboutMonitorImage();
        std::cout << (allParse ? "every statement parses\n" : "some statements do not parse\n");
        context.exitCode = allParse ? 0 : 1;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("check", SetupCheck);

}  // namespace zul::cli
