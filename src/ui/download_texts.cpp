#include "ui/download_texts.h"

#include <cstdio>

namespace zul {

FlowMessage ParseResultMessage(int parseResult) {
    switch (parseResult) {
        case 11: return {"No device specified to download to", "Error"};
        case 13: return {"The size of the image file is zero", "Error"};
        case 14: return {"No options were specified in the script file", "Error"};
        case 16: return {"Could not open file", "Error"};
        default: return {"Error with setup", "Error"};
    }
}

std::optional<FlowMessage> EngineResultMessage(int engineResult) {
    switch (engineResult) {
        case 15: return FlowMessage{"Unable to open image file.", "Message"};
        case 2003: return FlowMessage{"Download aborted", "Message"};
        case 2005: return FlowMessage{"Monitor could not be downloaded", "Error"};
        case 2006: return FlowMessage{"Invalid device type", "Error"};
        case 2007: return FlowMessage{"Can't communicate with the tester", "Error"};
        case 2009: return FlowMessage{"Baudrate could not be supported", "Error"};
        case 2010: return FlowMessage{"Software not updated", "Error"};
        default: return std::nullopt;
    }
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
