#pragma once
// The serial port library ("COMLINK"): the port every back end (POSIX, Win32,
// the simulated tester) builds on. The link the tester protocol holds and its
// two companions are in serial_link.h, line_settings.h and flow_settings.h.
//
// Conventions that hold for every operation below:
// - Nothing throws. An operation returns 0 (or a count) on success and one of
//   the negative result codes on failure; a failing port operation also records
//   its code in the port's `lastError`.
// - The codes are named by `SerialError`, but every operation returns, and
//   `lastError` holds, a plain int: most results share the int with a count, a
//   byte or a state, and one return type for all keeps the operations alike
//   (a caller tests `< 0`, `== 0` or `== Code(SerialError::SL_NO_DATA)`).
//   Only what can be nothing but a code is typed `SerialError`: what a back
//   end records (`recordError`) and the translation of a platform error.
// - Reads never wait for data that has not arrived: a port read returns at once
//   with what the device already holds. Only the link's `readByte` waits, and
//   only up to its time-out, calling the port's `yield` between polls.
// - Writes never wait for the line: they queue what fits into the transmit
//   queue (2048 bytes) and return the count queued; a short count leaves -805
//   in `lastError`.
// - Single-threaded: all objects of one connection are used from one thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zul {

// ---------------------------------------------------------------------------
// Result codes

// The names of the codes; each value is the code an operation returns.
enum class SerialError : int {
    SL_OK = 0,
    SL_ERROR = -801,             // general failure; every platform error without a better code
    SL_NO_DATA = -802,           // no byte available, or a read time-out ran out
    SL_UNSUPPORTED = -803,       // operation or flow type not supported by this port class
    SL_SHORT_WRITE = -805,       // fewer bytes were queued than asked for
    SL_BREAK_FAILED = -827,      // setting or clearing a break failed
    SL_PORT_UNAVAILABLE = -828,  // port does not exist, is not open or has a hardware fault
    SL_CLOSE_FAILED = -829,      // closing the device failed
    SL_BAD_IN_FLOW = -830,       // input flow type outside the table
    SL_BAD_OUT_FLOW = -832,      // output flow type outside the table; invalid default settings
    SL_NO_MEMORY = -836,         // a working record could not be allocated
    SL_PORT_IN_USE = -838,       // the port is already open in this process
    SL_BAD_BAUD = -839,          // baud rate refused
    SL_BAD_PARITY = -840,        // parity letter not one of N, O, E, M, S
    SL_BAD_STOP_BITS = -841,     // stop bits not 1 or 2
    SL_BAD_DATA_BITS = -842,     // data bits not 4 to 8
};

// The int an operation returns for `error`: the one conversion between the
// two. There is none back and none implicit, so a code cannot pass for a count
// or a byte (nor one of them for a code) unnoticed.
constexpr int Code(SerialError error) { return static_cast<int>(error); }

// The code's name ("SL_NO_DATA"), or nullptr for a value that is none of the above.
const char* ResultCodeName(int code);

// ---------------------------------------------------------------------------
// Signal codes: modem lines, flow-control types and line errors share one numbering.

inline constexpr int SIG_NONE = 0;
inline constexpr int SIG_XONXOFF = 1;
inline constexpr int SIG_DTR = 3;
inline constexpr int SIG_RTS = 4;
inline constexpr int SIG_BREAK = 7;
inline constexpr int SIG_CTS = 12;
inline constexpr int SIG_DSR = 13;
inline constexpr int SIG_RI = 14;
inline constexpr int SIG_CD = 15;
inline constexpr int SIG_DELTA_CTS = 17;
inline constexpr int SIG_DELTA_DSR = 18;
inline constexpr int SIG_DELTA_RI = 19;
inline constexpr int SIG_DELTA_CD = 20;
inline constexpr int SIG_OVERRUN = 25;
inline constexpr int SIG_PARITY_ERROR = 26;
inline constexpr int SIG_FRAMING_ERROR = 27;
inline constexpr int SIG_BREAK_DETECT = 28;
inline constexpr int SIG_RX_OVERFLOW = 31;

// The constant's name ("SIG_CTS"), or nullptr for an unknown code.
const char* SignalName(int code);

// Line-error bits as the platform reports them and as ports accumulate them in
// their line-error word (the values of the Windows CE_* flags).
inline constexpr std::uint32_t kLineRxOverflow = 0x01;
inline constexpr std::uint32_t kLineOverrun = 0x02;
inline constexpr std::uint32_t kLineParity = 0x04;
inline constexpr std::uint32_t kLineFraming = 0x08;
inline constexpr std::uint32_t kLineBreak = 0x10;

// Modem-status bits as ports keep them (the values of the Windows MS_* flags).
inline constexpr std::uint32_t kModemCts = 0x10;
inline constexpr std::uint32_t kModemDsr = 0x20;
inline constexpr std::uint32_t kModemRing = 0x40;
inline constexpr std::uint32_t kModemCd = 0x80;

