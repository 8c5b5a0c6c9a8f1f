#include "ui/download/tester_query.h"

#include "host/message_pump.h"
#include "host/messages.h"
#include "ui/download/download_texts.h"
#include "tester/link_setup.h"

namespace zul {
namespace {

constexpr unsigned kWarningOk = kMbOk | kMbIconWarning;

int Show(const FlowMessage& message, unsigned type) { return ShowMessage(message.text, message.caption, type); }

}  // namespace

HardwareId QueryTesterConfiguration(int portNumber, MonitorContext& context, DownloadFlowView& view) {
    view.ShowStatusWindow(kDeterminingConfiguration);
    PumpPendingMessages();
    HardwareId hardwareId = HardwareId::Silent;
    switch (OpenTesterLink(portNumber)) {
        case LinkOpenResult::OpenFailed:
            Show(kQueryPortMissing, kWarningOk);
            break;
        case LinkOpenResult::SettingsRefused:
            Show(kQueryPortRefused, kWarningOk);
            break;
        case LinkOpenResult::Ok:
            hardwareId = QueryHardwareId(context);
            if (hardwareId != HardwareId::Ziz2) {
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
