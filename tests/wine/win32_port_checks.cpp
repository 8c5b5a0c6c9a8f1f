// Checks of the Windows serial back end that need Windows (or Wine) to run:
// the reading of Windows error numbers, the port lock within a process and
// across processes, and the reason given when a device is not a serial port.
// tools/test.d/wine.sh runs it with COM1 on a pseudo-terminal:
//   zul_win32_checks.exe NOT_A_PORT_FILE
// Exit status 0 when every check held; each failure is printed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "serial/device_names.h"
#include "serial/direct_port.h"
#include "serial/serial_devices.h"
#include "serial/serial_port.h"
#include "serial/win32/win32_port_support.h"
#include "serial/win32/win32_serial_port.h"

namespace {

using namespace zul;

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    if (ok) return;
    ++g_failures;
    std::printf("FAILED: %s\n", what.c_str());
}

void ErrorNumbers() {
    const struct {
        DWORD error;
        SerialError code;
        OpenFailureKind kind;
    } kTable[] = {
        {ERROR_FILE_NOT_FOUND, SerialError::SL_PORT_UNAVAILABLE, OpenFailureKind::kMissing},
        {ERROR_PATH_NOT_FOUND, SerialError::SL_PORT_UNAVAILABLE, OpenFailureKind::kMissing},
        {ERROR_ACCESS_DENIED, SerialError::SL_PORT_IN_USE, OpenFailureKind::kBusy},
        {ERROR_SHARING_VIOLATION, SerialError::SL_PORT_IN_USE, OpenFailureKind::kBusy},
        {ERROR_NOT_ENOUGH_MEMORY, SerialError::SL_NO_MEMORY, OpenFailureKind::kOther},
        {ERROR_INVALID_FUNCTION, SerialError::SL_UNSUPPORTED, OpenFailureKind::kNotSerial},
        {ERROR_INVALID_PARAMETER, SerialError::SL_ERROR, OpenFailureKind::kNotSerial},
        {ERROR_GEN_FAILURE, SerialError::SL_PORT_UNAVAILABLE, OpenFailureKind::kOther},
        {12345, SerialError::SL_ERROR, OpenFailureKind::kOther},
    };
    for (const auto& row : kTable) {
        Check(TranslateWindowsError(row.error) == row.code, "result code of error " + std::to_string(row.error));
        Check(OpenFailureKindOf(row.error) == row.kind, "reason of error " + std::to_string(row.error));
        // The port's own translation reads the thread's last error.
        Win32SerialPort empty(0, 4096, 2048, 1);
        SetLastError(row.error);
        Check(empty.translateSystemError() == row.code, "translateSystemError of " + std::to_string(row.error));
    }
    Check(PortLockName("\\\\.\\com12") == "COM12" && PortLockName("COM3") == "COM3" &&
              PortLockName("Z:\\tmp\\x") == "Z:\\tmp\\x",
          "lock names");
}

void PortAdvice() {
    // The settings file's "Devices" means nothing to the Windows build.
    Check(UnnamedDeviceAdvice("\\\\.\\COM12") == "use one with --port N, e.g. --port 12",
          "advice for COM12: " + UnnamedDeviceAdvice("\\\\.\\COM12"));
}

void LockWithinOneProcess() {
    PortLock first, second;
    Check(first.acquire("COM7"), "a free port is locked");
    Check(!second.acquire("\\\\.\\com7"), "the same port under another spelling is refused");
    Check(second.acquire("COM8"), "another port is free");
    first.release();
    Check(second.acquire("COM7"), "a released port is free again");
}

// The child: tries COM1 both ways while the parent holds it.
int Child() {
    {
        Win32SerialPort port(0, 4096, 2048);
        Check(port.lastError != 0, "a second process opens a port that the first holds");
        Check(LastOpenFailure().kind == OpenFailureKind::kBusy, "the refusal says busy");
        Check(DescribeOpenFailure(LastOpenFailure()) == "COM1: busy, another program holds the port.",
              "busy message: " + DescribeOpenFailure(LastOpenFailure()));
    }
    DirectPort direct;
    Check(direct.open("COM1", 9600, 8, 0, 0) == 0, "the test's port is refused as well");
    Check(LastOpenFailure().kind == OpenFailureKind::kBusy, "the test's refusal says busy");
    return g_failures == 0 ? 0 : 1;
}

void LockAcrossProcesses() {
    Win32SerialPort port(0, 4096, 2048);
    Check(port.lastError == 0, "COM1 opens (it must lead to a pseudo-terminal)");
    if (port.lastError != 0) return;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string command = std::string("\"") + self + "\" --child";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        Check(false, "start the second process");
        return;
    }
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Check(ended && status == 0, "the second process is refused the port");
}

void ReleasedWithTheProcess() {
    // After the holder above has closed, the port is free for the next one.
    Win32SerialPort port(0, 4096, 2048);
    Check(port.lastError == 0, "COM1 opens again once closed");
}

void NotASerialDevice(const std::string& file) {
    SetDeviceOverride(file);
    {
        Win32SerialPort port(0, 4096, 2048);
        Check(port.lastError != 0, "a plain file does not open as a port");
        Check(LastOpenFailure().kind == OpenFailureKind::kNotSerial,
              "a plain file is not a serial device: " + DescribeOpenFailure(LastOpenFailure()));
    }
    SetDeviceOverride("");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--child") return Child();
    if (argc != 2) {
        std::fprintf(stderr, "usage: zul_win32_checks NOT_A_PORT_FILE\n");
        return 2;
    }
    ErrorNumbers();
    PortAdvice();
    LockWithinOneProcess();
    LockAcrossProcesses();
    ReleasedWithTheProcess();
    NotASerialDevice(argv[1]);
    std::printf("%s\n", g_failures == 0 ? "win32 checks passed" : "win32 checks FAILED");
    return g_failures == 0 ? 0 : 1;
}
