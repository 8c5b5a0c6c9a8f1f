// The demo application directory that the build generates beside the programs.
#include <gtest/gtest.h>

#include <algorithm>

#include "script/application_catalogue.h"
#include "script/statement_parser.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

const std::string kApps = std::string(ZUL_BINARY_DIR) + "/Apps";

TEST(DemoApps, CheckPassesOnTheDemoDirectory) {
    if (std::string(ZUL_CLI_PATH).empty()) GTEST_SKIP() << "built without zul-cli";
    test::TempDir dir;
    // A monitor image for flash work is named, as for a real tester, so that
    // only the scripts themselves could give a warning.
    dir.Write("monitor.bin", std::string(128, '\x60'));
    dir.Write("zultw.ini", "[Dir Setup]\nMonitorImage=" + (dir / "monitor.bin") + "\n");
    std::string output;
    int status = test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir / "zultw.ini") +
                                      " check --dir " + test::ShellQuote(kApps),
                                  dir.path(), &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("every statement parses"), std::string::npos) << output;
    EXPECT_EQ(output.find("warning"), std::string::npos) << output;
}

TEST(DemoApps, CoverEveryKindOfLoad) {
    auto catalogue = BuildCatalogue(kApps, kApps, "QOB");
    ASSERT_EQ(ListedApplications(*catalogue).size(), 3u);
    std::vector<std::string> devices;
    int messages = 0, batterySkips = 0, resets = 0;
    for (int i = 0; i < catalogue->CatalogueCount(); ++i) {
        for (const ParsedStatement& p : ParseAllStatements(*catalogue->CatalogueItem(i))) {
            if (p.result == StatementResult::STMT_MESSAGE) ++messages;
            if (p.result != StatementResult::STMT_LOAD) continue;
            const StatementRecord& s = p.currentStatement;
            batterySkips += s.batterySkip;
            resets += s.resetAfter;
            std::string kind = std::to_string(s.loadType) + (s.programCard ? "C" : "") + (s.bankErase ? "B" : "") +
                               (s.noErase ? "N" : "") + (s.eraseOnly ? "O" : "");
            devices.push_back(kind);
        }
    }
    std::sort(devices.begin(), devices.end());
    // RAM, RAM then run, flash, bank, erase, no erase, card bank, card no erase, card erase.
    EXPECT_EQ(devices, std::vector<std::string>({"1", "2", "3", "3B", "3BN", "3CB", "3CN", "3CO", "3N"}));
    EXPECT_GE(messages, 3);
    EXPECT_GE(batterySkips, 1);
    EXPECT_GE(resets, 1);
}

}  // namespace
}  // namespace zul
