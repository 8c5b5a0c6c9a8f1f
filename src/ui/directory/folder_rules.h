#pragma once
// The rules of the folder picker: what the Select button, Enter, Delete and
// every typed character do to the folder edit, which paths are refused and
// why, and when a missing folder is created. They are plain functions over a
// small file-system seam, written once for both path styles so that Windows
// paths ("C:\", "\\server\share") are checked on any machine with a fake.
//
// Windows style: drive roots, server names and drive types as on Windows;
// names match without regard to case, and a completed name's case follows
// what was typed.
// POSIX style: "/" separates, "~" is the home directory, there are no drives
// or server names; names match and complete with their case unchanged (a
// case-sensitive file system would otherwise be sent to a folder that does
// not exist). A failed creation is explained by its cause instead of the
// drive type.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zul {

enum class PathStyle { Windows, Posix };

// The style of the platform this program was built for.
PathStyle NativePathStyle();
char StyleSeparator(PathStyle style);

// The drive types GetDriveTypeA reports; 0 and 1 mean the drive is invalid.
enum class DriveType { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

enum class EntryKind { Missing, File, Directory };

// Why creating a folder failed, where the file system can tell.
enum class CreateFailure { None, ReadOnly, Network, Other };

struct FolderEntry {
    std::string name;
    bool isDirectory = false;
};

// The file-system questions the picker asks. Paths are absolute in the
// seam's own style.
class FolderFileSystem {
public:
    virtual ~FolderFileSystem() = default;
    virtual EntryKind Kind(const std::string& path) = 0;
    // The type of a drive root such as "C:\" or "\\server\share\". POSIX
    // systems have no drives and answer Fixed.
    virtual DriveType DriveTypeOf(const std::string& root) = 0;
    // Creates `path` with every missing parent. None on success.
    virtual CreateFailure CreateWithParents(const std::string& path) = 0;
    // The entries of `folder` (without "." and "..") whose names begin with
    // `prefix`, compared as the file system compares names.
    virtual std::vector<FolderEntry> Entries(const std::string& folder, const std::string& prefix) = 0;
};

// This machine's file system.
FolderFileSystem& RealFolderFileSystem();

// The picker's message boxes: application title as caption, exclamation icon.
class FolderPrompts {
public:
    virtual ~FolderPrompts() = default;
    virtual void Warn(const std::string& text) = 0;    // OK only
    virtual bool AskYesNo(const std::string& text) = 0;  // true for Yes
};

// Texts shown after the path (they begin with a line break).
inline constexpr const char* kNotValidFolder = "\nThis is not a valid folder.";
inline constexpr const char* kDriveInvalid = "\nThe drive is invalid.";
inline constexpr const char* kAskCreateFolder = "\nThis folder does not exist.\n\nDo you want to create it?";
inline constexpr const char* kFileNotDirectory = "\nThis is a file not a directory.";
// Texts shown alone when a folder cannot be created.
inline constexpr const char* kCreateWriteProtected = "You cannot create this folder.\nThe medium may be write-protected.";
inline constexpr const char* kCreateNetwork = "You do not have permission to create\nthis folder on the network.";
inline constexpr const char* kCreateCdRom = "You cannot create this folder\nas the CD ROM medium is read-only.";
inline constexpr const char* kCreatePermission = "You do not have permission\nto create this folder.";
inline constexpr const char* kCreatePermissionOrOther = "You do not have permission or\notherwise cannot create this folder.";

// Where the picker stands: the style, the seams, the folder it shows
// (relative paths are taken from there) and the home directory ("~").
struct FolderPlace {
    PathStyle style = NativePathStyle();
    FolderFileSystem* fs = nullptr;
    FolderPrompts* prompts = nullptr;
    std::string current;
    std::string home;
};

// --- Paths ---------------------------------------------------------------

// `text` made absolute against `current` (and "~" against `home`), with "."
// and ".." applied. No trailing separator except on a root ("C:\", "/").
// Windows style also takes "/" as a separator.
std::string ResolvePath(PathStyle style, const std::string& current, const std::string& home, std::string_view text);
// `path` with a trailing separator.
std::string WithSeparator(PathStyle style, std::string path);
// The root of an absolute path: "C:\", "\\server\share\" or "/".
std::string RootOf(PathStyle style, const std::string& path);
// The folder above `path`; the root stays the root.
std::string ParentFolder(PathStyle style, const std::string& path);
bool IsDriveRoot(std::string_view text);  // letter, colon, backslash
bool IsValidDrive(FolderFileSystem& fs, char letter);

// --- The rules -----------------------------------------------------------

// The Select button. When `accept` is true the picker goes to `target` (an
// empty target leaves it where it is) and closes with OK.
struct SelectDecision {
    bool accept = false;
    std::string target;
};
SelectDecision ValidateSelection(std::string_view text, const FolderPlace& place);

// Enter in the folder edit. When `navigate` is true the picker goes to
// `target`; with `appendSeparator` the edit then ends with a separator.
struct EnterDecision {
    bool navigate = false;
    std::string target;
    bool appendSeparator = false;
};
EnterDecision PressEnter(std::string_view text, const FolderPlace& place);

// The edit's text after Delete has removed a character: the folder to go
// to, if any.
std::optional<std::string> AfterDelete(std::string_view text, const FolderPlace& place);

// The edit's text after a character (Backspace included) has been typed,
// with the caret after it.
struct TypedDecision {
    std::optional<std::string> navigate;
    // A completed folder name: the new text, with the appended part selected.
    std::optional<std::string> completedText;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
};
inline constexpr char kBackspace = '\b';
TypedDecision AfterTyped(std::string_view text, std::size_t caret, char typed, const FolderPlace& place);

// The folder-name completion alone (used by AfterTyped when the caret is at
// the end): the one folder whose name begins with the last part of `text`.
std::optional<std::string> CompleteFolderName(std::string_view text, const FolderPlace& place);

}  // namespace zul