// ---------------------------------------------------------------------------
// Records

// Filled by `getStatus`. The port only ever sets bits in `holdFlags`, so pass
// the record with the flags at 0.
struct PortStatus {
    std::uint32_t receiveMarker = 0;   // always 1
    std::uint32_t receiveCount = 0;    // bytes waiting in the receive queue
    std::uint32_t receiveSize = 0;     // receive queue size (4096)
    std::uint32_t transmitMarker = 0;  // always 1
    std::uint32_t transmitCount = 0;   // bytes still waiting to be sent
    std::uint32_t transmitSize = 0;    // transmit queue size (2048)
    std::uint32_t holdFlags = 0;       // bit 0: XOFF sent; bit 1: transmission held (CTS, DSR or XOFF received)
};

inline constexpr std::uint32_t kHoldXoffSent = 0x01;
inline constexpr std::uint32_t kHoldTransmit = 0x02;

// Sixteen 2-bit fields, lowest bits first, each 1 when the signal or condition
// is present. Field order: see kSignalRecordOrder.
struct SignalRecord {
    std::uint8_t bytes[4] = {0, 0, 0, 0};

    // Value of field `index` (0 to 15).
    int field(int index) const;
    void setField(int index, int value);
    // Value of the field that holds `signal`; 0 for a code that has no field.
    int get(int signal) const;
};

inline constexpr int kSignalRecordOrder[16] = {
    SIG_DTR,          SIG_RTS,           SIG_BREAK,         SIG_DSR,           //
    SIG_CTS,          SIG_RI,            SIG_CD,            SIG_DELTA_CD,      //
    SIG_DELTA_RI,     SIG_DELTA_CTS,     SIG_DELTA_DSR,     SIG_BREAK_DETECT,  //
    SIG_PARITY_ERROR, SIG_FRAMING_ERROR, SIG_RX_OVERFLOW,   SIG_OVERRUN,
};

// What `checkLineErrors` reports.
using LineErrorWord = std::uint16_t;
inline constexpr LineErrorWord kLineErrorParity = 0x01;
inline constexpr LineErrorWord kLineErrorFraming = 0x02;
inline constexpr LineErrorWord kLineErrorRxOverflow = 0x04;
inline constexpr LineErrorWord kLineErrorOverrun = 0x08;
inline constexpr LineErrorWord kLineErrorBreak = 0x10;

// Receives diagnostic text, one line per call (no line end).
using TextSink = std::function<void(std::string_view line)>;

// Queue sizes the system always asks for.
inline constexpr int kInQueueSize = 4096;
inline constexpr int kOutQueueSize = 2048;

// ---------------------------------------------------------------------------
// Process-wide use counts, one per port index: a port is open in this process
// while its count is not 0. Indexes 0 to kPortUseCountsSize-1 exist; a port
// outside them cannot be opened (-828).
class PortUseCounts {
public:
    static constexpr int kPortUseCountsSize = 256;
    static bool valid(int portIndex) { return portIndex >= 0 && portIndex < kPortUseCountsSize; }
    // 0 for an index outside the table.
    static std::uint16_t count(int portIndex);
    static void add(int portIndex);
    // Takes one when the count is not 0.
    static void release(int portIndex);
};

// ---------------------------------------------------------------------------
// How a back end is handed a line: parity and stop bits in the device-control
// coding (parity 0 none, 1 odd, 2 even, 3 mark, 4 space).
inline constexpr int kStopBitsOne = 0;
inline constexpr int kStopBitsOneAndHalf = 1;
inline constexpr int kStopBitsTwo = 2;

struct LineFormat {
    int baud = 19200;
    int parity = 0;
    int dataBits = 8;
    int stopBits = kStopBitsOne;
};

// ---------------------------------------------------------------------------
// The port. The virtual operations are in their fixed slot order. The base
// checks the arguments, keeps the use count, the modem-line, break and flow
// state and `lastError`, and writes the operations that are the same on every
// device; a back end (POSIX, Win32, the simulated tester) does the device
// work through the protected operations below.
class SerialPort {
public:
    // Zero-based port index (COM number minus 1).
    int portIndex = 0;
    // Reserved for the concrete class.
    int reservedA = 0;
    int reservedB = 0;
    // Code recorded by the last failing operation, 0 when none.
    int lastError = 0;

    // A port that `takesUseCount` holds its index in PortUseCounts from a
    // successful configure to its destruction.
    explicit SerialPort(int index, bool takesUseCount = true) : portIndex(index), takesUseCount_(takesUseCount) {}
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Slot 0. The base part releases the port's use count, but only when this
    // object added to it (see `holdsUseCount`).
    virtual ~SerialPort();

