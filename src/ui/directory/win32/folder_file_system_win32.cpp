#include <windows.h>

#include "ui/directory/folder_rules.h"

namespace zul {
namespace {

class Win32FolderFileSystem final : public FolderFileSystem {
public:
    EntryKind Kind(const std::string& path) override {
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::Missing;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Directory : EntryKind::File;
    }

    DriveType DriveTypeOf(const std::string& root) override {
        return static_cast<DriveType>(::GetDriveTypeA(root.c_str()));
    }

    CreateFailure CreateWithParents(const std::string& path) override {
        if (path.empty()) return CreateFailure::Other;
        if (Kind(path) == EntryKind::Directory) return CreateFailure::None;
        // Skip the root ("C:\" or "\\server\share\"), then create every
        // missing folder below it, the path itself last.
        std::size_t pos = 0;
        if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
            pos = path.find('\\', 2);
            if (pos != std::string::npos) pos = path.find('\\', pos + 1);
            if (pos == std::string::npos) return CreateFailure::Other;
        } else if (path.size() >= 2 && path[1] == ':') {
            pos = 2;
        }
        for (;;) {
            pos = path.find('\\', pos + 1);
            const std::string part = path.substr(0, pos);
            if (!::CreateDirectoryA(part.c_str(), nullptr)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_WRITE_PROTECT) return CreateFailure::ReadOnly;
                if (error != ERROR_ALREADY_EXISTS) return CreateFailure::Other;
            }
            if (pos == std::string::npos) break;
        }
        return Kind(path) == EntryKind::Directory ? CreateFailure::None : CreateFailure::Other;
    }

    std::vector<FolderEntry> Entries(const std::string& folder, const std::string& prefix) override {
        std::vector<FolderEntry> entries;
        std::string pattern = folder;
        if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
        pattern += prefix + "*";
        WIN32_FIND_DATAA data;
        HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return entries;
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
        return entries;
    }
};

}  // namespace

PathStyle NativePathStyle() { return PathStyle::Windows; }

FolderFileSystem& RealFolderFileSystem() {
    static Win32FolderFileSystem fs;
    return fs;
}

}  // namespace zul
