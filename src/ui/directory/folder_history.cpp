#include "ui/directory/folder_history.h"

#include <algorithm>

namespace zul {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

std::string_view Trim(std::string_view s, std::string_view blanks) {
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

}  // namespace

void HistoryList::LoadHistory(const char* section, const char* prefix) {
    if (!section || !prefix) return;
    section_ = section;
    prefix_ = prefix;
    for (int n = 1;; ++n) {
        std::optional<std::string> value = store_->Read(section_, prefix_ + std::to_string(n));
        if (!value || value->empty()) break;
        items_.push_back(std::move(*value));
    }
}

int HistoryList::AddToHistory(std::string_view text) {
    const std::string entry(Trim(text, " "));
    items_.insert(items_.begin(), entry);
    for (std::size_t i = 1; i < items_.size(); ++i) {
        if (items_[i].size() == entry.size() && StartsWithNoCase(items_[i], entry)) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    current_ = 0;
    return 0;
}

void HistoryList::SaveHistory(bool addCurrent, std::string_view editText) {
    if (section_.empty()) return;
    if (addCurrent) {
        const std::string_view text = Trim(editText, " \t\r\n\v\f");
        if (!text.empty()) AddToHistory(text);
    }
    const std::size_t n = std::min(items_.size(), static_cast<std::size_t>(std::max(historyLimit + 1, 0)));
    for (std::size_t i = 0; i < n; ++i) store_->Write(section_, prefix_ + std::to_string(i + 1), items_[i]);
}

ComboEdit CompleteFromHistory(const std::vector<std::string>& items, const ComboEdit& typed) {
    ComboEdit out = typed;
    out.selectedItem = -1;
    const std::size_t length = typed.text.size();
    if (length > 0) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (StartsWithNoCase(items[i], typed.text)) {
                out.text = items[i];
                out.selectedItem = static_cast<int>(i);
                break;
            }
        }
    }
    if (typed.selectionEnd < length) return out;  // editing inside the text
    out.selectionStart = length;
    out.selectionEnd = out.text.size();
    return out;
}

}  // namespace zul
