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
    void configure() override;
    int openDevice() override;
    int closeDevice() override;
    void getStatus(PortStatus* status, int selector) override;
    int setQueueSizes(int inQueueSize, int outQueueSize) override;
    int setFlowControl(int inFlow, int outFlow) override;
    int getFlowControl(int* inFlow, int* outFlow) override;
    int setBreak(int state) override;
    int lineControl(int signal, int value) override;
    int setLine(int baud, char parity, int dataBits, int stopBits) override;
    void getLine(int* baud, char* parity, int* dataBits, int* stopBits) override;
    int readSignals(SignalRecord* record) override;
    int writeByte(std::uint8_t byte) override;
    int writeString(const char* text) override;
    int writeBlock(const void* data, int count) override;
    int transmitImmediate(std::uint8_t byte) override;
    int readByte() override;
    int readBlock(void* buffer, int count) override;
    int purge(int direction, int count) override;
    void dump(const TextSink& sink) override;

    // 1 for DTR, 2 for RTS (the state last set through this object); any other
    // mask: 1 when the modem status has one of its kModem* bits.
    int testSignal(std::uint32_t mask);

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

private:
    int apply();
    void accumulateLineErrors();
    void setModemLine(int tiocmBit, bool raise);
    int recordTranslated(int systemError);

    std::string devicePath_;
    std::unique_ptr<WorkingRecord> record_;
    termios foundAttributes_{};  // the device's line when opened, put back when closed
    bool haveFoundAttributes_ = false;
    int fd_ = -1;
    int inFlow_ = 0;
    int outFlow_ = 0;
    int rtsState_ = 1;
    int dtrState_ = 1;
    std::int16_t breakState_ = 0;
    std::uint32_t lineErrors_ = 0;
    std::uint32_t modemStatus_ = 0;
    std::uint16_t outQueueSize_ = 0;
    std::uint16_t inQueueSize_ = 0;
    // Error counters of the driver at the last look (where it keeps them).
    bool haveCounters_ = false;
    int frameCount_ = 0, overrunCount_ = 0, parityCount_ = 0, breakCount_ = 0, bufferOverrunCount_ = 0;
};

}  // namespace zul
