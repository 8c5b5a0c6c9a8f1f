#include "ui/download/download_texts.h"

#include <cstdio>

namespace zul {

std::optional<FlowMessage> EngineResultMessage(DownloadResult engineResult) {
    switch (engineResult) {
        case DownloadResult::ImageUnreadable: return FlowMessage{"Unable to open image file.", "Message"};
        case DownloadResult::Aborted: return FlowMessage{"Download aborted", "Message"};
        case DownloadResult::MonitorFailed: return FlowMessage{"Monitor could not be downloaded", "Error"};
        case DownloadResult::BadDeviceType: return FlowMessage{"Invalid device type", "Error"};
        case DownloadResult::NoAnswer: return FlowMessage{"Can't communicate with the tester", "Error"};
        case DownloadResult::SpeedFailed: return FlowMessage{"Baudrate could not be supported", "Error"};
        case DownloadResult::BlockRefused: return FlowMessage{"Software not updated", "Error"};
        case DownloadResult::Ok: break;
    }
    // Ok, and any number the engine does not give: no message.
    return std::nullopt;
}

std::string CompletionReport(std::uint32_t elapsedSeconds, std::string_view closingMessage) {
    char text[400];
    if (elapsedSeconds < 60) {
        std::snprintf(text, sizeof text, "Download complete in %i seconds\n", static_cast<int>(elapsedSeconds));
        return text;
    }
    std::snprintf(text, sizeof text, "Download complete in %u  minute(s) %u seconds\n\n",
                  static_cast<unsigned>(elapsedSeconds / 60), static_cast<unsigned>(elapsedSeconds % 60));
    return text + std::string(closingMessage.substr(0, 255));
}

std::string TimeLeftText(std::uint64_t bytesToSend, std::uint64_t bytesSent, double seconds) {
    if (bytesToSend == 0) return "0:00";
    if (bytesSent == 0 || !(seconds > 0)) return "--:--";
    const double left = static_cast<double>(bytesToSend) * seconds / static_cast<double>(bytesSent);
    if (left >= 100 * 3600) return "--:--";
    const auto whole = static_cast<unsigned>(left + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u", whole / 60, whole % 60);
    return text;
}

}  // namespace zul
