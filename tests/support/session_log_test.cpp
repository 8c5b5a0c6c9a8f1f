#include "support/session_log.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testlib/bounded_run.h"
#include "testlib/temp_dir.h"

namespace zul {
namespace {

const std::string kStart = SessionLog::kStartMarker;
const std::string kEnd = SessionLog::kEndMarker;

std::time_t Fixed() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(SessionLogTest, StampUsesEnglishMonthNamesAndFixedWidths) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 9;
    t.tm_min = 5;
    EXPECT_EQ(SessionLog::FormatStamp(&t), "December 06, 2026 -- 09:05");
    t.tm_mon = 12;
    EXPECT_EQ(SessionLog::FormatStamp(&t), "");
    EXPECT_EQ(SessionLog::FormatStamp(nullptr), "");
}

TEST(SessionLogTest, MarkersHaveTheirExactFrames) {
    EXPECT_EQ(kStart, " " + std::string(23, '+') + " START SESSION " + std::string(27, '+') + " ");
    EXPECT_EQ(kEnd, " " + std::string(23, '+') + " END SESSION " + std::string(27, '+') + " ");
}

TEST(SessionLogTest, TwoRunsAppendSixLinesEach) {
    test::TempDir dir;
    const std::string path = dir / "MSC.LOG";
    dir.Write("MSC.LOG", "older entries\n");
    for (int run = 0; run < 2; ++run) {
        SessionLog log(path, Fixed);
        EXPECT_TRUE(log.isOpen());
    }
    const std::string stamp = "** December 06, 2026 -- 09:05 **\n";
    const std::string session = "\n" + stamp + kStart + "\n\n" + stamp + kEnd + "\n";
    EXPECT_EQ(dir.Read("MSC.LOG"), "older entries\n" + session + session);
}

TEST(SessionLogTest, AKilledRunLeavesItsStartMarkerAlone) {
    test::TempDir dir;
    const std::string path = dir / "MSC.LOG";
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        new SessionLog(path, Fixed);  // never destroyed: the process dies with it open
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(dir.Read("MSC.LOG"), "\n** December 06, 2026 -- 09:05 **\n" + kStart + "\n");
}

TEST(SessionLogTest, AnUnopenableFileDisablesTheLogQuietly) {
    test::TempDir dir;
    SessionLog log(dir / "no/such/dir/MSC.LOG", Fixed);
    EXPECT_FALSE(log.isOpen());
    log.logMessage("dropped");
}

TEST(SessionLogTest, APipeOrADeviceIsSkippedAsAnUnwritableFileIs) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "MSC.LOG").c_str(), 0600), 0);
    // With a reader on the pipe, so that a log that opens it shows instead of hanging.
    int reader = ::open((dir / "MSC.LOG").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ::mkdir((dir / "dir.log").c_str(), 0700);
    for (const std::string& path : {dir / "MSC.LOG", dir / "dir.log", std::string("/dev/null")}) {
        EXPECT_TRUE(test::FinishesWithin(5, [&] {
            SessionLog log(path, Fixed);
            return !log.isOpen();
        })) << path;
    }
    char byte;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "the log wrote into the pipe";
    ::close(reader);
}

}  // namespace
}  // namespace zul
