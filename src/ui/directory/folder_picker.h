#pragma once
// The folder picker without its window: the folder it shows, its "Folder:"
// edit with text and selection, the file types, and what every key, the
// Select button and a double-click do to them. The window shows this state
// and hands it the user's keys.
#include <string>
#include <string_view>
#include <vector>

#include "ui/directory/folder_rules.h"

namespace zul {

inline constexpr const char* kFolderPickerTitle = "Select Folder";
inline constexpr const char* kFolderEditLabel = "Folder:";
inline constexpr const char* kSelectButton = "Select";

// The picker's questions and warnings as message boxes through the installed
// message sink, with the application title as caption.
class MessageFolderPrompts final : public FolderPrompts {
public:
    void Warn(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
};

struct FolderFilter {
    std::string label;
    std::string pattern;  // "." matches no file
};

// "Show Folders Only" first, then the caller's "label|pattern|..." pairs
// (up to an empty label), or "All Files (*.*)" when the caller gives none.
std::vector<FolderFilter> FolderPickerFilters(std::string_view callerFilter);
// Patterns separated by ";", matched without regard to case; "*.*" matches
// every name.
bool FilterMatches(std::string_view pattern, std::string_view name);

struct EditText {
    std::string text;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;  // the caret
};

class FolderPicker {
public:
    // `place.current` is ignored: Open decides where the picker starts.
    FolderPicker(FolderPlace place, std::string_view callerFilter);

    // Starts at `initialFolder`, or its nearest existing parent, or the home
    // directory.
    void Open(const std::string& initialFolder);

    // The folder shown, always with a trailing separator.
    const std::string& selectedFolder() const { return selected_; }
    const std::string& folder() const { return place_.current; }
    const EditText& edit() const { return edit_; }
    // The edit changed in a way no rule looks at (a paste, a cut).
    void SetEdit(EditText edit) { edit_ = std::move(edit); }

    const std::vector<FolderFilter>& filters() const { return filters_; }
    int filterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index);
    // The folders shown (hidden ones left out on POSIX), then the files of
    // the current file type, each group in name order.
    std::vector<FolderEntry> Listing() const;

    // Goes to `text` (absolute or relative to the folder shown) when it names
    // a folder; otherwise the edit keeps what was typed. True when it went.
    bool Navigate(std::string_view text);
    void EnterFolder(const std::string& name);  // a double-click in the view
    void GoUp();

    // The Select button: true when the picker closes with OK.
    bool Select();
    void Enter();
    // The edit after Delete removed a character, or after a character
    // (Backspace included) was typed.
    void Deleted(EditText after);
    void Typed(char typed, EditText after);

    const FolderPlace& place() const { return place_; }

private:
    void Show(const std::string& folder);

    FolderPlace place_;
    std::vector<FolderFilter> filters_;
    int filterIndex_ = 0;
    std::string selected_;
    EditText edit_;
};

}  // namespace zul
