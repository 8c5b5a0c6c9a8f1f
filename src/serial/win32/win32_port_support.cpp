#include "serial/win32/win32_port_support.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

#include "serial/serial_port.h"

namespace zul {
namespace {

// Ports held by a PortLock of this process: a mutex belongs to a thread and
// may be taken again by the thread that holds it, so the process keeps its
// own account.
std::mutex g_heldGuard;
std::set<std::string>& HeldNames() {
    static std::set<std::string> names;
    return names;
}

}  // namespace

SerialError TranslateWindowsError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_BAD_NETPATH:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED: return SerialError::SL_PORT_UNAVAILABLE;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
        case ERROR_DEVICE_IN_USE: return SerialError::SL_PORT_IN_USE;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_NO_SYSTEM_RESOURCES: return SerialError::SL_NO_MEMORY;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED: return SerialError::SL_UNSUPPORTED;
        default: return SerialError::SL_ERROR;
    }
}

OpenFailureKind OpenFailureKindOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED: return OpenFailureKind::kMissing;
        // A COM port that another program holds answers "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
        case ERROR_DEVICE_IN_USE: return OpenFailureKind::kBusy;
        // What the communications functions answer on a handle that is not a
        // serial device (a file, a printer, a console).
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_HANDLE: return OpenFailureKind::kNotSerial;
        default: return OpenFailureKind::kOther;
    }
}

std::string PortLockName(const std::string& device) {
    std::string name = device;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    const int number = ComNumberOfName(name.c_str());
    if (number > 0) return "COM" + std::to_string(number);
    return device;
}

bool PortLock::acquire(const std::string& device) {
    release();
    // A mutex name may hold any character but the backslash after its
    // namespace; case does not matter to the device names.
    std::string key = PortLockName(device);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) {
        return c == '\\' ? '/' : static_cast<char>(std::toupper(c));
    });
    std::lock_guard<std::mutex> guard(g_heldGuard);
    if (HeldNames().count(key) != 0) return false;
    const std::string mutexName = "Local\\ZUL port " + key;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    if (mutex == nullptr) return true;  // no lock to be had: the driver's rules alone decide
    const DWORD waited = WaitForSingleObject(mutex, 0);
    // An abandoned mutex is one whose holder died: the port is free again.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return false;
    }
    HeldNames().insert(key);
    mutex_ = mutex;
    name_ = key;
    return true;
}

void PortLock::release() {
    if (mutex_ == nullptr) return;
    std::lock_guard<std::mutex> guard(g_heldGuard);
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
    mutex_ = nullptr;
    HeldNames().erase(name_);
    name_.clear();
}

HANDLE OpenComDevice(const std::string& device, PortLock& lock, bool overlapped, DWORD* error) {
    ClearOpenFailure();
    if (!lock.acquire(device)) {
        *error = ERROR_ACCESS_DENIED;
        NoteOpenFailure({OpenFailureKind::kBusy, PortLockName(device), ERROR_ACCESS_DENIED});
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                overlapped ? FILE_FLAG_OVERLAPPED : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        lock.release();
        NoteOpenFailure({OpenFailureKindOf(*error), PortLockName(device), static_cast<int>(*error)});
    }
    return handle;
}

void SetLineFields(DCB& dcb, const LineFormat& line) {
    dcb.BaudRate = static_cast<DWORD>(line.baud);
    dcb.ByteSize = static_cast<BYTE>(line.dataBits);
    dcb.Parity = static_cast<BYTE>(line.parity);
    dcb.StopBits = static_cast<BYTE>(line.stopBits);
}

}  // namespace zul
