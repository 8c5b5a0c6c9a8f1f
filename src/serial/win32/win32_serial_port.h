#pragma once
// The port on a Windows COM device: overlapped I/O so that writes are queued
// without waiting, reads of what has already arrived, the device-control
// record as the working copy of the line.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "serial/win32/win32_port_support.h"

namespace zul {

class Win32SerialPort final : public SerialPort {
public:
    // Opens "\\.\COM<portIndex+1>" and configures it. With `empty` not 0 the
    // object allocates and opens nothing. The outcome is in lastError.
    Win32SerialPort(int portIndex, int inQueueSize, int outQueueSize, int empty = 0);
    ~Win32SerialPort() override;

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

    virtual int setEventChar(char eventChar);
    virtual int getEventMask(std::uint32_t* mask);
    virtual int setEventMask(std::uint32_t mask);
    virtual int waitEvent(std::uint32_t* mask, std::uint32_t timeoutMs);
    virtual int testSignal(std::uint32_t mask);
    virtual int translateSystemError();

private:
    // One queued write. The data is copied, so the caller's buffer may go at
    // once; the record stays until the device has finished with it.
    struct PendingWrite {
        OVERLAPPED overlapped{};
        std::vector<std::uint8_t> data;
        bool busy = false;
    };
    static constexpr int kWriteSlots = 32;

    void foldErrors(DWORD errors) { lineErrors_ |= errors; }
    bool clearCommError(COMSTAT* status);
    void reapWrites(bool wait);
    PendingWrite* freeWriteSlot();
    int applyState();

    std::unique_ptr<DCB> dcb_;
    std::unique_ptr<OVERLAPPED> overlapped_;  // reads
    std::unique_ptr<COMMTIMEOUTS> savedTimeouts_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    int inFlow_ = 0;
    int outFlow_ = 0;
    int rtsState_ = 1;
    int dtrState_ = 1;
    std::int16_t breakState_ = 0;
    std::uint32_t lineErrors_ = 0;
    int modemStatus_ = 0;
    std::uint32_t savedEventMask_ = 0;
    std::uint16_t outQueueSize_ = 0;
    std::uint16_t inQueueSize_ = 0;

    std::vector<std::unique_ptr<PendingWrite>> writes_;
    // The wait for input that yield uses.
    OVERLAPPED eventOverlapped_{};
    DWORD eventMask_ = 0;
    bool eventPending_ = false;
    bool eventMaskSet_ = false;
    // Set once a wait for input has failed: some drivers (Wine's on a
    // pseudo-terminal) end every such wait at once, and waiting again would
    // only spin. Yield then sleeps its millisecond instead.
    bool eventWaitBroken_ = false;
    // The device this port opened, and the lock that keeps it ours.
    std::string openedName_;
    PortLock lock_;
};

}  // namespace zul
