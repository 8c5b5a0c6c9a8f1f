# POSIX: termios, ioctl and flock are in the C library; nothing beyond Threads.
