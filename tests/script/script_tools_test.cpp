// The script commands of zul-cli, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "script/profile_document.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

class ScriptTools : public testing::Test {
protected:
    void SetUp() override {
        if (std::string(ZUL_CLI_PATH).empty()) GTEST_SKIP() << "built without zul-cli";
    }
    int Run(const std::string& arguments, std::string* output) {
        return test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + test::ShellQuote(dir / "zultw.ini") +
                                    " " + arguments,
                                dir.path(), output);
    }
    std::string DirOption() const { return "--dir " + test::ShellQuote(apps.path()); }
    test::TempDir dir;
    test::TempDir apps;
};

TEST_F(ScriptTools, EncodeTwiceGivesTheOriginalBack) {
    std::string original;
    for (int b = 0; b < 256; ++b) original += static_cast<char>(b);
    dir.Write("plain.txt", original + "[application]\r\nname=x\n");
    std::string output;
    ASSERT_EQ(Run("encode plain.txt -o once.qob", &output), 0) << output;
    EXPECT_EQ(dir.Read("once.qob"), ComplementBytes(dir.Read("plain.txt")));
    ASSERT_EQ(Run("encode once.qob -o twice.txt", &output), 0) << output;
    EXPECT_EQ(dir.Read("twice.txt"), dir.Read("plain.txt"));
    ASSERT_EQ(Run("decode once.qob", &output), 0);
    EXPECT_EQ(output, dir.Read("plain.txt"));
}

TEST_F(ScriptTools, TranscodeFailuresExitNonZero) {
    std::string output;
    EXPECT_EQ(Run("decode missing.qob", &output), 1);
    EXPECT_NE(output.find("cannot read"), std::string::npos);
    dir.Write("a.txt", "x");
    EXPECT_EQ(Run("encode a.txt -o no/such/dir/out.qob", &output), 1);
}

TEST_F(ScriptTools, ListShowsListedApplicationsByName) {
    test::WriteEncodedScript(apps, "z.qob", test::ScriptText("Alpha", "2.0", {"!m"}));
    test::WriteEncodedScript(apps, "a.qob", test::ScriptText("beta", "1.0", {"!m", "!n"}));
    test::WriteEncodedScript(apps, "empty.qob", test::ScriptText("Hidden", "1", {}));
    std::string output;
    ASSERT_EQ(Run("list " + DirOption(), &output), 0) << output;
    EXPECT_EQ(output,
              "Name   Version  Statements  Script\n"
              "Alpha  2.0               1  z.qob\n"
              "beta   1.0               2  a.qob\n");
    ASSERT_EQ(Run("list " + DirOption() + " --ext txt", &output), 0);
    EXPECT_EQ(output, "No applications available.\n");
}

TEST_F(ScriptTools, ListReadsTheSettings) {
    test::WriteEncodedScript(apps, "a.app", test::ScriptText("From settings", "1", {"!m"}));
    dir.Write("zultw.ini", "[Dir Setup]\nQOBDir=" + apps.path() + "\nImgQOBDir=" + apps.path() + "\nQOBFileType=app\n");
    std::string output;
    ASSERT_EQ(Run("list", &output), 0) << output;
    EXPECT_NE(output.find("From settings"), std::string::npos) << output;
}

