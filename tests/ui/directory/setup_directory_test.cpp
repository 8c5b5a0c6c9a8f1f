// The Setup Directory dialog without its window, and the folder picker's
// state as keys, Select and double-clicks change it.
#include "ui/directory/setup_directory.h"

#include <gtest/gtest.h>

#include "testlib/memory_file_system.h"
#include "testlib/memory_folder_system.h"
#include "testlib/memory_history_store.h"
#include "ui/directory/folder_picker.h"

namespace zul {
namespace {

using test::MemoryFolderSystem;
using test::ScriptedPrompts;

const std::string kItem = std::string(kFolderHistorySection) + "|Item";

TEST(SetupDirectory, OpeningPutsTheCurrentDirectoryOnTopAndWritesTheHistory) {
    test::MemoryFileSystem files;
    files.files["zultw.ini"] = "[Dir Setup]\nQOBDir=C:\\Apps\n";
    SettingsStore settings("zultw.ini", "C:\\Prog", files);
    test::MemoryHistoryStore store;
    HistoryList history(store);
    EXPECT_EQ(OpenSetupDirectory(settings, history), "C:\\Apps");
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{{kItem + "1", "C:\\Apps"}}));
}

TEST(SetupDirectory, OkWritesBothDirectoriesUncheckedAndSavesTheHistory) {
    test::MemoryFileSystem files;
    SettingsStore settings("zultw.ini", "/prog", files);
    test::MemoryHistoryStore store;
    store.values = {{kItem + "1", "/old"}, {kItem + "2", "/mnt/Apps"}};
    HistoryList history(store);
    OpenSetupDirectory(settings, history);  // the default: /prog/Apps
    ConfirmSetupDirectory(settings, history, "/mnt/apps");
    EXPECT_EQ(settings.ReadScriptDir(), "/mnt/apps");
    EXPECT_EQ(settings.ReadImageDir(), "/mnt/apps");
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{
                                {kItem + "1", "/mnt/apps"}, {kItem + "2", "/prog/Apps"}, {kItem + "3", "/old"}}));

    // Anything is taken, an empty text too; a long one is cut to 259 characters.
    ConfirmSetupDirectory(settings, history, "");
    EXPECT_EQ(files.files["zultw.ini"], "[Dir Setup]\nQOBDir=\nImgQOBDir=\n");
    ConfirmSetupDirectory(settings, history, std::string(300, 'x'));
    EXPECT_EQ(settings.ReadImageDir(), std::string(254, 'x'));  // what a read returns
    EXPECT_NE(files.files["zultw.ini"].find("QOBDir=" + std::string(259, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(store.values[kItem + "1"], std::string(259, 'x'));
}

TEST(SetupDirectory, TheReturnedFolderLosesItsSeparatorUnlessItIsARoot) {
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    EXPECT_EQ(ReturnedFolderText(W, "D:\\"), "D:\\");
    EXPECT_EQ(ReturnedFolderText(W, "D:\\Data\\"), "D:\\Data");
    EXPECT_EQ(ReturnedFolderText(W, "\\\\srv\\share\\"), "\\\\srv\\share");
    EXPECT_EQ(ReturnedFolderText(P, "/"), "/");
    EXPECT_EQ(ReturnedFolderText(P, "/a/"), "/a");
    EXPECT_EQ(ReturnedFolderText(P, "/home/tech/Apps/"), "/home/tech/Apps");
}

TEST(FolderPickerFilters, FoldersOnlyFirstThenTheCallersTypes) {
    const auto filters = FolderPickerFilters(kSetupDirectoryFilter);
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0].label, "Show Folders Only");
    EXPECT_EQ(filters[1].label, "Script files (*.qob)");
    EXPECT_EQ(filters[2].label, "All Files (*.*)");
    const auto fallback = FolderPickerFilters("");
    ASSERT_EQ(fallback.size(), 2u);
    EXPECT_EQ(fallback[1].pattern, "*.*");
    EXPECT_FALSE(FilterMatches(".", "a.qob"));
    EXPECT_TRUE(FilterMatches("*.qob", "A.QOB"));
    EXPECT_FALSE(FilterMatches("*.qob", "a.txt"));
    EXPECT_TRUE(FilterMatches("*.*", "README"));
}

class FolderPickerTest : public ::testing::Test {
protected:
    FolderPickerTest() : fs(PathStyle::Posix) {
        fs.AddFolder("/home/tech/Apps/Demo");
        fs.AddFolder("/home/tech/.cache");
        fs.AddFolder("/home/tech/backup");
        fs.AddFile("/home/tech/Apps/demo.qob");
        fs.AddFile("/home/tech/Apps/notes.txt");
    }
    FolderPicker Picker() {
        FolderPlace place;
        place.style = PathStyle::Posix;
        place.fs = &fs;
        place.prompts = &prompts;
        place.home = "/home/tech";
        return FolderPicker(place, kSetupDirectoryFilter);
    }
    // Types `s` at the end of the edit, as the edit itself would insert it
    // (replacing the selection).
    static void Type(FolderPicker& picker, const std::string& s) {
        for (char c : s) {
            EditText e = picker.edit();
            e.text = e.text.substr(0, e.selectionStart) + c + e.text.substr(e.selectionEnd);
            e.selectionStart = e.selectionEnd = e.selectionStart + 1;
            picker.Typed(c, e);
        }
    }
    MemoryFolderSystem fs;
    ScriptedPrompts prompts;
};

