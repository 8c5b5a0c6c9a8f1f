#pragma once
// The list of folders used before, as the history combo box keeps it: loaded
// from and saved to a small key-value store (the user's profile), most recent
// first, and used to complete what is typed.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zul {

// Where the history lives. The window program keeps it in the user's profile
// (never in the settings file); tests keep it in memory.
class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    virtual std::optional<std::string> Read(const std::string& section, const std::string& key) = 0;
    virtual void Write(const std::string& section, const std::string& key, const std::string& value) = 0;
};

// The folder history of the Setup Directory dialog.
inline constexpr const char* kFolderHistorySection = "Settings 2.x\\App Dir";
inline constexpr const char* kFolderHistoryPrefix = "Item";

class HistoryList {
public:
    explicit HistoryList(HistoryStore& store) : store_(&store) {}

    // Remembers `section` and `prefix` and appends the values prefix1,
    // prefix2, ... up to the first missing or empty one. Nothing happens when
    // either is null.
    void LoadHistory(const char* section, const char* prefix);
    // Puts `text` (without surrounding spaces) first, drops its first copy
    // further down (any case), selects it; returns its position, 0.
    int AddToHistory(std::string_view text);
    // With `addCurrent`, adds the trimmed `editText` when it is not empty;
    // then writes the first historyLimit + 1 entries as prefix1, prefix2, ...
    // Values beyond those are left alone. Nothing happens before LoadHistory.
    void SaveHistory(bool addCurrent, std::string_view editText);

    const std::vector<std::string>& items() const { return items_; }
    void SetItems(std::vector<std::string> items) { items_ = std::move(items); }
    int currentIndex() const { return current_; }
    const std::string& historySection() const { return section_; }
    const std::string& entryPrefix() const { return prefix_; }
    int historyLimit = 15;

    // Completion runs on every text change unless the key that caused it was
    // Delete or Backspace.
    void KeyDown(bool deleteOrBackspace) { autoComplete_ = !deleteOrBackspace; }
    bool autoComplete() const { return autoComplete_; }

private:
    HistoryStore* store_;
    std::vector<std::string> items_;
    std::string section_;
    std::string prefix_;
    int current_ = -1;
    bool autoComplete_ = true;
};

// What the combo's edit shows after completion.
struct ComboEdit {
    std::string text;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
    int selectedItem = -1;  // the history entry shown, or -1
};

// The combo's edit after the user changed it to `typed` (selection as it is
// now): the first entry that begins with the text, in any case, replaces it,
// with the completed tail selected; a selection that ends inside the typed
// text (editing in the middle) is kept.
ComboEdit CompleteFromHistory(const std::vector<std::string>& items, const ComboEdit& typed);

}  // namespace zul
