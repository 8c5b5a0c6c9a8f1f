#pragma once
// Pseudo-terminal pairs for serial tests. The slave is a real tty device that
// a port under test opens by path; the test plays the far end on the master,
// which sees the speed and stop bits the port configured (a pty always carries
// 8 data bits without parity, and has no modem lines).
#include <termios.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace zul::test {

class PtyPair {
public:
    // Opens a master and unlocks its slave. With `holdSlave`, the helper keeps
    // a descriptor of the slave open too, so that the master does not see a
    // hang-up between two openings of the slave by the code under test.
    explicit PtyPair(bool holdSlave = true);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // The line as the far end sees it (termios shared by master and slave).
    termios Attributes() const;
    // Baud rate of the slave's output speed as a number (0 when unknown).
    int Baud() const;
    // 1 or 2.
    int StopBits() const;
    // Changes the slave's line from the far end (for example to check that a
    // port restores what it found).
    bool SetAttributes(const termios& attributes);

    // Far end sends.
    bool Write(const std::string& bytes);
    // What the far end has received within `timeoutMs` milliseconds: returns as
    // soon as `count` bytes are there (a bounded wait on the descriptor).
    std::string Read(std::size_t count, int timeoutMs = 1000);
    // Everything already received, without waiting.
    std::string Drain();

    // Closes the master: the slave then reads end-of-file and fails writes.
    void CloseMaster();

    // A far end that echoes every byte for which `keep` returns true (all when
    // `keep` is empty), on its own thread, until StopEcho or destruction.
    void StartEcho(std::function<bool(std::uint8_t)> keep = {});
    void StopEcho();
    // Bytes the echo thread has received and answered so far.
    std::size_t echoReceived() const { return echoReceived_.load(); }
    // Bytes waiting in the slave's receive queue (needs the held slave).
    int SlaveInputWaiting() const;

private:
    int master_ = -1;
    int heldSlave_ = -1;
    std::string slavePath_;
    std::thread echo_;
    std::atomic<bool> stopEcho_{false};
    std::atomic<std::size_t> echoReceived_{0};
};

// Checks `condition` every millisecond until it holds or `timeoutMs` has
// passed; true when it held. For conditions that another thread or the kernel
// makes true (a far end that has answered, bytes that have crossed the pty).
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000);

// The baud rate of a termios speed constant (0 when unknown).
int BaudOfSpeed(speed_t speed);

}  // namespace zul::test
