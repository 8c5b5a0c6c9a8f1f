#pragma once
// The file operations the settings store and the script tools need, behind a
// seam so that tests can make any step fail (a full disk, a rename that never
// happens) without touching the real disk.
#include <string>

namespace zul {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Reads the whole file. Returns false when it does not exist or cannot be read.
    virtual bool ReadFile(const std::string& path, std::string* contents) = 0;
    // True when something (a file, a directory) exists at `path`.
    virtual bool Exists(const std::string& path) = 0;
    // Creates or truncates `path` and writes `contents`, flushed to stable
    // storage before returning true.
    virtual bool WriteFile(const std::string& path, const std::string& contents) = 0;
    // Replaces `to` by `from` in one step (the old `to` or the new one, never a mix).
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& path) = 0;
};

FileSystem& RealFileSystem();

// Writes `contents` to a sibling temporary file and renames it over `path`,
// so that an interruption at any moment leaves the old file or the new one.
bool WriteFileAtomically(FileSystem& fs, const std::string& path, const std::string& contents);

// The directory separator of this platform ('\\' on Windows, '/' elsewhere).
char PathSeparator();

}  // namespace zul
