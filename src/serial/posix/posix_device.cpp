#include "serial/posix/posix_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cerrno>

#include "serial/device_names.h"

namespace zul {
namespace {

struct SpeedEntry {
    int baud;
    speed_t speed;
};

const SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool SpeedOfBaud(int baud, speed_t* speed) {
    for (const auto& entry : kSpeeds)
        if (entry.baud == baud) {
            *speed = entry.speed;
            return true;
        }
    return false;
}

}  // namespace

OpenFailureKind OpenFailureKindOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO: return OpenFailureKind::kMissing;
        case EACCES:
        case EPERM: return OpenFailureKind::kPermission;
        case EBUSY:
        case EWOULDBLOCK: return OpenFailureKind::kBusy;
        case ENOTTY:
        case EISDIR: return OpenFailureKind::kNotSerial;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return OpenFailureKind::kMissing;
        default: return OpenFailureKind::kOther;
    }
}

namespace {

// USB serial adapters hold received bytes for up to 16 ms unless asked not to.
// A driver that refuses (or a device that has no such setting) keeps its latency.
void RequestLowLatency(int fd) {
#if defined(__linux__) && defined(TIOCGSERIAL) && defined(ASYNC_LOW_LATENCY)
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    if (info.flags & ASYNC_LOW_LATENCY) return;
    info.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &info);
#else
    (void)fd;
#endif
}

int Refuse(int fd, OpenFailureKind kind, const std::string& path, int error) {
    close(fd);
    NoteOpenFailure({kind, path, error});
    return -1;
}

}  // namespace

int OpenSerialDevice(const std::string& path) {
    ClearOpenFailure();
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd == 0) {
        // Callers that keep the descriptor as a handle take 0 for closed.
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        close(fd);
        fd = moved;
    }
    if (fd < 0) {
        NoteOpenFailure({OpenFailureKindOfErrno(errno), path, errno});
        return -1;
    }
    // Exclusive use across processes: the advisory lock holds against every
    // cooperating program, root included; TIOCEXCL also keeps out programs that
    // do not lock (but not root).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return Refuse(fd, OpenFailureKind::kBusy, path, errno);
    if (!isatty(fd)) return Refuse(fd, OpenFailureKind::kNotSerial, path, errno);
    ioctl(fd, TIOCEXCL);
    RequestLowLatency(fd);
    return fd;
}

int CloseSerialDevice(int fd) {
    ioctl(fd, TIOCNXCL);
    return close(fd);
}

bool MakeRawLine(termios& t, const LineFormat& line) {
    speed_t speed;
    if (!SpeedOfBaud(line.baud, &speed)) return false;
    tcflag_t size;
    switch (line.dataBits) {
        case 5: size = CS5; break;
        case 6: size = CS6; break;
        case 7: size = CS7; break;
        case 8: size = CS8; break;
        default: return false;  // termios has no 4-bit characters
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
#ifdef CRTSCTS
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    t.c_cflag |= CREAD | CLOCAL | size;
    switch (line.parity) {
        case 0: break;
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
#ifdef CMSPAR
        case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: t.c_cflag |= PARENB | CMSPAR; break;
#endif
        default: return false;
    }
    // Two stop bits on five-bit characters are one and a half on the line.
    if (line.stopBits != kStopBitsOne) t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return cfsetispeed(&t, speed) == 0 && cfsetospeed(&t, speed) == 0;
}

}  // namespace zul
