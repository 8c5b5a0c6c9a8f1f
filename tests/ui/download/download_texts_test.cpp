#include "ui/download/download_texts.h"

#include <gtest/gtest.h>

namespace zul {
namespace {

TEST(DownloadTexts, EngineResults) {
    struct Row {
        int code;
        const char* text;  // nullptr: no message
        const char* caption;
    };
    const Row rows[] = {
        {0, nullptr, nullptr},
        {1, nullptr, nullptr},
        {2004, nullptr, nullptr},
        {15, "Unable to open image file.", "Message"},
        {2003, "Download aborted", "Message"},
        {2005, "Monitor could not be downloaded", "Error"},
        {2006, "Invalid device type", "Error"},
        {2007, "Can't communicate with the tester", "Error"},
        {2009, "Baudrate could not be supported", "Error"},
        {2010, "Software not updated", "Error"},
    };
    for (const auto& row : rows) {
        const auto message = EngineResultMessage(static_cast<DownloadResult>(row.code));
        ASSERT_EQ(message.has_value(), row.text != nullptr) << row.code;
        if (!message) continue;
        EXPECT_STREQ(message->text, row.text) << row.code;
        EXPECT_STREQ(message->caption, row.caption) << row.code;
    }
}

TEST(DownloadTexts, CompletionReport) {
    struct Row {
        std::uint32_t seconds;
        const char* expected;
    };
    const Row rows[] = {
        {0, "Download complete in 0 seconds\n"},
        {59, "Download complete in 59 seconds\n"},
        {60, "Download complete in 1  minute(s) 0 seconds\n\nCycle power."},
        {61, "Download complete in 1  minute(s) 1 seconds\n\nCycle power."},
        {3725, "Download complete in 62  minute(s) 5 seconds\n\nCycle power."},
    };
    for (const auto& row : rows) EXPECT_EQ(CompletionReport(row.seconds, "Cycle power."), row.expected);
    EXPECT_EQ(CompletionReport(61, std::string(300, 'x')).size(), std::string("Download complete in 1  minute(s) 1 seconds\n\n").size() + 255);
}

TEST(DownloadTexts, FixedMessages) {
    EXPECT_STREQ(kQueryNoZiz2.text,
                 "Unsuccessful communication with the Engine Analyzer.\n\nCheck cable and adapter connections, then "
                 "restart ZUL and tester.");
    EXPECT_STREQ(kConfirmDownload.text,
                 "Downloading software will erase all saved files in the Internal Flash Memory.\n\nDo you want to "
                 "continue?");
}

TEST(TimeLeft, FromTheBytesStillToSendAtTheRateSoFar) {
    struct Row {
        std::uint64_t toSend, sent;
        double seconds;
        const char* shown;
    };
    const Row rows[] = {
        {0, 1000, 10.0, "0:00"},         // nothing left: done, whatever the bars say
        {1000, 1000, 10.0, "0:10"},
        {11256 * 125, 11256, 1.0, "2:05"},
        {500, 1000, 1.0, "0:01"},        // rounded to the nearest second
        {1000, 0, 0.0, "--:--"},         // no rate yet
        {1000, 10, 0.0, "--:--"},
        {~std::uint64_t{0}, 1, 100.0, "--:--"},  // beyond any sensible figure
    };
    for (const auto& row : rows) EXPECT_EQ(TimeLeftText(row.toSend, row.sent, row.seconds), row.shown) << row.toSend;
}

}  // namespace
}  // namespace zul
