#pragma once
// The port on a POSIX tty device (termios), with the observable behaviour of
// the Windows port: non-blocking reads of what has arrived, writes queued into
// an emulated 2048-byte transmit queue, exclusive use, 19200 8N1 raw defaults.
#include <termios.h>

#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial_port.h"

namespace zul {

class PosixSerialPort final : public SerialPort {
public:
    // Opens and configures `devicePath` for port `portIndex` (COM number minus
    // 1; the in-process use count is kept per index). With `empty` not 0 the
    // object allocates and opens nothing. The outcome is in lastError.
    PosixSerialPort(int portIndex, std::string devicePath, int inQueueSize, int outQueueSize, int empty = 0);
    ~PosixSerialPort() override;

    // The device: exclusive use, the line it had put back when closed.
    int openDevice() override;
    int closeDevice() override;
    const std::string& devicePath() const { return devicePath_; }
    int descriptor() const { return fd_; }

    // Waits up to 1 ms for input (poll), returning as soon as a byte arrives.
    // Under any clock other than the system clock (tests, the simulator) it
    // waits on the clock instead: CurrentClock().Sleep(1).
    int yield() override;
    // Line errors from the driver's counters (where it keeps them), modem
    // lines from TIOCMGET.
    void pollStatus() override;
    // The driver's queues; termios does not tell whether transmission is held.
    void getStatus(PortStatus* status, int selector) override;

    // The transmit queue is the driver's output buffer, bounded to the queue size.
    int writeBlock(const void* data, int count) override;
    int readBlock(void* buffer, int count) override;
    int transmitImmediate(std::uint8_t byte) override;
    void dump(const TextSink& sink) override;

    // The working device settings, the analogue of the Windows device-control
    // record: every setting edits it and applies it as a whole with a line.
    struct WorkingRecord {
        termios tio{};
        int dtrControl = 1;         // 0 disable, 1 enable, 2 handshake
        int rtsControl = 0;
        bool outX = false;  // XON/XOFF obeyed
        bool inX = false;   // XON/XOFF sent
        bool outxCts = false;
        bool outxDsr = false;
    };

private:
    // Line and flow: every change edits the record and applies it whole.
    bool hasWorkingRecord() const override { return record_ != nullptr; }
    void applyDefaults() override;
    int applyLine(const LineFormat& line) override;
    int applyFlow(int inFlow, int outFlow) override;
    int apply(const LineFormat& line);
    // apply; when the device refuses, the record goes back to `before`.
    int applyOrRestore(const LineFormat& line, const WorkingRecord& before);

    // Modem lines and break (a device without modem lines is not an error).
    void driveModemLine(int signal, bool raise) override;
    void setModemLine(int tiocmBit, bool raise);
    int modemSignal(std::uint32_t modemBit) override;
    int driveBreak(int state) override;
    void accumulateLineErrors();

    void dropReceiveQueue() override;
    void dropTransmitQueue() override;

    std::string devicePath_;
    std::unique_ptr<WorkingRecord> record_;
    termios foundAttributes_{};  // the device's line when opened, put back when closed
    bool haveFoundAttributes_ = false;
    int fd_ = -1;
    // Error counters of the driver at the last look (where it keeps them).
    bool haveCounters_ = false;
    int frameCount_ = 0, overrunCount_ = 0, parityCount_ = 0, breakCount_ = 0, bufferOverrunCount_ = 0;
};

}  // namespace zul
