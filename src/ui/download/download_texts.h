#pragma once
// The fixed texts and captions the download flow shows, and the report of a
// finished download. One table each, so every front end shows exactly these.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tester/download_result.h"

namespace zul {

struct FlowMessage {
    const char* text;
    const char* caption;
};

// When the download dialog opens.
inline constexpr const char* kDeterminingConfiguration = "Determining tester configuration, please wait...";
inline constexpr FlowMessage kQueryPortMissing{"Incorrect or disconnected serial port", "Communications Error"};
inline constexpr FlowMessage kQueryPortRefused{"Could not open COM port", "Communications Error"};
inline constexpr FlowMessage kQueryNoZiz2{
    "Unsuccessful communication with the Engine Analyzer.\n\nCheck cable "
    "and adapter connections, then restart ZUL and tester.",
    "Error"};
inline constexpr FlowMessage kScriptsUnreadable{"Couldn't load script files!", "ERROR"};
inline constexpr const char* kNoApplications = "No applications available.";

// The Download button.
inline constexpr FlowMessage kConfirmDownload{
    "Downloading software will erase all saved files in the Internal Flash Memory.\n\nDo you want to continue?",
    "Confirm Download"};
inline constexpr const char* kProgressCaption = "Download Progress";
inline constexpr const char* kEstablishingStatus = "Establishing communications with the tester...";
inline constexpr const char* kPreparingStatus = "Preparing to download...";
inline constexpr FlowMessage kDownloadPortMissing{"Incorrect or disconnected serial (COM) port", "Comm Error"};
inline constexpr FlowMessage kDownloadPortRefused{"Could not open COM port", "Comm Error"};
inline constexpr const char* kMessageCaption = "Message";
inline constexpr const char* kCompleteTitle = "Download Complete";
inline constexpr const char* kCompleteCaption = "Download Status";

// The message for an engine result; none for 0 and for values not listed.
std::optional<FlowMessage> EngineResultMessage(DownloadResult engineResult);

// "Download complete in 59 seconds\n" under a minute; from a minute on
// "Download complete in 1  minute(s) 1 seconds\n\n" + the closing message.
std::string CompletionReport(std::uint32_t elapsedSeconds, std::string_view closingMessage);

// The time left, "m:ss", for `bytesToSend` more payload bytes at the rate
// seen so far (`bytesSent` in `seconds`); "--:--" before there is a rate.
std::string TimeLeftText(std::uint64_t bytesToSend, std::uint64_t bytesSent, double seconds);

}  // namespace zul
