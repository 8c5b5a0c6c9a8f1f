#pragma once
// The Setup Directory dialog without its window: what opening it, the
// folder picker's answer and OK do to the history and the settings file.
#include <string>
#include <string_view>

#include "host/settings_store.h"
#include "ui/directory/folder_history.h"
#include "ui/directory/folder_rules.h"

namespace zul {

inline constexpr const char* kSetupDirectoryCaption = "Setup Directory";
// The picker's file types after "Show Folders Only".
inline constexpr const char* kSetupDirectoryFilter = "Script files (*.qob)|*.qob|All Files (*.*)|*.*||";
// Directories go through buffers of this many characters at most.
inline constexpr std::size_t kMaxDirectoryText = 259;

// Loads the history, moves the current script directory to its top and
// writes it at once. Returns the directory to show.
std::string OpenSetupDirectory(const SettingsStore& settings, HistoryList& history);

// The folder the picker returned, as the combo shows it: without its
// trailing separator, except a root ("D:\", "/"), which stays whole.
std::string ReturnedFolderText(PathStyle style, std::string selectedFolder);

// OK: the text, unchecked, becomes the script and the image directory; then
// the history is saved with the text on top.
void ConfirmSetupDirectory(SettingsStore& settings, HistoryList& history, std::string_view text);
// The settings-file half of OK alone.
void WriteApplicationDirectory(SettingsStore& settings, std::string_view text);

// What may be wrong with an application directory, for a warning (the
// directory is stored all the same).
enum class DirectoryProblem { None, NotAFolder, NoScripts };
DirectoryProblem CheckApplicationDirectory(const std::string& directory, const std::string& extension);

}  // namespace zul
