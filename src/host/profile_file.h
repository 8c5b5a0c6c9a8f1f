#pragma once
// Our own private-profile (INI) reader and writer for the settings file. It
// behaves like the Windows profile calls the settings were first written for,
// so a file stays readable by either:
//  - section and key names match without regard to letter case; the first
//    matching section and the first matching key in it win;
//  - values come back without surrounding blanks; a key that is present with
//    an empty value returns "", not the default;
//  - a read returns at most size - 1 characters (the rest is cut);
//  - a write replaces the value in place and keeps every other line (comments,
//    unknown sections, order, line ends) as it was; a missing section is
//    appended at the end, a missing key after the last entry of its section;
//  - a line ends at LF, CR LF or a lone CR;
//  - nothing is cached: every read looks at the file, every write goes to disk
//    at once (FileSystem::RewriteFile: atomically where the directory allows,
//    in place where it does not, through symbolic links);
//  - only a regular file of at most kMaxProfileFileSize bytes is read or
//    rewritten: anything else reads as absent and is never replaced.
#include <string>
#include <string_view>

#include "support/file_system.h"

namespace zul {

// A settings file holds a few dozen lines; a larger one is not ours.
inline constexpr std::size_t kMaxProfileFileSize = 1u << 20;

// Like GetPrivateProfileStringA with a buffer of `size` bytes.
std::string ReadProfileString(FileSystem& fs, const std::string& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue, std::size_t size = 256);

// Like WritePrivateProfileStringA. Returns false when the file could not be
// written; the old file is then left as it was.
bool WriteProfileString(FileSystem& fs, const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

// The text-level operations behind the two calls, for tests and tools.
std::string ProfileLookup(std::string_view text, std::string_view section, std::string_view key, bool* found);
std::string ProfileUpdate(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view value, std::string_view newline);

}  // namespace zul
