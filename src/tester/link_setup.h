#pragma once
// Opening the connection to the tester, asking which tester it is, and
// bringing a monitor conversation from 9600 to 115200 baud.
#include <functional>
#include <memory>

#include "tester/download_result.h"
#include "tester/monitor_protocol.h"
#include "tester/tester_link.h"

namespace zul {

// OpenTesterLink results.
inline constexpr int kLinkOpenFailed = 151;
inline constexpr int kLinkSettingsRefused = 1000;

// QueryHardwareId results.
inline constexpr int kHardwareZiz2 = 1;
inline constexpr int kHardwareOther = 0;
inline constexpr int kHardwareSilent = -1;

// Opens COM `portNumber` at 9600 baud, 8N1 as the process-wide link: 0,
// kLinkOpenFailed or kLinkSettingsRefused (nothing stays open then).
int OpenTesterLink(int portNumber);
// Replaces how OpenTesterLink opens the link (tests): the opener returns
// 0 with `*link` set, or a result code. An empty function restores the
// serial port library.
using TesterLinkOpener = std::function<int(int portNumber, std::unique_ptr<TesterLink>* link)>;
void SetTesterLinkOpener(TesterLinkOpener opener);
TesterLinkOpener InstalledTesterLinkOpener();
// Closes the link (purging both directions first); harmless when none is open.
int CloseTesterLink();

// kHardwareZiz2, kHardwareOther or kHardwareSilent. Also notes whether the
// tester said it is a simulated one.
int QueryHardwareId(MonitorContext& context);

// True when the last identification answer said "(simulated)", or while a
// simulator in this process stands in for the tester.
bool TesterIsSimulated();
void SetInProcessSimulator(bool active);
bool InProcessSimulator();

// Ok (both ends at 115200), NoAnswer, or SpeedFailed (the PC side is back at
// 9600).
DownloadResult EstablishFastLink(MonitorContext& context);

}  // namespace zul
