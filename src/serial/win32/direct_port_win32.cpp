#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "serial/device_names.h"
#include "serial/direct_port.h"
#include "serial/win32/win32_port_support.h"

namespace zul {
namespace {

HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool Valid(std::intptr_t handle) { return handle != 0 && HandleOf(handle) != INVALID_HANDLE_VALUE; }

// The lock of every open port, by handle: the test's port keeps a port from a
// second ZUL as the serial link does.
std::mutex g_locksGuard;
std::map<std::intptr_t, std::unique_ptr<PortLock>>& Locks() {
    static std::map<std::intptr_t, std::unique_ptr<PortLock>> locks;
    return locks;
}

}  // namespace

struct DirectPort::FoundSettings {
    DCB dcb;
    COMMTIMEOUTS timeouts;
    bool haveTimeouts;
};

DirectPort::DirectPort() = default;

DirectPort::~DirectPort() { close(); }

int DirectPort::openDevice() {
    // The plain names reach COM1 to COM9 only; the device prefix reaches the rest.
    std::string path = deviceName;
    if (ComNumberOfName(deviceName) >= 10) path = "\\\\.\\" + path;
    if (!DeviceOverride().empty() && ComNumberOfName(deviceName) > 0) path = DeviceOverride();
    auto lock = std::make_unique<PortLock>();
    DWORD error = 0;
    HANDLE h = OpenComDevice(path, *lock, false, &error);
    if (h == INVALID_HANDLE_VALUE) {
        handle = 0;
        return 0;
    }
    handle = reinterpret_cast<std::intptr_t>(h);
    {
        std::lock_guard<std::mutex> guard(g_locksGuard);
        Locks()[handle] = std::move(lock);
    }

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool ok = GetCommState(h, &dcb) != FALSE;
    if (ok) {
        // The test borrows the port: the next program finds it as it was.
        COMMTIMEOUTS foundTimeouts{};
        const bool haveTimeouts = GetCommTimeouts(h, &foundTimeouts) != FALSE;
        found_.reset(new (std::nothrow) FoundSettings{dcb, foundTimeouts, haveTimeouts});
        ok = found_ != nullptr;
    }
    if (ok) {
        SetLineFields(dcb, line());
        ok = SetCommState(h, &dcb) != FALSE;
    }
    if (ok) {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 14;
        timeouts.ReadTotalTimeoutMultiplier = 5;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 5;
        timeouts.WriteTotalTimeoutConstant = 5;
        ok = SetCommTimeouts(h, &timeouts) != FALSE;
    }
    if (!ok) {
        const DWORD error = GetLastError();
        NoteOpenFailure({OpenFailureKindOf(error), PortLockName(path), static_cast<int>(error)});
        close();
        return 0;
    }
    return 1;
}

std::intptr_t DirectPort::close() {
    if (!Valid(handle)) return handle;
    if (found_) {
        PurgeComm(HandleOf(handle), PURGE_TXCLEAR | PURGE_RXCLEAR);
        SetCommState(HandleOf(handle), &found_->dcb);
        if (found_->haveTimeouts) SetCommTimeouts(HandleOf(handle), &found_->timeouts);
        found_.reset();
    }
    const BOOL closed = CloseHandle(HandleOf(handle));
    {
        std::lock_guard<std::mutex> guard(g_locksGuard);
        Locks().erase(handle);
    }
    handle = 0;
    return closed ? 1 : 0;
}

int DirectPort::write(const void* data, int count) {
    if (data == nullptr || count <= 0 || !Valid(handle)) return 0;
    DWORD written = 0;
    if (!WriteFile(HandleOf(handle), data, static_cast<DWORD>(count), &written, nullptr)) return 0;
    return static_cast<int>(written);
}

int DirectPort::read(void* byte) {
    if (byte == nullptr || !Valid(handle)) return 0;
    DWORD got = 0;
    if (!ReadFile(HandleOf(handle), byte, 1, &got, nullptr)) return 0;
    return got == 1 ? 1 : 0;
}

int DirectPort::flush() {
    if (!Valid(handle)) return 0;
    return FlushFileBuffers(HandleOf(handle)) ? 1 : 0;
}

int DirectPort::readUpTo256(void* buffer) {
    if (buffer == nullptr) return -1;
    if (!Valid(handle)) return 0;
    DWORD got = 0;
    if (!ReadFile(HandleOf(handle), buffer, 256, &got, nullptr)) {
        (void)GetLastError();
        return 0;
    }
    return static_cast<int>(got);
}

int DirectPort::readOne(void* byte) {
    if (byte == nullptr || !Valid(handle)) return -1;
    DWORD got = 0;
    if (!ReadFile(HandleOf(handle), byte, 1, &got, nullptr)) {
        (void)GetLastError();
        return -1;
    }
    return static_cast<int>(got);
}

}  // namespace zul
