#include "ui/directory/setup_directory.h"

#include "script/application_catalogue.h"

namespace zul {

std::string OpenSetupDirectory(const SettingsStore& settings, HistoryList& history) {
    history.LoadHistory(kFolderHistorySection, kFolderHistoryPrefix);
    std::string directory = settings.ReadScriptDir().substr(0, kMaxDirectoryText);
    history.SaveHistory(true, directory);
    return directory;
}

std::string ReturnedFolderText(PathStyle style, std::string selectedFolder) {
    const char separator = StyleSeparator(style);
    const std::size_t keep = style == PathStyle::Windows ? 3 : 1;  // "D:\" or "/"
    if (selectedFolder.size() > keep && selectedFolder.back() == separator) selectedFolder.pop_back();
    return selectedFolder;
}

void WriteApplicationDirectory(SettingsStore& settings, std::string_view text) {
    const std::string directory(text.substr(0, kMaxDirectoryText));
    // The order every version wrote them in, so a reader sees the same file.
    settings.WriteScriptDir(directory.c_str());
    settings.WriteImageDir(directory.c_str());
    settings.WriteScriptDir(directory.c_str());
}

void ConfirmSetupDirectory(SettingsStore& settings, HistoryList& history, std::string_view text) {
    WriteApplicationDirectory(settings, text);
    history.SaveHistory(true, text.substr(0, kMaxDirectoryText));
}

DirectoryProblem CheckApplicationDirectory(const std::string& directory, const std::string& extension) {
    if (RealFolderFileSystem().Kind(directory) != EntryKind::Directory) return DirectoryProblem::NotAFolder;
    if (BuildCatalogue(directory, directory, extension)->CatalogueCount() == 0) return DirectoryProblem::NoScripts;
    return DirectoryProblem::None;
}

}  // namespace zul
