#pragma once
// Folders and files in memory, in either path style, for the folder picker's
// rules: Windows style compares names without regard to case and knows drive
// types; creation can be made to fail with any cause.
#include <map>
#include <string>
#include <vector>

#include "ui/directory/folder_rules.h"

namespace zul::test {

class MemoryFolderSystem : public FolderFileSystem {
public:
    explicit MemoryFolderSystem(PathStyle style) : style_(style) {
        if (style == PathStyle::Posix) AddFolder("/");
    }

    // Adds a folder (and its parents, as far as the root).
    void AddFolder(const std::string& path) {
        std::string p = path;
        while (true) {
            // A server name alone is no folder; its shares are listed below it.
            if (!(style_ == PathStyle::Windows && p.rfind("\\\\", 0) == 0 && p.find('\\', 2) == std::string::npos))
                entries_[Key(p)] = {p, true};
            const std::string parent = ParentFolder(style_, p);
            if (parent == p) break;
            p = parent;
        }
    }
    void AddFile(const std::string& path) {
        AddFolder(ParentFolder(style_, path));
        entries_[Key(path)] = {path, false};
    }
    void SetDrive(char letter, DriveType type) { drives_[Upper(letter)] = type; }

    // The next creations fail with this cause (None: they succeed).
    CreateFailure failCreate = CreateFailure::None;
    std::vector<std::string> created;

    EntryKind Kind(const std::string& path) override {
        auto it = entries_.find(Key(path));
        if (it == entries_.end()) return EntryKind::Missing;
        return it->second.isDirectory ? EntryKind::Directory : EntryKind::File;
    }

    DriveType DriveTypeOf(const std::string& root) override {
        if (style_ == PathStyle::Posix) return DriveType::Fixed;
        if (root.rfind("\\\\", 0) == 0) return DriveType::Remote;
        if (root.size() != 3 || root[1] != ':') return DriveType::NoRootDir;
        auto it = drives_.find(Upper(root[0]));
        return it == drives_.end() ? DriveType::NoRootDir : it->second;
    }

    CreateFailure CreateWithParents(const std::string& path) override {
        if (failCreate != CreateFailure::None) return failCreate;
        if (Kind(path) == EntryKind::File) return CreateFailure::Other;
        created.push_back(path);
        AddFolder(path);
        return CreateFailure::None;
    }

    std::vector<FolderEntry> Entries(const std::string& folder, const std::string& prefix) override {
        std::vector<FolderEntry> out;
        const std::string base = Key(WithSeparator(style_, folder));
        for (const auto& [key, entry] : entries_) {
            if (key.size() <= base.size() || key.compare(0, base.size(), base) != 0) continue;
            const std::string name = entry.path.substr(base.size());
            if (name.find(StyleSeparator(style_)) != std::string::npos) continue;
            if (Key(name).compare(0, prefix.size(), Key(prefix)) != 0) continue;
            out.push_back({name, entry.isDirectory});
        }
        return out;
    }

private:
    struct Entry {
        std::string path;
        bool isDirectory;
    };
    static char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
    std::string Key(const std::string& path) const {
        if (style_ == PathStyle::Posix) return path;
        std::string k = path;
        for (char& c : k) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : (c == '/' ? '\\' : c);
        return k;
    }

    PathStyle style_;
    std::map<std::string, Entry> entries_;
    std::map<char, DriveType> drives_;
};

// Message boxes answered from a script, with what was shown kept.
class ScriptedPrompts : public FolderPrompts {
public:
    std::vector<std::string> shown;  // every text, questions included
    bool answer = true;
    void Warn(const std::string& text) override { shown.push_back(text); }
    bool AskYesNo(const std::string& text) override {
        shown.push_back(text);
        return answer;
    }
};

}  // namespace zul::test
