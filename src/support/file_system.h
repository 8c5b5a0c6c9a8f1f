#pragma once
// The file operations the settings store and the script tools need, behind a
// seam so that tests can make any step fail (a full disk, a rename that never
// happens) without touching the real disk.
#include <cstddef>
#include <string>

namespace zul {

// Why a bounded read of a regular file did not deliver the file.
enum class FileReadStatus {
    kOk,
    kMissing,     // nothing at that path
    kNotRegular,  // a directory, a pipe, a device: never opened for reading
    kTooLarge,    // longer than the caller's bound
    kFailed,      // there, but it could not be opened or read
};

// "does not exist", "is a directory", "is not a regular file", ... for messages.
const char* FileReadStatusText(FileReadStatus status);

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Reads the whole file. Returns false when it does not exist or cannot be
    // read. The real file systems read regular files only, and at most
    // kMaxPlainReadSize bytes, so that a pipe or a device never blocks or
    // fills memory.
    virtual bool ReadFile(const std::string& path, std::string* contents) = 0;
    // True when something (a file, a directory) exists at `path`.
    virtual bool Exists(const std::string& path) = 0;
    // Creates or truncates `path` and writes `contents`, flushed to stable
    // storage before returning true.
    virtual bool WriteFile(const std::string& path, const std::string& contents) = 0;
    // Replaces `to` by `from` in one step (the old `to` or the new one, never a mix).
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& path) = 0;

    // Reads a regular file of at most `maxSize` bytes. The default reads
    // through ReadFile (a file system in memory holds only regular files).
    virtual FileReadStatus ReadRegularFile(const std::string& path, std::string* contents, std::size_t maxSize);

    // Gives the file at `path` the new contents, keeping what the user set up
    // around it. The default is WriteFileAtomically. The real file systems
    // write through a symbolic link to its target, refuse to replace anything
    // that is not a regular file, keep the file's mode (and owner where they
    // can), replace it atomically where the directory allows it and write it
    // in place where it does not, and clear away temporary files that killed
    // writers left behind.
    virtual bool RewriteFile(const std::string& path, const std::string& contents);
};

// Bound of FileSystem::ReadFile on the real file systems.
inline constexpr std::size_t kMaxPlainReadSize = 64u << 20;

FileSystem& RealFileSystem();

// Writes `contents` to a sibling temporary file and renames it over `path`,
// so that an interruption at any moment leaves the old file or the new one.
bool WriteFileAtomically(FileSystem& fs, const std::string& path, const std::string& contents);

// The name WriteFileAtomically gives its temporary file for `path` in this
// process ("<path>.tmp<pid>-<n>"); stale ones are recognised by it.
std::string TemporarySiblingName(const std::string& path, long processId, unsigned serial);

// The directory separator of this platform ('\\' on Windows, '/' elsewhere).
char PathSeparator();

// `directory` + separator + `name`, without doubling a separator that ends
// `directory` (the root "/"); just `name` for an empty directory.
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace zul
