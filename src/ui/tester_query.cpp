#include "ui/tester_query.h"

#include "host/message_pump.h"
#include "host/messages.h"
#include "ui/download_texts.h"
#include "tester/link_setup.h"

namespace zul {
namespace {

constexpr unsigned kWarningOk = kMbOk | kMbIconWarning;

int Show(const FlowMessage& message, unsigned type) { return ShowMessage(message.text, message.caption, type); }

}  // namespace

int QueryTesterConfiguration(int portNumber, MonitorContext& context, DownloadFlowView& view) {
    view.ShowStatusWindow(kDeterminingConfiguration);
    PumpPendingMessages();
    int hardwareId = kHardwareSilent;
    switch (OpenTesterLink(portNumber)) {
        case kLinkOpenFailed:
            Show(kQueryPortMissing, kWarningOk);
            break;
        case kLinkSettingsRefused:
            Show(kQueryPortRefused, kWarningOk);
            break;
        default:
            hardwareId = QueryHardwareId(context);
            if (hardwareId != kHardwareZiz2) {
                view.CloseStatusWindow();
                Show(kQueryNoZiz2, kWarningOk);
            }
            break;
    }
    view.CloseStatusWindow();
    CloseTesterLink();
    return hardwareId;
}

}  // namespace zul
