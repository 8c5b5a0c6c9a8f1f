#include "tester/link_setup.h"

#include "host/message_pump.h"
#include "tester/tester_link.h"

namespace zul {
namespace {

bool g_saidSimulated = false;
bool g_inProcessSimulator = false;

}  // namespace

bool TesterIsSimulated() { return g_saidSimulated || g_inProcessSimulator; }

void SetInProcessSimulator(bool active) { g_inProcessSimulator = active; }

bool InProcessSimulator() { return g_inProcessSimulator; }

int CloseTesterLink() {
    if (TesterLink* link = ActiveTesterLink()) {
        link->PurgeReceive();
        link->PurgeTransmit();
    }
    InstallTesterLink(nullptr);
    return 0;
}

HardwareId QueryHardwareId(MonitorContext& context) {
    g_saidSimulated = false;
    if (SendCommand(context, HardwareIdCommand(), kHardwareQuery) != MonitorResult::Ok) return HardwareId::Silent;
    // The first three characters are the echo of "I\r".
    const std::string_view reply = context.Reply();
    g_saidSimulated = reply.find("(simulated)") != std::string_view::npos;
    return reply.size() >= 7 && reply.substr(3, 4) == "ZIZ2" ? HardwareId::Ziz2 : HardwareId::Other;
}

DownloadResult EstablishFastLink(MonitorContext& context) {
    if (SendCommand(context, VersionProbeCommand(), kPlainProbe) != MonitorResult::Ok) {
        if (TesterLink* link = ActiveTesterLink()) link->PurgeReceive();
        bool answered = false;
        for (int probe = 0; probe < 4 && !answered; ++probe)
            answered = SendCommand(context, VersionProbeCommand(), kRetryProbe) == MonitorResult::Ok;
        if (!answered) return DownloadResult::NoAnswer;
    }
    PumpPendingMessages();
    if (SendCommand(context, VersionProbeCommand(), kFinalSyncProbe) != MonitorResult::Ok)
        return DownloadResult::NoAnswer;
    if (SetLinkSpeed(context, "115200", false) != LinkSpeedResult::Ok) {
        SetLinkSpeed(context, "9600", true);
        return DownloadResult::SpeedFailed;
    }
    return DownloadResult::Ok;
}

}  // namespace zul