std::vector<std::string> Names(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}

TEST_F(FolderPickerTest, OpensAtTheNearestFolderThatExistsAndListsByFileType) {
    FolderPicker picker = Picker();
    picker.Open("/home/tech/Apps/Gone/Deeper");
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/Apps/");
    EXPECT_EQ(picker.edit().text, "/home/tech/Apps/");
    EXPECT_EQ(Names(picker.Listing()), (std::vector<std::string>{"Demo"}));
    picker.SetFilterIndex(1);
    EXPECT_EQ(Names(picker.Listing()), (std::vector<std::string>{"Demo", "demo.qob"}));
    picker.SetFilterIndex(2);
    EXPECT_EQ(Names(picker.Listing()), (std::vector<std::string>{"Demo", "demo.qob", "notes.txt"}));
    picker.GoUp();
    picker.SetFilterIndex(0);
    EXPECT_EQ(Names(picker.Listing()), (std::vector<std::string>{"Apps", "backup"}));  // no hidden folders
    picker.EnterFolder("backup");
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/backup/");
}

TEST_F(FolderPickerTest, TypingCompletesAndASeparatorGoesThere) {
    FolderPicker picker = Picker();
    picker.Open("/home/tech");
    Type(picker, "A");
    EXPECT_EQ(picker.edit().text, "/home/tech/Apps");
    EXPECT_EQ(picker.edit().selectionStart, 12u);
    EXPECT_EQ(picker.edit().selectionEnd, 15u);
    Type(picker, "pps/");  // typing over the selected tail
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/Apps/");
    EXPECT_EQ(picker.edit().text, "/home/tech/Apps/");
    Type(picker, "Gone/");  // no such folder: the text stays as typed
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/Apps/");
    EXPECT_EQ(picker.edit().text, "/home/tech/Apps/Gone/");
}

TEST_F(FolderPickerTest, EnterOnANewFolderAnsweredYesCreatesItAndGoesThere) {
    FolderPicker picker = Picker();
    picker.Open("/home/tech");
    picker.SetEdit({"/home/tech/New/Sub", 18, 18});
    picker.Enter();
    EXPECT_EQ(prompts.shown,
              (std::vector<std::string>{"/home/tech/New/Sub\nThis folder does not exist.\n\nDo you want to create it?"}));
    EXPECT_EQ(fs.created, (std::vector<std::string>{"/home/tech/New/Sub"}));
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/New/Sub/");
    EXPECT_EQ(picker.edit().text, "/home/tech/New/Sub/");
    EXPECT_EQ(picker.edit().selectionEnd, picker.edit().text.size());
}

TEST_F(FolderPickerTest, SelectClosesOnlyOnAFolder) {
    FolderPicker picker = Picker();
    picker.Open("/home/tech");
    picker.SetEdit({"Apps/demo.qob", 13, 13});
    EXPECT_FALSE(picker.Select());
    EXPECT_EQ(prompts.shown, (std::vector<std::string>{"Apps/demo.qob\nThis is a file not a directory."}));
    picker.SetEdit({"Apps/Demo/", 10, 10});
    EXPECT_TRUE(picker.Select());
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/Apps/Demo/");
    EXPECT_EQ(ReturnedFolderText(PathStyle::Posix, picker.selectedFolder()), "/home/tech/Apps/Demo");

    picker.SetEdit({"", 0, 0});  // an empty edit takes the folder shown
    EXPECT_TRUE(picker.Select());
    EXPECT_EQ(picker.selectedFolder(), "/home/tech/Apps/Demo/");
}

TEST(FolderPickerWindows, EnterOnABareServerNameShowsItsShares) {
    MemoryFolderSystem fs(PathStyle::Windows);
    fs.SetDrive('C', DriveType::Fixed);
    fs.AddFolder("C:\\Apps");
    fs.AddFolder("\\\\srv\\share");
    ScriptedPrompts prompts;
    FolderPlace place;
    place.style = PathStyle::Windows;
    place.fs = &fs;
    place.prompts = &prompts;
    place.home = "C:\\Apps";
    FolderPicker picker(place, "");
    picker.Open("C:\\Apps");
    picker.SetEdit({"\\\\srv", 5, 5});
    EXPECT_FALSE(picker.Select());
    EXPECT_EQ(prompts.shown, (std::vector<std::string>{"\\\\srv\nThis is not a valid folder."}));
    picker.Enter();
    EXPECT_EQ(picker.selectedFolder(), "\\\\srv\\");
    EXPECT_EQ(Names(picker.Listing()), (std::vector<std::string>{"share"}));
}

}  // namespace
}  // namespace zul
