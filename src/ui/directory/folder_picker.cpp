#include "ui/directory/folder_picker.h"

#include <algorithm>

#include "host/messages.h"
#include "script/application_catalogue.h"

namespace zul {
namespace {

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void SortByName(std::vector<FolderEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const std::string la = LowerAscii(a.name), lb = LowerAscii(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
}

}  // namespace

void MessageFolderPrompts::Warn(const std::string& text) {
    ShowMessage(text, LoadResourceString(kIdsAppTitle), kMbOk | kMbIconWarning);
}

bool MessageFolderPrompts::AskYesNo(const std::string& text) {
    return ShowMessage(text, LoadResourceString(kIdsAppTitle), kMbYesNo | kMbIconWarning) == kIdYes;
}

std::vector<FolderFilter> FolderPickerFilters(std::string_view callerFilter) {
    std::string all = "Show Folders Only|.|";
    all += callerFilter.empty() ? std::string_view("All Files (*.*)|*.*||") : callerFilter;
    std::vector<FolderFilter> filters;
    std::size_t pos = 0;
    while (pos < all.size()) {
        const std::size_t labelEnd = all.find('|', pos);
        if (labelEnd == std::string::npos || labelEnd == pos) break;
        std::size_t patternEnd = all.find('|', labelEnd + 1);
        if (patternEnd == std::string::npos) patternEnd = all.size();
        filters.push_back({all.substr(pos, labelEnd - pos), all.substr(labelEnd + 1, patternEnd - labelEnd - 1)});
        pos = patternEnd + 1;
    }
    return filters;
}

bool FilterMatches(std::string_view pattern, std::string_view name) {
    std::size_t pos = 0;
    while (pos <= pattern.size()) {
        std::size_t end = pattern.find(';', pos);
        if (end == std::string_view::npos) end = pattern.size();
        const std::string_view one = pattern.substr(pos, end - pos);
        if (one == "*.*" || one == "*") return true;
        if (!one.empty() && one != "." && MatchesPattern(name, one)) return true;
        pos = end + 1;
    }
    return false;
}

FolderPicker::FolderPicker(FolderPlace place, std::string_view callerFilter)
    : place_(std::move(place)), filters_(FolderPickerFilters(callerFilter)) {}

void FolderPicker::Open(const std::string& initialFolder) {
    place_.current = place_.home;
    std::string folder = initialFolder.empty() ? place_.home : ResolvePath(place_.style, place_.current, place_.home, initialFolder);
    while (place_.fs->Kind(folder) != EntryKind::Directory) {
        const std::string parent = ParentFolder(place_.style, folder);
        if (parent == folder) {
            folder = place_.home;
            break;
        }
        folder = parent;
    }
    Show(folder);
}

void FolderPicker::Show(const std::string& folder) {
    place_.current = folder;
    selected_ = WithSeparator(place_.style, folder);
    edit_ = {selected_, selected_.size(), selected_.size()};
}

void FolderPicker::SetFilterIndex(int index) {
    if (index >= 0 && index < static_cast<int>(filters_.size())) filterIndex_ = index;
}

std::vector<FolderEntry> FolderPicker::Listing() const {
    std::vector<FolderEntry> folders, files;
    const std::string& pattern = filters_.empty() ? std::string(".") : filters_[filterIndex_].pattern;
    for (FolderEntry& entry : place_.fs->Entries(place_.current, "")) {
        if (place_.style == PathStyle::Posix && entry.name.front() == '.') continue;
        if (entry.isDirectory)
            folders.push_back(std::move(entry));
        else if (FilterMatches(pattern, entry.name))
            files.push_back(std::move(entry));
    }
    SortByName(folders);
    SortByName(files);
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

bool FolderPicker::Navigate(std::string_view text) {
    if (!text.empty()) {
        const std::string folder = ResolvePath(place_.style, place_.current, place_.home, text);
        // A server name alone is no folder, but shows the server's shares.
        const bool server = place_.style == PathStyle::Windows && folder.rfind("\\\\", 0) == 0 &&
                            folder.find('\\', 2) == std::string::npos && !place_.fs->Entries(folder, "").empty();
        if (server || place_.fs->Kind(folder) == EntryKind::Directory) {
            Show(folder);
            return true;
        }
    }
    // It did not go there: what was typed stays, with its selection; an
    // empty or relative "." text only gets the caret at its end.
    if (edit_.text.empty() || edit_.text.front() == '.') edit_.selectionStart = edit_.selectionEnd = edit_.text.size();
    return false;
}

void FolderPicker::EnterFolder(const std::string& name) {
    Navigate(WithSeparator(place_.style, place_.current) + name);
}

void FolderPicker::GoUp() { Show(ParentFolder(place_.style, place_.current)); }

bool FolderPicker::Select() {
    const SelectDecision decision = ValidateSelection(edit_.text, place_);
    if (!decision.accept) return false;
    Navigate(decision.target);
    return true;
}

void FolderPicker::Enter() {
    const EnterDecision decision = PressEnter(edit_.text, place_);
    if (!decision.navigate) return;
    Navigate(decision.target);
    if (decision.appendSeparator) {
        edit_.text = WithSeparator(place_.style, edit_.text);
        edit_.selectionStart = edit_.selectionEnd = edit_.text.size();
    }
}

void FolderPicker::Deleted(EditText after) {
    edit_ = std::move(after);
    if (auto target = AfterDelete(edit_.text, place_)) Navigate(*target);
}

void FolderPicker::Typed(char typed, EditText after) {
    edit_ = std::move(after);
    const TypedDecision decision = AfterTyped(edit_.text, edit_.selectionEnd, typed, place_);
    if (decision.navigate) {
        Navigate(*decision.navigate);
    } else if (decision.completedText) {
        edit_ = {*decision.completedText, decision.selectionStart, decision.selectionEnd};
    }
}

}  // namespace zul
