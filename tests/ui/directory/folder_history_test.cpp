// The folder history: its load, add and save rules over a store in memory,
// and completion from it as the combo box's edit is typed into.
#include "ui/directory/folder_history.h"

#include <gtest/gtest.h>

#include <map>

#include "testlib/memory_history_store.h"

namespace zul {
namespace {

using test::MemoryHistoryStore;

const std::string kSection = "Settings 2.x\\App Dir|";

TEST(FolderHistory, LoadStopsAtTheFirstMissingOrEmptyValue) {
    MemoryHistoryStore store;
    store.values = {{kSection + "Item1", "C:\\Apps"}, {kSection + "Item2", "D:\\Data"},
                    {kSection + "Item3", ""}, {kSection + "Item4", "E:\\Lost"}};
    HistoryList history(store);
    history.LoadHistory(kFolderHistorySection, kFolderHistoryPrefix);
    EXPECT_EQ(history.items(), (std::vector<std::string>{"C:\\Apps", "D:\\Data"}));

    HistoryList ignored(store);
    ignored.LoadHistory(nullptr, "Item");
    ignored.LoadHistory(kFolderHistorySection, nullptr);
    EXPECT_TRUE(ignored.items().empty());
    // Without a section, saving writes nothing.
    ignored.SaveHistory(true, "C:\\New");
    EXPECT_EQ(store.values.size(), 4u);
}

TEST(FolderHistory, AddingAFolderInAnyCaseMovesItToTheTop) {
    MemoryHistoryStore store;
    store.values = {{kSection + "Item1", "D:\\Data"}, {kSection + "Item2", "c:\\apps"},
                    {kSection + "Item3", "E:\\Old"}, {kSection + "Item5", "left alone"}};
    HistoryList history(store);
    history.LoadHistory(kFolderHistorySection, kFolderHistoryPrefix);
    EXPECT_EQ(history.AddToHistory("  C:\\Apps "), 0);
    EXPECT_EQ(history.items(), (std::vector<std::string>{"C:\\Apps", "D:\\Data", "E:\\Old"}));
    EXPECT_EQ(history.currentIndex(), 0);
    history.SaveHistory(false, "");
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{{kSection + "Item1", "C:\\Apps"},
                                                                {kSection + "Item2", "D:\\Data"},
                                                                {kSection + "Item3", "E:\\Old"},
                                                                {kSection + "Item5", "left alone"}}));
}

TEST(FolderHistory, SavingWritesAtMostSixteenAndLeavesLaterValuesAlone) {
    MemoryHistoryStore store;
    store.values[kSection + "Item20"] = "from before";
    HistoryList history(store);
    history.LoadHistory(kFolderHistorySection, kFolderHistoryPrefix);
    std::vector<std::string> items;
    for (int i = 1; i <= 20; ++i) items.push_back("C:\\Folder" + std::to_string(i));
    history.SetItems(items);
    history.SaveHistory(true, " \t ");  // blank text is not added
    EXPECT_EQ(store.values.size(), 17u);
    EXPECT_EQ(store.values[kSection + "Item1"], "C:\\Folder1");
    EXPECT_EQ(store.values[kSection + "Item16"], "C:\\Folder16");
    EXPECT_EQ(store.values.count(kSection + "Item17"), 0u);
    EXPECT_EQ(store.values[kSection + "Item20"], "from before");

    history.SaveHistory(true, "\tC:\\Folder16\n");
    EXPECT_EQ(store.values[kSection + "Item1"], "C:\\Folder16");
    EXPECT_EQ(store.values[kSection + "Item16"], "C:\\Folder15");
}

TEST(FolderHistory, CompletionFromTheFirstEntryThatBeginsWithTheText) {
    const std::vector<std::string> items = {"D:\\Data", "C:\\Apps", "C:\\Apps2"};
    struct Row {
        const char* text;
        std::size_t selStart, selEnd;  // the edit's selection after typing
        const char* shown;
        std::size_t shownStart, shownEnd;
        int item;
    };
    const Row rows[] = {
        {"c:\\a", 4, 4, "C:\\Apps", 4, 7, 1},
        {"C:\\Apps2", 8, 8, "C:\\Apps2", 8, 8, 2},
        {"x", 1, 1, "x", 1, 1, -1},
        // Editing inside the text keeps the selection.
        {"D:\\", 1, 1, "D:\\Data", 1, 1, 0},
        {"", 0, 0, "", 0, 0, -1},
    };
    for (const Row& row : rows) {
        const ComboEdit out = CompleteFromHistory(items, {row.text, row.selStart, row.selEnd, -1});
        EXPECT_EQ(out.text, row.shown) << row.text;
        EXPECT_EQ(out.selectionStart, row.shownStart) << row.text;
        EXPECT_EQ(out.selectionEnd, row.shownEnd) << row.text;
        EXPECT_EQ(out.selectedItem, row.item) << row.text;
    }
}

}  // namespace
}  // namespace zul
