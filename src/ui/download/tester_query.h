#pragma once
// The question the download dialog asks when it opens: which tester is on
// the configured port?
#include "tester/link_setup.h"
#include "tester/monitor_protocol.h"
#include "ui/download/download_flow_view.h"

namespace zul {

// Opens the link on COM `portNumber`, asks the tester which it is and closes
// the link again, showing the status window meanwhile and the message for
// any failure. Returns which tester answered (Ziz2 when the list may be
// shown), or Silent when the port did not open.
HardwareId QueryTesterConfiguration(int portNumber, MonitorContext& context, DownloadFlowView& view);

}  // namespace zul
