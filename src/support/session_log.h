#pragma once
// The session log: "MSC.LOG" in the current directory, to which every run of a
// ZUL program appends a start marker when it begins and an end marker when it
// ends. The file only grows and is flushed after every line, so a run that is
// killed still leaves its start marker behind.
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

namespace zul {

class SessionLog {
public:
    static constexpr const char* kStartMarker =
        " +++++++++++++++++++++++ START SESSION +++++++++++++++++++++++++++ ";
    static constexpr const char* kEndMarker =
        " +++++++++++++++++++++++ END SESSION +++++++++++++++++++++++++++ ";

    using TimeSource = std::function<std::time_t()>;

    // Opens `fileName` for appending and writes the start marker. A file that
    // cannot be opened, or is not a regular file, disables the log silently.
    explicit SessionLog(std::string fileName = "MSC.LOG", TimeSource now = nullptr);
    // Writes the end marker and closes.
    ~SessionLog();
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    void logMessage(const std::string& text);

    bool isOpen() const { return isOpen_; }
    const std::string& fileName() const { return fileName_; }

    // "December 06, 2026 -- 09:05": English month names whatever the locale.
    // Returns the empty string for a time that cannot be formatted.
    static std::string FormatStamp(const std::tm* local);

private:
    void WriteLine(const std::string& line);

    std::string fileName_;
    bool isOpen_ = false;
    bool stampEntries_ = true;
    std::FILE* stream_ = nullptr;
    TimeSource now_;
};

}  // namespace zul