TEST_F(ScriptTools, CheckReportsEveryStatement) {
    apps.Write("app.bin", std::string(200, 'x'));
    test::WriteEncodedScript(apps, "good.qob",
                             test::ScriptText("Good", "1", {"!Connect the tester", "app.bin 10000 100 -FLASH -b",
                                                            "app.bin -MBANK", "gone.bin 0 80 -RAM"}));
    test::WriteEncodedScript(apps, "bad.qob", test::ScriptText("Bad", "1", {"app.bin -ROM", "app.bin -x -RAM",
                                                                            "empty.bin -RAM", "gone.bin -RAM", ""}));
    apps.Write("empty.bin", "");
    std::string output;
    EXPECT_EQ(Run("check " + DirOption() + " Good", &output), 0) << output;
    for (const char* expected : {"message \"!Connect the tester\"",
                                 "address 0x00010000, size 256 (0x00000100), type 3 (flash), flags: no battery test",
                                 "type 3 (program card), flags: bank erase",
                                 "the last 72 bytes are not sent",
                                 "the tester expects 0 pages of 64 blocks, ZUL would send 1 blocks",
                                 "gone.bin does not exist", "every statement parses"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;

    EXPECT_EQ(Run("check " + DirOption() + " bad.qob", &output), 1) << output;
    for (const char* expected :
         {"stmt1: error 11 STMT_BAD_DEVICE: \"No device specified to download to\"",
          "stmt2: error 14 STMT_BAD_OPTION: \"No options were specified in the script file\"",
          "stmt3: error 13 STMT_EMPTY_IMAGE: \"The size of the image file is zero\"",
          "stmt4: error 16 STMT_OPEN_FAILED: \"Could not open file\"",
          "stmt5: error 17 STMT_BAD_STATEMENT: \"Error with setup\"",
          "some statements do not parse"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;

    // Without names: every listed application.
    EXPECT_EQ(Run("check " + DirOption(), &output), 1);
    EXPECT_NE(output.find("\"Good\""), std::string::npos);
    EXPECT_NE(output.find("\"Bad\""), std::string::npos);
}

TEST_F(ScriptTools, CheckNamesMustBeUnique) {
    test::WriteEncodedScript(apps, "one.qob", test::ScriptText("Twin", "1", {"!m"}));
    test::WriteEncodedScript(apps, "two.qob", test::ScriptText("Twin", "2", {"!m"}));
    std::string output;
    EXPECT_EQ(Run("check " + DirOption() + " Twin", &output), 2);
    EXPECT_NE(output.find("ambiguous application: Twin"), std::string::npos) << output;
    EXPECT_NE(output.find("Twin (two.qob)"), std::string::npos) << output;
    EXPECT_EQ(Run("check " + DirOption() + " Nothing", &output), 2);
    EXPECT_NE(output.find("unknown application: Nothing"), std::string::npos) << output;
    EXPECT_NE(output.find("Twin (one.qob)"), std::string::npos) << output;
    EXPECT_EQ(Run("check " + DirOption() + " two", &output), 0) << output;
}

TEST_F(ScriptTools, TranscodeReadsOnlyRegularFilesAndReportsEveryFailure) {
    ASSERT_EQ(::mkfifo((dir / "pipe.qob").c_str(), 0600), 0);
    ::mkdir((dir / "folder.qob").c_str(), 0700);
    const struct {
        const char* input;
        const char* message;
    } cases[] = {
        {"folder.qob", "cannot read folder.qob: it is a directory"},
        {"pipe.qob", "cannot read pipe.qob: it is not a regular file"},
        {"/dev/zero", "cannot read /dev/zero: it is not a regular file"},
        {"missing.qob", "cannot read missing.qob: it does not exist"},
    };
    for (const auto& c : cases) {
        std::string output;
        // A read that blocks or never ends is cut short by the time limit.
        EXPECT_EQ(test::RunCommand("timeout 10 " + std::string(ZUL_CLI_PATH) + " decode " + c.input, dir.path(),
                                   &output),
                  1)
            << c.input;
        EXPECT_EQ(output, std::string(c.message) + "\n") << c.input;
    }
}

TEST_F(ScriptTools, EncodeToAFullDeviceSaysSo) {
    dir.Write("plain.txt", std::string(10000, 'x'));
    std::string output;
    EXPECT_EQ(test::RunCommand("sh -c " + test::ShellQuote(std::string(ZUL_CLI_PATH) +
                                                         " encode plain.txt >/dev/full 2>err.txt"),
                               dir.path(), &output),
              1);
    EXPECT_EQ(dir.Read("err.txt"), "cannot write standard output: No space left on device\n");
    EXPECT_EQ(Run("encode plain.txt -o /dev/full", &output), 1);
    EXPECT_EQ(output, "cannot write /dev/full: No space left on device\n");
}

TEST_F(ScriptTools, CheckSaysWhyAnApplicationCannotBeDownloaded) {
    std::string big = test::ScriptText("Big", "1", {"!m"});
    big.resize(static_cast<std::size_t>(kMaxScriptFileSize) + 1, '\n');
    test::WriteEncodedScript(apps, "big.qob", big);
    std::vector<std::string> thousand(1000, "!m");
    test::WriteEncodedScript(apps, "many.qob", test::ScriptText("Many", "1", thousand));
    ::mkdir((apps / "folder.bin").c_str(), 0700);
    ASSERT_EQ(::mkfifo((apps / "pipe.bin").c_str(), 0600), 0);
    test::WriteEncodedScript(apps, "odd.qob",
                             test::ScriptText("Odd images", "1", {"folder.bin 0 80 -RAM", "pipe.bin 0 80 -RAM"}));
    std::string output;
    ASSERT_EQ(Run("list " + DirOption(), &output), 0);
    EXPECT_EQ(output.find("Big"), std::string::npos) << output;

    const struct {
        const char* app;
        std::vector<std::string> expected;
    } cases[] = {
        {"", {"Script big.qob is 4194305 bytes long, larger than any script (at most 4194304): not listed"}},
        {"big", {"error: the script file is 4194305 bytes long, larger than any script (at most 4194304): the "
                 "download dialog does not list it",
                 "but the download would fail"}},
        {"Many", {"error 17 STMT_BAD_STATEMENT: \"Error with setup\": 1000 statements, more than the 999 that can "
                  "be named; the download refuses the application before sending anything",
                  "stmt999: message"}},
        {"Odd images", {"error: the image file " + apps.path() + "/folder.bin is a directory: the download stops "
                        "with \"Unable to open image file.\"",
                        "error: the image file " + apps.path() + "/pipe.bin is not a regular file"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.app);
        EXPECT_EQ(Run("check " + DirOption() + (*c.app ? " " + test::ShellQuote(c.app) : ""), &output), 1);
        for (const std::string& expected : c.expected)
            EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
        EXPECT_EQ(output.find("stmt1000"), std::string::npos) << output;
    }
}

}  // namespace
}  // namespace zul
