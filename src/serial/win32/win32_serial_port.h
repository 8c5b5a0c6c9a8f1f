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

    // The device: the port lock, then no sharing, overlapped I/O.
    int openDevice() override;
    int closeDevice() override;
    // The result code of the thread's last Windows error.
    SerialError translateSystemError();

    // Waits for the next received character (WaitCommEvent), up to 1 ms.
    int yield() override;
    void pollStatus() override;
    void getStatus(PortStatus* status, int selector) override;
    // The driver's queues are resized as well (SetupComm).
    int setQueueSizes(int inQueueSize, int outQueueSize) override;

    int writeBlock(const void* data, int count) override;
    int readBlock(void* buffer, int count) override;
    int transmitImmediate(std::uint8_t byte) override;
    void dump(const TextSink& sink) override;

private:
    // One queued write. The data is copied, so the caller's buffer may go at
    // once; the record stays until the device has finished with it.
    struct PendingWrite {
        OVERLAPPED overlapped{};
        std::vector<std::uint8_t> data;
        bool busy = false;
    };
    static constexpr int kWriteSlots = 32;

    // Line and flow: the device-control record is the working copy.
    bool hasWorkingRecord() const override { return dcb_ != nullptr; }
    void applyDefaults() override;
    int applyLine(const LineFormat& line) override;
    int applyFlow(int inFlow, int outFlow) override;
    int applyState();
    // applyState; when the device refuses, the record goes back to `before`.
    int applyOrRestore(const DCB& before);

    void driveModemLine(int signal, bool raise) override;
    int modemSignal(std::uint32_t modemBit) override;
    int driveBreak(int state) override;
    void foldErrors(DWORD errors) { lineErrors_ |= errors; }
    bool clearCommError(COMSTAT* status);

    void dropReceiveQueue() override;
    // Queued writes are part of the transmit queue: they are aborted as well.
    void dropTransmitQueue() override;
    void reapWrites(bool wait);
    PendingWrite* freeWriteSlot();

    std::unique_ptr<DCB> dcb_;
    std::unique_ptr<OVERLAPPED> overlapped_;  // reads
    std::unique_ptr<COMMTIMEOUTS> savedTimeouts_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::uint32_t savedEventMask_ = 0;

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
