#pragma once
// What both Windows ports share: the reading of Windows error numbers, and
// the lock that keeps a COM port to one ZUL at a time.
#include <windows.h>

#include <string>

#include "serial/device_names.h"
#include "serial/serial_port.h"

namespace zul {

// The result code for a Windows error number (GetLastError).
SerialError TranslateWindowsError(DWORD error);
// Why an open failed, for the user, from a Windows error number: missing,
// busy, not a serial device, or another failure.
OpenFailureKind OpenFailureKindOf(DWORD error);
// "COM5" for "\\.\COM5", "com5" or "COM5"; any other device name as it is.
std::string PortLockName(const std::string& device);

// A ZUL holds a port from its open to its close; a second ZUL is refused,
// whatever the driver's sharing rules (some drivers, Wine's among them, let
// a second program open a port that one already holds). The lock is a named
// mutex in the user's logon session, so it ends with the process that holds
// it, even when that process is killed. Within one process a port is held
// once.
class PortLock {
public:
    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // True when this object now holds the port named by `device`; false
    // when another holder has it (in this process or another).
    bool acquire(const std::string& device);
    void release();
    bool held() const { return mutex_ != nullptr; }

private:
    HANDLE mutex_ = nullptr;
    std::string name_;
};

// Opens `device` for this program alone: takes `lock` for it, then opens it
// without sharing (overlapped or not). The handle, or INVALID_HANDLE_VALUE
// with *error set, the lock given back and the reason noted for the user.
HANDLE OpenComDevice(const std::string& device, PortLock& lock, bool overlapped, DWORD* error);
// Puts `line` into the line fields of a device-control record (the record
// uses the same coding of parity and stop bits).
void SetLineFields(DCB& dcb, const LineFormat& line);

}  // namespace zul
