#include "support/session_log.h"

#include <cstdio>

#include "support/platform.h"

namespace zul {
namespace {

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};

}  // namespace

SessionLog::SessionLog(std::string fileName, TimeSource now) : fileName_(std::move(fileName)), now_(std::move(now)) {
    if (!now_) now_ = [] { return std::time(nullptr); };
    // Text mode: the C library turns '\n' into the platform's line end (CR LF on
    // Windows), and "a" never truncates and shares the file with other readers.
    // A pipe or a device by that name is skipped as an unwritable file is.
    stream_ = OpenRegularFileForAppend(fileName_);
    isOpen_ = stream_ != nullptr;
    if (stream_) std::setvbuf(stream_, nullptr, _IOFBF, 512);
    stampEntries_ = true;
    logMessage(kStartMarker);
}

SessionLog::~SessionLog() {
    if (isOpen_) {
        logMessage(kEndMarker);
        std::fclose(stream_);
        stream_ = nullptr;
        isOpen_ = false;
    }
}

void SessionLog::WriteLine(const std::string& line) {
    std::fputs(line.c_str(), stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

void SessionLog::logMessage(const std::string& text) {
    std::tm local{};
    std::string stamp = LocalTime(now_(), &local) ? FormatStamp(&local) : std::string();
    if (!isOpen_) return;
    if (stampEntries_) {
        WriteLine("");
        WriteLine("** " + stamp + " **");
    }
    WriteLine(text);
    std::fflush(stream_);
}

std::string SessionLog::FormatStamp(const std::tm* t) {
    if (!t || t->tm_mon < 0 || t->tm_mon > 11) return std::string();
    char buffer[128];
    int n = std::snprintf(buffer, sizeof buffer, "%s %02d, %04d -- %02d:%02d", kMonths[t->tm_mon], t->tm_mday,
                          t->tm_year + 1900, t->tm_hour, t->tm_min);
    if (n < 0 || static_cast<size_t>(n) >= sizeof buffer) return std::string();
    return buffer;
}
}  // namespace zul
