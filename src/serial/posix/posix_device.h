#pragma once
// What both POSIX ports (the serial link's and the COM port test's) do to a
// tty: take it for this program alone, and put a raw line on it.
#include <termios.h>

#include <string>

#include "serial/device_names.h"
#include "serial/serial_port.h"

namespace zul {

// Opens `path` read-write, non-blocking and never as this process's
// controlling terminal, locks it against every other holder and asks for
// exclusive use and low latency. The descriptor, or -1 with the reason
// noted for the user (NoteOpenFailure): missing, permission, busy, not a
// serial device.
int OpenSerialDevice(const std::string& path);
// The reason an open or set-up failure with this errno gives the user.
OpenFailureKind OpenFailureKindOfErrno(int error);
// Gives up exclusive use and closes: the close result (0 on success).
int CloseSerialDevice(int fd);
// Edits `t` into a raw line of `line` without flow control, whose reads return
// at once with what has arrived. False for a line termios cannot carry (an
// unknown speed, 4 data bits).
bool MakeRawLine(termios& t, const LineFormat& line);

}  // namespace zul