    // Slot 1. Called by every waiting loop between polls. Returns 0, or a
    // negative code that ends the waiting loop with that code. Gives the
    // processor away for a short while (up to about 1 ms) without missing input:
    // a port that can, returns as soon as a byte arrives. Never blocks longer.
    // Waiting loops measure time on CurrentClock(), so under a test clock a
    // port's yield must move that clock (the platform ports call
    // CurrentClock().Sleep(1) then) or the loop would never time out.
    virtual int yield() = 0;
    // Slot 2. Refreshes the accumulated line errors and the modem status. Never blocks.
    virtual void pollStatus() = 0;
    // Slot 3. Opens the device and applies the defaults (19200 baud, 8 data
    // bits, no parity, 1 stop bit, raw, no flow control, reads that return at
    // once). Records -828 for an index outside PortUseCounts, -838 when the
    // port is already open in this process, the open failure, or the failure
    // to apply the settings, in `lastError`.
    virtual void configure();
    // Slot 4. Opens the device handle: 0 or the translated error (recorded).
    virtual int openDevice() = 0;
    // Slot 5. Purges both queues, drops DTR and RTS, closes the handle: 0 or -829 (recorded).
    virtual int closeDevice() = 0;
    // Slot 6. Fills `status` (queue sizes and counts, hold flags). `selector` is
    // ignored by the platform ports. Never blocks.
    virtual void getStatus(PortStatus* status, int selector) = 0;
    // Slot 7. Changes the driver queue sizes (each kept to 16 bits). 0 or a code.
    virtual int setQueueSizes(int inQueueSize, int outQueueSize);
    // Slot 8. Input and output flow-control types (signal codes):
    //   input 0 none, 1 XON/XOFF, 3 DTR, 4 RTS; 13 -> -803; other -> -801 with -830 recorded.
    //   output 0 none, 1 XON/XOFF, 12 CTS, 13 DSR; 15 -> -803; other -> -832.
    // A back end may refuse further types it cannot drive with -803. A refused
    // pair changes nothing.
    virtual int setFlowControl(int inFlow, int outFlow);
    // Slot 9. The types in force. Always 0.
    virtual int getFlowControl(int* inFlow, int* outFlow);
    // Slot 10. state < 0: report the break state; 1: start sending a break;
    // anything else: stop. Returns the (new) state, or -827.
    virtual int setBreak(int state);
    // Slot 11. signal SIG_BREAK: setBreak(value). SIG_DTR/SIG_RTS with value != -1:
    // 0 drops, other raises the line (a device without modem lines is not an
    // error). Then reports: 1 or 0 for DTR, RTS, CTS, DSR, RI, CD and the five
    // line errors; 0 for the four deltas; 2 for any other code.
    virtual int lineControl(int signal, int value);
    // Slot 12. parity one of 'N','O','E','M','S' (else -840); data bits 4..8
    // (else -842); stop bits 1..2 (else -841; 5 data bits always give 1.5 stop
    // bits); a refused argument changes nothing. Then applies: 0, or the
    // translated error (-801) when the device refuses (an unknown baud rate,
    // for example).
    virtual int setLine(int baud, char parity, int dataBits, int stopBits);
    // Slot 13. The line of the working record; stop bits 1.5 report as 1; a
    // parity outside the table reports '\0'.
    virtual void getLine(int* baud, char* parity, int* dataBits, int* stopBits);
    // Slot 14. pollStatus, fills the sixteen fields through lineControl(code, -1),
    // then clears the accumulated line errors and modem status, so that each
    // line error is reported once. Returns 0.
    virtual int readSignals(SignalRecord* record);
    // Slot 15. 0 when queued, else `lastError` (normally -805).
    virtual int writeByte(std::uint8_t byte);
    // Slot 16. writeBlock of the text without its NUL; returns the count queued.
    virtual int writeString(const char* text);
    // Slot 17. Queues min(count, free transmit queue space) bytes without
    // waiting for them to be sent; returns the count queued and records -805
    // when it is below `count`.
    virtual int writeBlock(const void* data, int count) = 0;
    // Slot 18. Sends one byte ahead of the queue: 0, or -801.
    virtual int transmitImmediate(std::uint8_t byte) = 0;
    // Slot 19. The next received byte (0 to 255), or -802 at once when none has arrived.
    virtual int readByte();
    // Slot 20. Up to `count` bytes that have already arrived; 0 when none. Never waits.
    virtual int readBlock(void* buffer, int count) = 0;
    // Slot 21. direction != 0: drop the unsent transmit queue, 0. direction 0,
    // count 0: drop the receive queue, 0. direction 0, count n > 0: read and drop
    // up to n bytes; 0 when the queue ran empty first, -801 after n were dropped.
    virtual int purge(int direction, int count);
    // Slot 22. The port's settings as lines of text.
    virtual void dump(const TextSink& sink) = 0;
    // Slots 23 and 24: no role; -803.
    virtual int reserved23();
    virtual int reserved24();

