// The command-line front end as a user runs it: a real process, real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "testlib/temp_dir.h"

namespace zul {
namespace {

using test::ShellQuote;

class CliSettingsTest : public ::testing::Test {
protected:
    // A copy of zul-cli in a program directory of its own.
    void SetUp() override {
        ::mkdir((root / "prog").c_str(), 0755);
        ::mkdir((root / "work").c_str(), 0755);
        cli = root / "prog/zul-cli";
        std::filesystem::copy_file(ZUL_CLI_PATH, cli);
    }
    int Run(const std::string& args, std::string* out) {
        return test::RunCommand("XDG_CONFIG_HOME=" + ShellQuote(root / "config") + " " + ShellQuote(cli) + " " + args,
                                root / "work", out);
    }
    test::TempDir root;
    std::string cli;
};

TEST_F(CliSettingsTest, PrintsEveryValueFromTheProgramDirectory) {
    std::string out;
    ASSERT_EQ(Run("settings", &out), 0) << out;
    const std::string prog = root / "prog";
    EXPECT_EQ(out, "settings file = " + prog + "/zultw.ini\n"
                   "WriteTest/Val = 12345\n"
                   "Comm Strings/Port = COM1\n"
                   "comm/Port = 1\n"
                   "Dir Setup/QOBClosingMsg = Cycle power on your tester and press OK to finish.\n"
                   "Dir Setup/QOBDir = " + prog + "/Apps\n"
                   "Dir Setup/ImgQOBDir = " + prog + "/Apps\n"
                   "Dir Setup/QOBFileType = QOB\n");
}

TEST_F(CliSettingsTest, AProgramDirectoryThatCannotHoldTheFileUsesTheUsersConfigDirectory) {
    ::mkdir((root / "prog/zultw.ini").c_str(), 0755);
    std::string out;
    ASSERT_EQ(Run("settings", &out), 0) << out;
    const std::string expected = root / "config/zul/zultw.ini";
    EXPECT_NE(out.find("settings file = " + expected + "\n"), std::string::npos) << out;
    struct stat st {};
    ASSERT_EQ(::stat((root / "config/zul").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // The fallback is not tested, so nothing was written there.
    EXPECT_FALSE(std::filesystem::exists(expected));
}

TEST_F(CliSettingsTest, AnExplicitSettingsFileIsUsedAsItIs) {
    root.Write("mine.ini", "[comm]\nPort=4\n[Dir Setup]\nQOBFileType=\n");
    std::string out;
    ASSERT_EQ(Run("--settings " + ShellQuote(root / "mine.ini") + " settings", &out), 0) << out;
    EXPECT_NE(out.find("settings file = " + root / "mine.ini"), std::string::npos) << out;
    EXPECT_NE(out.find("comm/Port = 4\n"), std::string::npos);
    EXPECT_NE(out.find("Dir Setup/QOBFileType = \n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(root / "prog/zultw.ini"));
}

TEST_F(CliSettingsTest, EveryRunLeavesItsSessionInTheCurrentDirectory) {
    std::string out;
    ASSERT_EQ(Run("settings", &out), 0);
    ASSERT_EQ(Run("--version", &out), 0);
    std::string log = root.Read("work/MSC.LOG");
    size_t starts = 0, ends = 0;
    for (size_t p = 0; (p = log.find("START SESSION", p)) != std::string::npos; ++p) ++starts;
    for (size_t p = 0; (p = log.find("END SESSION", p)) != std::string::npos; ++p) ++ends;
    EXPECT_EQ(starts, 2u);
    EXPECT_EQ(ends, 2u);
    EXPECT_FALSE(std::filesystem::exists(root / "prog/MSC.LOG"));
}

TEST_F(CliSettingsTest, HelpAndBadUsage) {
    std::string out;
    EXPECT_EQ(Run("--help", &out), 0);
    EXPECT_NE(out.find("settings"), std::string::npos);
    EXPECT_NE(Run("no-such-command", &out), 0);
}

TEST_F(CliSettingsTest, ASettingsFileThatCannotBeUsedEndsTheCommandWithAReason) {
    ASSERT_EQ(::mkfifo((root / "pipe.ini").c_str(), 0600), 0);
    const std::string tooLong = root / std::string(260 - root.path().size(), 'n');
    const struct {
        std::string file;
        std::string reason;
    } cases[] = {
        {tooLong, "the path is 261 characters long; at most 259 are allowed"},
        {root / "pipe.ini", "it is not a regular file"},
        {"/dev/zero", "it is not a regular file"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Run("--settings " + ShellQuote(c.file) + " settings", &out), 1) << c.file;
        EXPECT_EQ(out, "zul-cli: cannot use the settings file " + c.file + ": " + c.reason + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(root / "prog/zultw.ini"));
}

TEST_F(CliSettingsTest, AProgramDirectoryTooDeepForTheSettingsPathFallsBack) {
    std::string deep = root / "prog";
    while (deep.size() + std::string("/zultw.ini").size() <= 259) {
        deep += "/" + std::string(40, 'd');
        ::mkdir(deep.c_str(), 0755);
    }
    std::filesystem::copy_file(cli, deep + "/zul-cli");
    cli = deep + "/zul-cli";
    std::string out;
    ASSERT_EQ(Run("settings", &out), 0) << out;
    EXPECT_NE(out.find("settings file = " + root / "config/zul/zultw.ini\n"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(deep + "/zultw.ini"));
}

TEST_F(CliSettingsTest, APipeNamedLikeTheSessionLogHoldsNothingUp) {
    ASSERT_EQ(::mkfifo((root / "work/MSC.LOG").c_str(), 0600), 0);
    std::string out;
    EXPECT_EQ(test::RunCommand("timeout 10 " + ShellQuote(cli) + " --help", root / "work", &out), 0) << out;
    EXPECT_EQ(Run("settings", &out), 0) << out;
}

TEST_F(CliSettingsTest, WithoutAnyPrivateDirectoryTheSettingsAreRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as a user without a home";
    // A user unknown to the password database, with no HOME or configuration
    // directory, in a program directory it cannot write: the current
    // directory (writable by all here) must not receive the settings.
    ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod((root / "work").c_str(), 0777), 0);
    std::string out;
    EXPECT_EQ(test::RunCommand("setpriv --reuid=54321 --regid=54321 --clear-groups env -u HOME -u XDG_CONFIG_HOME "
                               "-u XDG_RUNTIME_DIR " + ShellQuote(cli) + " settings",
                               root / "work", &out),
              1);
    EXPECT_NE(out.find("zul-cli: no place for the settings file"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(root / "work/zultw.ini"));
}

TEST_F(CliSettingsTest, SelectPortStoresBothKeysAndRefusesNumbersOutsideTheList) {
    root.Write("mine.ini", "[comm]\nPort=4\n[Comm Strings]\nPort=COM4\n");
    const std::string settings = "--settings " + ShellQuote(root / "mine.ini") + " ";
    std::string out;
    ASSERT_EQ(Run(settings + "select-port 10", &out), 0) << out;
    const std::string stored = root.Read("mine.ini");
    EXPECT_NE(stored.find("[comm]\nPort=10\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("[Comm Strings]\nPort=COM10\n"), std::string::npos) << stored;
    for (const char* bad : {"0", "11", "x", ""}) {
        EXPECT_NE(Run(settings + "select-port " + std::string(bad), &out), 0) << bad;
        EXPECT_EQ(root.Read("mine.ini"), stored) << bad;
    }
}

}  // namespace
}  // namespace zul
