#include "script/application_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "script/profile_document.h"
#include "testlib/script_fixtures.h"

namespace zul {
namespace {

TEST(MatchesPattern, WildcardsWithoutCase) {
    struct Row {
        const char* name;
        const char* pattern;
        bool match;
    } rows[] = {
        {"a.qob", "*.QOB", true},     {"A.QOB", "*.qob", true},     {"a.qobx", "*.qob", false},
        {"a.qob.txt", "*.qob", false}, {".qob", "*.qob", true},      {"aqob", "*.qob", false},
        {"x.q.qob", "*.qob", true},    {"notes.txt", "*.txt", true}, {"a.b", "*.?", true},
        {"a.bc", "*.?", false},        {"abc", "*", true},           {"a.qob", "*.*", true},
    };
    for (const Row& r : rows) EXPECT_EQ(MatchesPattern(r.name, r.pattern), r.match) << r.name << " " << r.pattern;
}

class Catalogue : public testing::Test {
protected:
    void Script(const std::string& name, const std::string& appName, int statements) {
        std::vector<std::string> lines(static_cast<std::size_t>(statements), "!m");
        test::WriteEncodedScript(dir, name, test::ScriptText(appName, "1", lines));
    }
    std::vector<std::string> Names(const ApplicationCatalogue& c) {
        std::vector<std::string> names;
        for (int i = 0; i < c.CatalogueCount(); ++i)
            names.push_back(std::filesystem::path(c.CatalogueItem(i)->scriptPath).filename().string());
        return names;
    }
    test::TempDir dir;
};

TEST_F(Catalogue, OneRecordPerMatchingFileInNameOrder) {
    Script("b.qob", "B", 1);
    Script("A.QOB", "A", 2);
    Script("c.Qob", "C", 0);
    dir.Write("notes.txt", "hello");
    auto catalogue = BuildCatalogue(dir.path(), "/img", "QOB");
    EXPECT_EQ(Names(*catalogue), std::vector<std::string>({"A.QOB", "b.qob", "c.Qob"}));
    EXPECT_EQ(catalogue->CatalogueItem(0)->appName, "A");
    EXPECT_EQ(catalogue->CatalogueItem(0)->statementCount, 2);
    EXPECT_EQ(catalogue->CatalogueItem(0)->imageDir, "/img");
    EXPECT_EQ(catalogue->CatalogueItem(0)->scriptPath, dir / "A.QOB");
    EXPECT_EQ(catalogue->CatalogueItem(2)->statementCount, 0);
    for (int bad : {-1, 3, 1000}) EXPECT_EQ(catalogue->CatalogueItem(bad), nullptr);
}

TEST_F(Catalogue, ListedInNameOrderWithStatementsOnly) {
    Script("1.qob", "beta", 1);
    Script("2.qob", "Alpha", 1);
    Script("3.qob", "none", 0);
    Script("4.qob", "alpha", 2);
    auto catalogue = BuildCatalogue(dir.path(), dir.path(), "qob");
    EXPECT_EQ(ListedApplications(*catalogue), std::vector<int>({1, 3, 0}));
}

TEST_F(Catalogue, OtherExtensionReadsOtherFiles) {
    Script("a.qob", "A", 1);
    dir.Write("notes.txt", "plain text");
    auto catalogue = BuildCatalogue(dir.path(), dir.path(), "txt");
    ASSERT_EQ(catalogue->CatalogueCount(), 1);
    EXPECT_EQ(catalogue->CatalogueItem(0)->statementCount, 0);
    EXPECT_EQ(catalogue->CatalogueItem(0)->appName, "Script File Error");
}

TEST_F(Catalogue, SameNameTwiceGivesTwoRecords) {
    Script("one.qob", "Same", 1);
    Script("two.qob", "Same", 1);
    auto catalogue = BuildCatalogue(dir.path(), dir.path(), "qob");
    ASSERT_EQ(catalogue->CatalogueCount(), 2);
    EXPECT_NE(catalogue->CatalogueItem(0), catalogue->CatalogueItem(1));
    EXPECT_EQ(catalogue->CatalogueItem(1)->appName, "Same");
}

TEST_F(Catalogue, MatchingDirectoryIsAnEmptyRecord) {
    std::filesystem::create_directory(dir / "x.qob");
    auto catalogue = BuildCatalogue(dir.path(), dir.path(), "qob");
    ASSERT_EQ(catalogue->CatalogueCount(), 1);
    EXPECT_EQ(catalogue->CatalogueItem(0)->statementCount, 0);
    EXPECT_EQ(catalogue->CatalogueItem(0)->appName, "");
}

TEST_F(Catalogue, MissingOrEmptyDirectoryGivesEmptyCatalogue) {
    EXPECT_EQ(BuildCatalogue(dir / "missing", dir.path(), "qob")->CatalogueCount(), 0);
    EXPECT_EQ(BuildCatalogue(dir.path(), dir.path(), "qob")->CatalogueCount(), 0);
}

TEST_F(Catalogue, OverlongPathsAreSkippedNotCut) {
    // A directory whose path leaves room for short names only.
    std::string sub;
    while (dir.path().size() + sub.size() < 200) sub += std::string(sub.empty() ? "" : "/") + std::string(30, 'd');
    std::filesystem::create_directories(dir / sub);
    const std::string deep = dir / sub;
    const std::size_t room = kMaxScriptPath - deep.size() - 1;  // longest name that fits
    const std::string fits = std::string(room - 4, 'f') + ".qob";
    const std::string tooLong = std::string(room - 3, 't') + ".qob";
    test::WriteEncodedScript(dir, sub + "/" + fits, test::ScriptText("Fits", "1", {"!m"}));
    test::WriteEncodedScript(dir, sub + "/" + tooLong, test::ScriptText("Too long", "1", {"!m"}));
    auto catalogue = BuildCatalogue(deep, deep, "qob");
    ASSERT_EQ(catalogue->CatalogueCount(), 1);
    EXPECT_EQ(catalogue->CatalogueItem(0)->appName, "Fits");
    EXPECT_EQ(catalogue->CatalogueItem(0)->scriptPath.size(), kMaxScriptPath);
}

TEST_F(Catalogue, AScriptLargerThanAnyScriptIsNotRead) {
    // A real script padded with line ends up to the size given.
    const struct {
        const char* file;
        unsigned long long size;
        int statements;
    } cases[] = {
        {"at-bound.qob", kMaxScriptFileSize, 1},
        {"over-bound.qob", kMaxScriptFileSize + 1, 0},
    };
    for (const auto& c : cases) {
        std::string text = test::ScriptText(c.file, "1", {"!m"});
        text.resize(static_cast<std::size_t>(c.size), '\n');
        test::WriteEncodedScript(dir, c.file, text);
    }
    auto catalogue = BuildCatalogue(dir.path(), dir.path(), "qob");
    ASSERT_EQ(catalogue->CatalogueCount(), 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(cases[i].file);
        EXPECT_EQ(catalogue->CatalogueItem(i)->statementCount, cases[i].statements);
    }
    EXPECT_EQ(ScriptFileProblem(dir / "at-bound.qob"), "");
    EXPECT_EQ(ScriptFileProblem(dir / "over-bound.qob"),
              "is 4194305 bytes long, larger than any script (at most 4194304)");
    EXPECT_EQ(ScriptFileProblem(dir.path()), "is a directory");
    EXPECT_EQ(ScriptFileProblem(dir / "none.qob"), "does not exist");
    dir.Write("empty.qob", "");
    EXPECT_EQ(ScriptFileProblem(dir / "empty.qob"), "is empty");
}

}  // namespace
}  // namespace zul
