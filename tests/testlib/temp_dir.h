#pragma once
#include <string>

namespace zul::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    void Write(const std::string& name, const std::string& contents) const;
    std::string Read(const std::string& name) const;

private:
    std::string path_;
};

// Runs a command through the shell in `directory`; returns its exit status
// and fills `output` with what it printed (standard output and error).
int RunCommand(const std::string& command, const std::string& directory, std::string* output);

// Quotes `s` for the POSIX shell.
std::string ShellQuote(const std::string& s);

}  // namespace zul::test
