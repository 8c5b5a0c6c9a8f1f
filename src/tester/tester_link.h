#pragma once
// The open connection to the tester as the protocol code sees it. The
// process has at most one open at a time; the monitor primitives talk over
// whichever is active. Behind it stands the serial port library (a COM port,
// the simulator's in-memory port), optionally wrapped by a byte tracer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace zul {

// What the link returns when no byte arrived in time.
inline constexpr int kLinkNoData = -802;

class TesterLink {
public:
    virtual ~TesterLink() = default;
    // The next received byte (0..255), waiting at most `timeoutMs`
    // milliseconds; kLinkNoData when none arrived. Other negative values are
    // link errors.
    virtual int ReadByte(int timeoutMs) = 0;
    // Queues the bytes of `text` as they are (no terminator); the count queued.
    virtual int WriteText(std::string_view text) = 0;
    // Queues `count` bytes; the count queued (less than `count` on a full queue).
    virtual int WriteBlock(const std::uint8_t* data, std::size_t count) = 0;
    // Bytes queued but not yet sent on the line.
    virtual int PendingOutput() = 0;
    // Discards bytes received and not yet read.
    virtual void PurgeReceive() = 0;
    // Discards bytes queued and not yet sent.
    virtual void PurgeTransmit() = 0;
    // Switches the PC side to `baud`, no parity, 8 data bits, 1 stop bit, and
    // makes that the line to restore when the link closes; 0 or a negative code.
    virtual int SetLineSpeed(long baud) = 0;
    // The PC side's speed now (for traces).
    virtual long LineSpeed() const = 0;
};

// The active link, or null while none is open.
TesterLink* ActiveTesterLink();
// Makes `link` the active one, closing any that was active before (the way
// OpenTesterLink installs what it opened; tests install fakes with it).
void InstallTesterLink(std::unique_ptr<TesterLink> link);

}  // namespace zul
