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

    // Waits up to 1 ms for input (poll), returning as soon as a byte arrives.
    // Under any clock other than the system clock (tests, the simulator) it
    // waits on the clock instead: CurrentClock().Sleep(1).
    int yield() override;
    void pollStatus() override;
    int openDevice() override;
    int closeDevice() override;
    void getStatus(PortStatus* status, int selector) override;
    int setQueueSizes(int inQueueSize, int outQueueSize) override;
    void getLine(int* baud, char* parity, int* dataBits, int* stopBits) override;
    int writeBlock(const void* data, int count) override;
    int transmitImmediate(std::uint8_t byte) override;
    int readBlock(void* buffer, int count) override;
    void dump(const TextSink& sink) override;

    const std::string& devicePath() const { return devicePath_; }
    int descriptor() const { return fd_; }

    // The working line, the analogue of the Windows device-control record:
    // every setting edits it and applies it as a whole.
    struct WorkingRecord {
        termios tio{};
        int baud = 0;
        std::uint8_t byteSize = 8;
        std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
        std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
        int dtrControl = 1;         // 0 disable, 1 enable, 2 handshake
        int rtsControl = 0;
        bool outX = false;  // XON/XOFF obeyed
        bool inX = false;   // XON/XOFF sent
        bool outxCts = false;
        bool outxDsr = false;
    };

protected:
    bool hasWorkingRecord() const override { return record_ != nullptr; }
    void applyDefaults() override;
    int applyFlow(int inFlow, int outFlow) override;
    int applyLine(const LineFormat& line) override;
    int driveBreak(int state) override;
    void driveModemLine(int signal, bool raise) override;
    int modemSignal(std::uint32_t modemBit) override;
    void dropReceiveQueue() override;
    void dropTransmitQueue() override;

private:
    int apply();
    // apply; when the device refuses, the record goes back to `before`.
    int applyOrRestore(const WorkingRecord& before);
    void accumulateLineErrors();
    void setModemLine(int tiocmBit, bool raise);

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
