#pragma once
#include <map>
#include <string>

#include "support/file_system.h"

namespace zul::test {

// Files in memory, with switches that make a step fail as a full disk or a
// crash between the write and the rename would.
class MemoryFileSystem : public FileSystem {
public:
    std::map<std::string, std::string> files;
    bool failWrite = false;
    bool failRename = false;
    int writes = 0;

    bool ReadFile(const std::string& path, std::string* contents) override {
        auto it = files.find(path);
        if (it == files.end()) return false;
        *contents = it->second;
        return true;
    }
    bool Exists(const std::string& path) override { return files.count(path) != 0; }
    bool WriteFile(const std::string& path, const std::string& contents) override {
        ++writes;
        if (failWrite) {
            files[path] = contents.substr(0, contents.size() / 2);  // a torn write
            return false;
        }
        files[path] = contents;
        return true;
    }
    bool Rename(const std::string& from, const std::string& to) override {
        if (failRename || !files.count(from)) return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    void Remove(const std::string& path) override { files.erase(path); }
};

}  // namespace zul::test
