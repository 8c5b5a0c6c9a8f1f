#pragma once
// A small stand-in for the tester on the far end of the active link, running
// in virtual time. It speaks the monitor line protocol well enough to drive
// the protocol code through its paths, with knobs for the failures tests need.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/clock.h"
#include "tester/tester_link.h"

namespace zul::test {

class FakeMonitorLink final : public TesterLink {
public:
    explicit FakeMonitorLink(VirtualClock& clock) : clock_(clock) {}

    // --- knobs -----------------------------------------------------------
    std::string hardwareId = "ZIZ2";
    bool uploadedMonitor = false;      // answers "FV" cleanly
    int ignoreProbes = 0;              // this many "V" probes get no answer at all
    bool silent = false;               // answers nothing
    std::set<std::string> starCommands;    // command words answered with "*"
    std::set<std::string> silentCommands;  // command words never answered
    std::set<std::string> promptlessCommands;  // echo only, then silence
    int starFinalProbe = -1;           // the n-th "V" (0-based) is answered with "*"
    std::uint32_t eraseMs = 2000;      // how long an erase takes
    std::uint32_t monitorStartMs = 300;    // from "C" to the new monitor answering
    std::uint32_t replyDelayMs = 1;
    int starAtBlock = -1;              // "*" instead of the request for this block
    int silentFromBlock = -1;          // no request from this block on
    bool ignoreBaudCommand = false;
    bool endTransferWithPrompt = true; // the prompt after the last block
    bool silentAfterTransfer = false;  // answers nothing once a transfer has ended
    int refuseSpeed = 0;               // non-zero: SetLineSpeed fails with it
    std::vector<int> pendingOutputs;   // successive PendingOutput answers, then 0
    std::uint32_t monitorAddress = 0x60000;
    // Line noise on the way in: a command line the tester hears as another
    // one (and echoes and acts upon as it heard it).
    std::map<std::string, std::string> hearsAs;
    int refuseBlockData = -1;          // this block (0-based) arrives with a bad check word
    std::uint32_t stallAfterWriteMs = 0;   // the PC is not scheduled for this long after each write

    // --- observations ----------------------------------------------------
    std::vector<std::string> commands;     // every command line received (without "\r")
    std::vector<long> pcSpeeds;            // every SetLineSpeed
    std::map<std::string, std::vector<std::uint8_t>> memory;  // "RAM", "FLASH", "CARD" by address
    std::vector<std::uint32_t> blockTimes;
    int blocksAccepted = 0;
    int purgeTransmits = 0;
    long testerSpeed = 9600;

    std::vector<std::uint8_t>& Memory(const std::string& kind);
    int Count(const std::string& word) const;  // commands whose first word is `word`

    // --- TesterLink --------------------------------------------------------
    int ReadByte(int timeoutMs) override;
    int WriteText(std::string_view text) override;
    int WriteBlock(const std::uint8_t* data, std::size_t count) override;
    int PendingOutput() override;
    void PurgeReceive() override;
    void PurgeTransmit() override { ++purgeTransmits; }
    int SetLineSpeed(long baud) override;
    long LineSpeed() const override { return pcSpeed_; }

    // Queues bytes for the PC, available `delayMs` from now.
    void Send(const std::string& bytes, std::uint32_t delayMs = 0);

private:
    void OnLine(const std::string& line);
    void Answer(const std::string& echo, const std::string& text, bool error = false, std::uint32_t delay = 0);
    void RequestBlock();

    VirtualClock& clock_;
    struct Pending {
        std::uint32_t at;
        std::uint8_t byte;
        long speed;  // the tester's speed when it sent the byte
    };
    std::deque<Pending> incoming_;
    std::string lineBuffer_;
    long pcSpeed_ = 9600;
    std::uint32_t monitorUpAt_ = 0;
    // Transfer in progress.
    int blocksWanted_ = 0;
    int blockIndex_ = 0;
    std::string target_;
    std::uint32_t address_ = 0;
    int probes_ = 0;
    std::size_t pendingIndex_ = 0;
    bool started_ = false;
};

}  // namespace zul::test