    // Returns `lastError` and resets it to 0.
    int takeLastError();

protected:
    // What a back end does. None of these is called with an argument outside
    // the tables above; each records its own failure.

    // False when the working copy of the line could not be made (or an
    // empty object was asked for): the line and flow operations then fail
    // with -828.
    virtual bool hasWorkingRecord() const = 0;
    // After a successful openDevice: puts the defaults (`line_` holds the
    // default line by then) on the device.
    virtual void applyDefaults() = 0;
    // Applies a checked pair of flow types: 0, or the code (recorded). -803
    // for a pair the device cannot drive.
    virtual int applyFlow(int inFlow, int outFlow) = 0;
    // Applies a checked line: 0, or the code (recorded). On success it
    // becomes `line_`.
    virtual int applyLine(const LineFormat& line) = 0;
    // Starts (1) or stops (anything else) a break: the state to keep, or a
    // negative value when the device refused.
    virtual int driveBreak(int state) = 0;
    // Raises or drops SIG_DTR or SIG_RTS.
    virtual void driveModemLine(int signal, bool raise) = 0;
    // 1 when the modem status has the kModem* bit, else 0.
    virtual int modemSignal(std::uint32_t modemBit) = 0;
    virtual void dropReceiveQueue() = 0;
    virtual void dropTransmitQueue() = 0;

    // Records `error` in `lastError` and returns its code.
    int recordError(SerialError error) {
        lastError = Code(error);
        return lastError;
    }
    // configure, then DTR and RTS raised when it succeeded: what a new port does.
    void configureAndRaiseLines();
    // Keeps each size to 16 bits.
    void storeQueueSizes(int inQueueSize, int outQueueSize) {
        inQueueSize_ = inQueueSize & 0xFFFF;
        outQueueSize_ = outQueueSize & 0xFFFF;
    }
    bool holdsUseCount() const { return holdsUseCount_; }
    // The lines after the first of a device port's dump.
    void dumpState(const TextSink& sink);

    // State the base keeps for every back end.
    LineFormat line_;  // the line in force: the defaults from configure on, then each applied one
    int inFlow_ = 0;
    int outFlow_ = 0;
    int dtrState_ = 1;
    int rtsState_ = 1;
    std::int16_t breakState_ = 0;
    std::uint32_t lineErrors_ = 0;   // kLine* bits seen since the last readSignals
    std::uint32_t modemStatus_ = 0;  // kModem* bits at the last pollStatus
    int inQueueSize_ = 0;
    int outQueueSize_ = 0;

private:
    bool takesUseCount_ = true;
    bool holdsUseCount_ = false;
};

// Portable helpers shared by the port classes.
// The lineControl report of a line-error signal from an accumulated word of
// kLine* bits: 1 or 0; -1 when `signal` is not a line-error code.
int LineErrorSignalState(std::uint32_t lineErrors, int signal);
// Fills `record` through port.lineControl(code, -1) for each of its sixteen fields.
void FillSignalRecord(SerialPort& port, SignalRecord* record);
// Index of a parity letter in "NOEMS" (the platform parity codes 0 to 4), -1 when none.
int ParityCode(char letter);
// The letter of a parity code 0 to 4, '\0' for any other.
char ParityLetter(int code);

// ---------------------------------------------------------------------------
// Making ports. The platform port for a COM number unless a factory is
// installed (tests and the simulator install one).

using SerialPortFactory = std::function<std::unique_ptr<SerialPort>(int portIndex, int inQueueSize, int outQueueSize)>;

// A port on `portIndex` (COM number minus 1), opened and configured, or closed
// with its failure in lastError. Never null.
std::unique_ptr<SerialPort> CreateSerialPort(int portIndex, int inQueueSize = kInQueueSize,
                                             int outQueueSize = kOutQueueSize);
// Installs `factory` (an empty function restores the platform port).
void SetSerialPortFactory(SerialPortFactory factory);
// The factory installed, empty for the platform port.
SerialPortFactory InstalledSerialPortFactory();

// Installs a factory for the lifetime of the object, then puts back the one
// installed before (tests of the serial and simulator layers).
class ScopedSerialPortFactory {
public:
    explicit ScopedSerialPortFactory(SerialPortFactory factory) : previous_(InstalledSerialPortFactory()) {
        SetSerialPortFactory(std::move(factory));
    }
    ~ScopedSerialPortFactory() { SetSerialPortFactory(std::move(previous_)); }
    ScopedSerialPortFactory(const ScopedSerialPortFactory&) = delete;
    ScopedSerialPortFactory& operator=(const ScopedSerialPortFactory&) = delete;

private:
    SerialPortFactory previous_;
};

}  // namespace zul
