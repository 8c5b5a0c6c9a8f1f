// zul-cli set-dir as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "testlib/script_fixtures.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

using test::ShellQuote;

class SetDirCliTest : public ::testing::Test {
protected:
    int Run(const std::string& args, std::string* out) {
        return test::RunCommand(std::string(ZUL_CLI_PATH) + " --settings " + ShellQuote(root / "zultw.ini") + " " +
                                    args,
                                root.path(), out);
    }
    test::TempDir root;
};

TEST_F(SetDirCliTest, StoresBothDirectoriesAndWarnsAboutAFolderWithoutScripts) {
    struct Row {
        std::string arg;       // as typed, relative to the working directory
        std::string stored;    // what lands in both keys
        std::string warning;   // on standard error, "" for none
    };
    std::filesystem::create_directory(root / "apps");
    std::filesystem::create_directory(root / "empty");
    test::WriteEncodedScript(root, "apps/demo.qob", test::ScriptText("Demo", "1.0", {"MSG Hello"}));
    root.Write("file.txt", "x");
    const Row rows[] = {
        {ShellQuote(root / "apps"), root / "apps", ""},
        {"apps", root / "apps", ""},
        {"empty", root / "empty",
         "zul-cli: warning: " + root / "empty" + " holds no script files (*.QOB) (stored anyway)\n"},
        {"gone", root / "gone", "zul-cli: warning: " + root / "gone" + " is not a folder (stored anyway)\n"},
        {"file.txt", root / "file.txt",
         "zul-cli: warning: " + root / "file.txt" + " is not a folder (stored anyway)\n"},
    };
    for (const Row& row : rows) {
        std::string out;
        ASSERT_EQ(Run("set-dir " + row.arg, &out), 0) << out;
        EXPECT_EQ(out, row.warning + "Dir Setup/QOBDir = " + row.stored + "\nDir Setup/ImgQOBDir = " + row.stored + "\n")
            << row.arg;
        EXPECT_NE(root.Read("zultw.ini").find("[Dir Setup]\nQOBDir=" + row.stored + "\nImgQOBDir=" + row.stored + "\n"),
                  std::string::npos)
            << root.Read("zultw.ini");
    }
    std::string out;
    EXPECT_NE(Run("set-dir", &out), 0);  // DIR is required
}

}  // namespace
}  // namespace zul
