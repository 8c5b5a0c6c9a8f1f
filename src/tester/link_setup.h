#pragma once
// Opening the connection to the tester, asking which tester it is, and
// bringing a monitor conversation from 9600 to 115200 baud.
#include <functional>
#include <memory>

#include "tester/download_result.h"
#include "tester/monitor_protocol.h"
#include "tester/tester_link.h"

namespace zul {

// How opening the link ended.
enum class LinkOpenResult : int {
    Ok = 0,
    OpenFailed = 151,        // the port does not exist or cannot be opened
    SettingsRefused = 1000,  // the port refused 9600 baud, 8N1
};

// Which tester answered the identification query.
enum class HardwareId : int {
    Ziz2 = 1,     // a KVR 7700: "ZIZ2" at characters 3 to 6 of the answer
    Other = 0,    // an answer, but from another device
    Silent = -1,  // no clean answer
};

constexpr int ResultNumber(LinkOpenResult result) { return static_cast<int>(result); }
constexpr int ResultNumber(HardwareId id) { return static_cast<int>(id); }

// Opens COM `portNumber` at 9600 baud, 8N1 as the process-wide link; nothing
// stays open unless the result is Ok.
LinkOpenResult OpenTesterLink(int portNumber);
// Replaces how OpenTesterLink opens the link (tests): the opener returns
// Ok with `*link` set, or the failure. An empty function restores the
// serial port library.
using TesterLinkOpener = std::function<LinkOpenResult(int portNumber, std::unique_ptr<TesterLink>* link)>;
void SetTesterLinkOpener(TesterLinkOpener opener);
TesterLinkOpener InstalledTesterLinkOpener();
// Closes the link (purging both directions first); harmless when none is open.
int CloseTesterLink();

// Which tester answers. Also notes whether the tester said it is a
// simulated one.
HardwareId QueryHardwareId(MonitorContext& context);

// True when the last identification answer said "(simulated)", or while a
// simulator in this process stands in for the tester.
bool TesterIsSimulated();
void SetInProcessSimulator(bool active);
bool InProcessSimulator();

// Ok (both ends at 115200), NoAnswer, or SpeedFailed (the PC side is back at
// 9600).
DownloadResult EstablishFastLink(MonitorContext& context);

}  // namespace zul
