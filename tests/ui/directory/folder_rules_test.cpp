// The folder picker's rules in both path styles, over folders in memory.
#include "ui/directory/folder_rules.h"

#include <gtest/gtest.h>

#include <vector>

#include "testlib/memory_folder_system.h"

namespace zul {
namespace {

using test::MemoryFolderSystem;
using test::ScriptedPrompts;
using Texts = std::vector<std::string>;

// C: fixed, A: removable, E: CD-ROM, N: a network drive, Z: none.
MemoryFolderSystem WindowsDisk() {
    MemoryFolderSystem fs(PathStyle::Windows);
    fs.SetDrive('C', DriveType::Fixed);
    fs.SetDrive('A', DriveType::Removable);
    fs.SetDrive('E', DriveType::CdRom);
    fs.SetDrive('N', DriveType::Remote);
    fs.AddFolder("C:\\Apps");
    fs.AddFile("C:\\Apps\\readme.txt");
    fs.AddFolder("A:\\");
    fs.AddFolder("E:\\");
    fs.AddFolder("N:\\");
    fs.AddFolder("\\\\srv\\share\\Scripts");
    return fs;
}

MemoryFolderSystem PosixDisk() {
    MemoryFolderSystem fs(PathStyle::Posix);
    fs.AddFolder("/home/tech/apps");
    fs.AddFile("/home/tech/apps/readme.txt");
    return fs;
}

FolderPlace Place(PathStyle style, MemoryFolderSystem& fs, ScriptedPrompts& prompts) {
    FolderPlace place;
    place.style = style;
    place.fs = &fs;
    place.prompts = &prompts;
    place.current = style == PathStyle::Windows ? "C:\\Apps" : "/home/tech";
    place.home = "/home/tech";
    return place;
}

struct SelectRow {
    const char* text;
    bool answerYes;
    CreateFailure failure;
    bool accept;
    const char* target;  // where the picker goes when accepted
    Texts shown;
    Texts created;
};

void CheckSelect(PathStyle style, const std::vector<SelectRow>& rows) {
    for (const SelectRow& row : rows) {
        MemoryFolderSystem fs = style == PathStyle::Windows ? WindowsDisk() : PosixDisk();
        fs.failCreate = row.failure;
        ScriptedPrompts prompts;
        prompts.answer = row.answerYes;
        const SelectDecision d = ValidateSelection(row.text, Place(style, fs, prompts));
        EXPECT_EQ(d.accept, row.accept) << row.text;
        if (row.accept) {
            EXPECT_EQ(d.target, row.target) << row.text;
        }
        EXPECT_EQ(prompts.shown, row.shown) << row.text;
        EXPECT_EQ(fs.created, row.created) << row.text;
    }
}

const CreateFailure kOk = CreateFailure::None;

TEST(FolderSelect, WindowsStyle) {
    CheckSelect(PathStyle::Windows, {
        {"", true, kOk, true, "", {}, {}},
        {"\\", true, kOk, true, "\\", {}, {}},
        {"\\\\", true, kOk, false, "", {"\\\\\nThis is not a valid folder."}, {}},
        {"\\\\srv", true, kOk, false, "", {"\\\\srv\nThis is not a valid folder."}, {}},
        {"\\\\srv\\share", true, kOk, true, "\\\\srv\\share", {}, {}},
        {"\\\\srv\\gone", true, kOk, false, "", {"\\\\srv\\gone\nThis is not a valid folder."}, {}},
        {"\\\\srv\\gone\\", true, kOk, false, "", {"\\\\srv\\gone\nThis is not a valid folder."}, {}},
        {"Z:", true, kOk, false, "", {"Z:\nThe drive is invalid."}, {}},
        {"Z:\\", true, kOk, false, "", {"Z:\\\nThe drive is invalid."}, {}},
        {"Z:\\Apps", true, kOk, false, "", {"Z:\\Apps\nThe drive is invalid."}, {}},
        {"C:", true, kOk, true, "C:", {}, {}},
        {"c:\\", true, kOk, true, "c:\\", {}, {}},
        {"C:\\Apps\\readme.txt", true, kOk, false, "", {"C:\\Apps\\readme.txt\nThis is a file not a directory."}, {}},
        {"C:\\APPS\\", true, kOk, true, "C:\\APPS", {}, {}},
        {"readme.txt", true, kOk, false, "", {"readme.txt\nThis is a file not a directory."}, {}},
        {"C:\\New\\Sub\\", true, kOk, true, "C:\\New\\Sub",
         {"C:\\New\\Sub\nThis folder does not exist.\n\nDo you want to create it?"}, {"C:\\New\\Sub"}},
        {"C:\\New", false, kOk, false, "", {"C:\\New\nThis folder does not exist.\n\nDo you want to create it?"}, {}},
        {"\\\\srv\\share\\New", true, kOk, true, "\\\\srv\\share\\New",
         {"\\\\srv\\share\\New\nThis folder does not exist.\n\nDo you want to create it?"}, {"\\\\srv\\share\\New"}},
    });
}

TEST(FolderSelect, WindowsCreationFailureByDriveType) {
    const char* ask = "\nThis folder does not exist.\n\nDo you want to create it?";
    CheckSelect(PathStyle::Windows, {
        {"A:\\New", true, CreateFailure::Other, false, "",
         {std::string("A:\\New") + ask, "You cannot create this folder.\nThe medium may be write-protected."}, {}},
        {"N:\\New", true, CreateFailure::Other, false, "",
         {std::string("N:\\New") + ask, "You do not have permission to create\nthis folder on the network."}, {}},
        {"\\\\srv\\share\\New", true, CreateFailure::Other, false, "",
         {std::string("\\\\srv\\share\\New") + ask, "You do not have permission to create\nthis folder on the network."},
         {}},
        {"E:\\New", true, CreateFailure::Other, false, "",
         {std::string("E:\\New") + ask, "You cannot create this folder\nas the CD ROM medium is read-only."}, {}},
        {"C:\\New", true, CreateFailure::ReadOnly, false, "",
         {std::string("C:\\New") + ask, "You do not have permission\nto create this folder."}, {}},
    });
}

TEST(FolderSelect, PosixStyle) {
    const char* ask = "\nThis folder does not exist.\n\nDo you want to create it?";
    CheckSelect(PathStyle::Posix, {
        {"", true, kOk, true, "", {}, {}},
        {"/", true, kOk, true, "/", {}, {}},
        {"//", true, kOk, true, "/", {}, {}},
        {"/home/tech/apps/", true, kOk, true, "/home/tech/apps", {}, {}},
        {"~/apps", true, kOk, true, "~/apps", {}, {}},
        {"apps/readme.txt", true, kOk, false, "", {"apps/readme.txt\nThis is a file not a directory."}, {}},
        // No server names or drives here: these are ordinary (missing) names.
        {"\\\\srv", false, kOk, false, "", {std::string("\\\\srv") + ask}, {}},
        {"Z:", false, kOk, false, "", {std::string("Z:") + ask}, {}},
        {"/home/tech/New/Sub", true, kOk, true, "/home/tech/New/Sub", {std::string("/home/tech/New/Sub") + ask},
         {"/home/tech/New/Sub"}},
        {"~/New/", true, kOk, true, "~/New", {std::string("~/New") + ask}, {"/home/tech/New"}},
        {"/home/tech/New", false, kOk, false, "", {std::string("/home/tech/New") + ask}, {}},
        {"/media/stick/New", true, CreateFailure::ReadOnly, false, "",
         {std::string("/media/stick/New") + ask, "You cannot create this folder.\nThe medium may be write-protected."},
         {}},
        {"/mnt/share/New", true, CreateFailure::Network, false, "",
         {std::string("/mnt/share/New") + ask, "You do not have permission to create\nthis folder on the network."}, {}},
        {"/root/New", true, CreateFailure::Other, false, "",
         {std::string("/root/New") + ask, "You do not have permission\nto create this folder."}, {}},
    });
}

struct EnterRow {
    const char* text;
    bool answerYes;
    CreateFailure failure;
    bool navigate;
    const char* target;
    bool appendSeparator;
    Texts shown;
};

void CheckEnter(PathStyle style, const std::vector<EnterRow>& rows) {
    for (const EnterRow& row : rows) {
        MemoryFolderSystem fs = style == PathStyle::Windows ? WindowsDisk() : PosixDisk();
        fs.failCreate = row.failure;
        ScriptedPrompts prompts;
        prompts.answer = row.answerYes;
        const EnterDecision d = PressEnter(row.text, Place(style, fs, prompts));
        EXPECT_EQ(d.navigate, row.navigate) << row.text;
        if (row.navigate) {
            EXPECT_EQ(d.target, row.target) << row.text;
            EXPECT_EQ(d.appendSeparator, row.appendSeparator) << row.text;
        }
        EXPECT_EQ(prompts.shown, row.shown) << row.text;
    }
}

TEST(FolderEnter, WindowsStyle) {
    const char* ask = "\nThis folder does not exist.\n\nDo you want to create it?";
    CheckEnter(PathStyle::Windows, {
        {"", true, kOk, true, "", false, {}},
        {"\\", true, kOk, true, "\\", false, {}},
        {"\\\\", true, kOk, true, "\\\\", false, {}},
        // A bare server name goes there (its shares are shown) without a word.
        {"\\\\srv", true, kOk, true, "\\\\srv", false, {}},
        {"\\\\srv\\", true, kOk, true, "\\\\srv", false, {}},
        {"C:", true, kOk, true, "C:", false, {}},
        {"C:\\", true, kOk, true, "C:\\", false, {}},
        {"Z:\\", true, kOk, true, "Z:\\", false, {}},
        {"C:\\Apps\\", true, kOk, true, "C:\\Apps", true, {}},
        {"C:\\New", true, kOk, true, "C:\\New", true, {std::string("C:\\New") + ask}},
        {"C:\\New", false, kOk, false, "", false, {std::string("C:\\New") + ask}},
        {"x", false, kOk, false, "", false, {std::string("x") + ask}},
        // No question on an invalid drive; the picker just does not go there.
        {"Z:\\New", true, kOk, true, "Z:\\New", true, {}},
        {"C:\\New", true, CreateFailure::Other, false, "", false,
         {std::string("C:\\New") + ask, "You do not have permission or\notherwise cannot create this folder."}},
        {"A:\\New", true, CreateFailure::Other, false, "", false,
         {std::string("A:\\New") + ask, "You cannot create this folder.\nThe medium may be write-protected."}},
    });
}

TEST(FolderEnter, PosixStyle) {
    const char* ask = "\nThis folder does not exist.\n\nDo you want to create it?";
    CheckEnter(PathStyle::Posix, {
        {"", true, kOk, true, "", false, {}},
        {"/", true, kOk, true, "/", false, {}},
        {"~/apps/", true, kOk, true, "~/apps", true, {}},
        {"apps/readme.txt", true, kOk, true, "apps/readme.txt", true, {}},
        {"/home/tech/New", true, kOk, true, "/home/tech/New", true, {std::string("/home/tech/New") + ask}},
        {"/home/tech/New", false, kOk, false, "", false, {std::string("/home/tech/New") + ask}},
        {"/home/tech/New", true, CreateFailure::Other, false, "", false,
         {std::string("/home/tech/New") + ask, "You do not have permission or\notherwise cannot create this folder."}},
        {"/mnt/ro/New", true, CreateFailure::ReadOnly, false, "", false,
         {std::string("/mnt/ro/New") + ask, "You cannot create this folder.\nThe medium may be write-protected."}},
    });
}

TEST(FolderDeleteAndTyped, NavigateOnlyToFoldersThatExist) {
    struct Row {
        PathStyle style;
        const char* text;
        const char* target;  // nullptr: stays
    };
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    const Row rows[] = {
        {W, "\\\\", nullptr},       {W, "\\", "\\"},         {W, "C:\\", "C:\\"},
        {W, "Z:\\", nullptr},       {W, "C:\\Apps\\", "C:\\Apps\\"}, {W, "C:\\Gone\\", nullptr},
        {W, "c:/apps/", "c:/apps/"}, {P, "/", "/"},          {P, "/home/tech/", "/home/tech/"},
        {P, "/home/Tech/", nullptr}, {P, "~/apps/", "~/apps/"}, {P, "/gone/", nullptr},
    };
    for (const Row& row : rows) {
        MemoryFolderSystem fs = row.style == W ? WindowsDisk() : PosixDisk();
        ScriptedPrompts prompts;
        const FolderPlace place = Place(row.style, fs, prompts);
        const std::string expected = row.target ? row.target : "<none>";
        EXPECT_EQ(AfterDelete(row.text, place).value_or("<none>"), expected) << row.text;
        const std::string_view text = row.text;
        EXPECT_EQ(AfterTyped(text, text.size(), text.back(), place).navigate.value_or("<none>"), expected) << row.text;
        EXPECT_TRUE(prompts.shown.empty());
    }
}

struct CompletionRow {
    PathStyle style;
    Texts folders;
    const char* text;
    const char* completed;  // nullptr: nothing
};

TEST(FolderCompletion, OneMatchingFolderIsCompletedWithItsTailSelected) {
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    const CompletionRow rows[] = {
        // An all-capital name is first written as Progra~1; the typed "o"
        // matches its case, so the rest follows as it stands.
        {W, {"C:\\PROGRA~1", "C:\\Windows"}, "c:\\pro", "c:\\progra~1"},
        // A name with a space is not rewritten; the typed "O" differs in case
        // from the name's "o" and is upper case, so the whole name is.
        {W, {"C:\\Program Files", "C:\\Windows"}, "c:\\PRO", "c:\\PROGRAM FILES"},
        {W, {"C:\\WINDOWS"}, "c:\\w", "c:\\windows"},
        {W, {"C:\\Windows"}, "C:\\W", "C:\\Windows"},
        {W, {"C:\\Windows"}, "C:\\Windows", "C:\\Windows"},
        {W, {"C:\\Apps\\Tools"}, "t", "tools"},
        {W, {"C:\\Windows"}, "c:/win", "c:/windows"},
        {W, {"C:\\Program Files", "C:\\ProgramData"}, "c:\\pro", nullptr},
        {W, {"C:\\Windows"}, "c:\\pro", nullptr},
        // Names keep their case here: a rewritten name would not exist.
        {P, {"/home/tech/Projects", "/home/tech/music"}, "/home/tech/Pro", "/home/tech/Projects"},
        {P, {"/home/tech/PROJECTS"}, "/home/tech/P", "/home/tech/PROJECTS"},
        {P, {"/home/tech/Projects"}, "~/Pro", "~/Projects"},
        {P, {"/home/tech/Projects"}, "/home/tech/pro", nullptr},
        {P, {"/home/tech/Projects", "/home/tech/Proofs"}, "/home/tech/Pro", nullptr},
    };
    for (const CompletionRow& row : rows) {
        MemoryFolderSystem fs(row.style);
        if (row.style == W) fs.SetDrive('C', DriveType::Fixed);
        for (const auto& f : row.folders) fs.AddFolder(f);
        fs.AddFile(row.style == W ? "C:\\proj.txt" : "/home/tech/Pro.txt");  // files never complete
        ScriptedPrompts prompts;
        const FolderPlace place = Place(row.style, fs, prompts);
        const std::string_view text = row.text;
        const TypedDecision d = AfterTyped(text, text.size(), text.back(), place);
        EXPECT_FALSE(d.navigate) << row.text;
        EXPECT_EQ(d.completedText.value_or("<none>"), row.completed ? row.completed : "<none>") << row.text;
        if (row.completed) {
            EXPECT_EQ(d.selectionStart, text.size()) << row.text;
            EXPECT_EQ(d.selectionEnd, std::string_view(row.completed).size()) << row.text;
        }
    }
}

TEST(FolderCompletion, NotWithTheCaretInsideTheTextNorAfterBackspace) {
    MemoryFolderSystem fs(PathStyle::Windows);
    fs.SetDrive('C', DriveType::Fixed);
    fs.AddFolder("C:\\Windows");
    ScriptedPrompts prompts;
    const FolderPlace place = Place(PathStyle::Windows, fs, prompts);
    EXPECT_EQ(AfterTyped("C:\\Wi", 5, 'i', place).completedText, "C:\\Windows");
    EXPECT_FALSE(AfterTyped("C:\\Wi", 4, 'W', place).completedText);
    EXPECT_FALSE(AfterTyped("C:\\Wi", 5, kBackspace, place).completedText);
}

TEST(FolderPaths, ResolveAgainstTheFolderShown) {
    struct Row {
        PathStyle style;
        const char* current;
        const char* text;
        const char* resolved;
    };
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    const Row rows[] = {
        {W, "C:\\Apps", "Tools", "C:\\Apps\\Tools"},
        {W, "C:\\Apps", "..", "C:\\"},
        {W, "C:\\", "..\\..", "C:\\"},
        {W, "C:\\Apps", "\\Data", "C:\\Data"},
        {W, "C:\\Apps", "C:", "C:\\Apps"},
        {W, "C:\\Apps", "d:", "D:\\"},
        {W, "C:\\Apps", "D:Data", "D:\\Data"},
        {W, "C:\\Apps", "c:/x/./y/", "C:\\x\\y"},
        {W, "\\\\srv\\share\\a", "..\\..", "\\\\srv\\share"},
        {W, "\\\\srv\\share\\a", "\\b", "\\\\srv\\share\\b"},
        {P, "/home/tech", "apps", "/home/tech/apps"},
        {P, "/home/tech", "~", "/home/tech"},
        {P, "/", "~/x/../y", "/home/tech/y"},
        {P, "/home/tech", "../../..", "/"},
        {P, "/home/tech", "//a//b/", "/a/b"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ResolvePath(row.style, row.current, "/home/tech", row.text), row.resolved) << row.text;
}

}  // namespace
}  // namespace zul
