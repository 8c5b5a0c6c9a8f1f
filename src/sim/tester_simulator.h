#pragma once
// A simulated KVR 7700 tester: the boot monitor, the uploaded flash monitor,
// the memories and the line, as a deterministic state machine over bytes and
// time. It has no transport and no clock of its own: a transport feeds it the
// bytes the PC sends (with the time and the PC's line speed) and takes the
// bytes the PC would receive by a given time. Same inputs, same outputs.
// It is as strict as the tester: command lines are taken only in their exact
// form (sim/command_line.h), and a block only after the "!" that asks for it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/sim_faults.h"
#include "sim/sim_line.h"
#include "sim/tester_memory.h"

namespace zul::sim {

// Where the PC puts the monitor it uploads: a RAM load and a call at this
// address are that monitor's upload and start.
inline constexpr std::uint32_t kUploadedMonitorAddress = 0x60000;

// How long the tester takes for things. Every value is in milliseconds
// except where the name says otherwise.
struct SimTiming {
    std::uint32_t monitorStartMs = 1500;       // "C" of an uploaded monitor until it listens
    std::uint32_t resetMs = 2000;              // "RS" until the boot monitor listens again
    std::uint32_t sectorEraseMs = 700;         // per 64 KB flash sector
    std::uint32_t cardPageEraseMs = 20;        // per 8 KB card page
    std::uint32_t flashBlockProgramUs = 1300;  // per 128-byte block into flash or card
    std::uint32_t ramBlockUs = 50;             // per 128-byte block into RAM

    // Values close to the real tester: for protocol tests in virtual time.
    static SimTiming Realistic() { return SimTiming{}; }
    // Everything nearly instant: for demonstrations on a real clock.
    static SimTiming Fast() { return SimTiming{20, 20, 5, 1, 0, 0}; }
};

struct SimOptions {
    SimTiming timing;
    std::vector<Fault> faults;
    std::uint64_t seed = 1;
    // What "RS" leads to: the boot monitor again (default) or, as a real
    // tester does after a download, the application, silent until power-cycled.
    bool resetBootsApplication = false;
    // The battery's A/D reading: a "BV xx" test passes when it is at least xx.
    std::uint8_t batteryLevel = 0xC8;
    std::string identifier = "ZIZ2";
};

enum class SimState {
    BootMonitor,      // the tester's own monitor, as after power-up with Up Arrow held
    MonitorStarting,  // an uploaded monitor was called and is not listening yet
    UploadedMonitor,  // the uploaded flash monitor runs
    Resetting,        // "RS" (or a fault) restarts the tester
    Application,      // code other than a monitor runs: the tester says nothing
};
const char* SimStateName(SimState state);

struct TranscriptEntry {
    enum class Kind { Command, Event };
    Kind kind = Kind::Command;
    SimNanos time = 0;  // when the line ended (command) or the event happened
    int baud = 0;       // the tester's speed at that moment
    SimState state = SimState::BootMonitor;
    std::string text;    // the command line without CR, or the event's description
    std::string answer;  // every byte the tester sent for this entry, in order
};

// A block transfer that ended (completed or not).
struct TransferRecord {
    enum class Target { Ram, Flash, Card };
    Target target = Target::Ram;
    std::uint32_t address = 0;     // RAM/flash address, or first card page
    std::uint32_t blocks = 0;      // announced
    std::uint32_t accepted = 0;    // blocks with a good check word that were stored
    bool complete = false;
};

class TesterSimulator {
public:
    explicit TesterSimulator(SimOptions options = {});

    // The PC starts sending `count` bytes at `at` (after whatever it still
    // sends), at `pcBaud`. Times must not go backwards across calls.
    void Receive(const std::uint8_t* data, std::size_t count, SimNanos at, int pcBaud);
    void Receive(const std::string& text, SimNanos at, int pcBaud) {
        Receive(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), at, pcBaud);
    }
    // Runs the tester up to `now`.
    void AdvanceTo(SimNanos now);
    // Runs the tester up to `now` and returns the bytes a PC receiver at
    // `pcBaud` has by then (garbled when the speeds differ).
    std::vector<std::uint8_t> TakeOutput(SimNanos now, int pcBaud);
    std::string TakeOutputText(SimNanos now, int pcBaud);
    // PC bytes not yet completely on the wire at `now`.
    std::size_t PcBytesInFlight(SimNanos now) const { return toTester_.InFlight(now); }
    // Drops the PC bytes that have not started by `now` (PC transmit purge).
    void DropPcUnsent(SimNanos now) { toTester_.DropUnsent(now); }
    // The earliest moment after `now` at which the tester may do or send
    // something without further input; kNever when it just waits.
    SimNanos NextActivity(SimNanos now) const;
    // Power off and on with the Up Arrow held: boot monitor at 9600, RAM
    // contents and the uploaded monitor gone, flash and card kept.
    void PowerCycle(SimNanos at);

    // Inspection.
    SimState state() const { return state_; }
    int baud() const { return baud_; }
    SimNanos now() const { return now_; }
    const std::vector<TranscriptEntry>& transcript() const { return transcript_; }
    const std::vector<TransferRecord>& transfers() const { return transfers_; }
    const TesterMemory& memory() const { return memory_; }
    TesterMemory& memory() { return memory_; }
    const SimOptions& options() const { return options_; }
    std::uint32_t commandCount() const { return commandCount_; }
    // The names of the faults that have acted so far, in order.
    const std::vector<std::string>& firedFaults() const { return fired_; }

private:
    enum class Input { Command, Block };
    struct Pending {
        enum class What { None, EraseDone, BlockProgrammed, MonitorUp, ResetDone, SwitchBaud };
        What what = What::None;
        SimNanos time = 0;
        bool hearsInput = false;  // bytes received meanwhile are kept (UART FIFO) rather than lost
        bool eraseFails = false;
        int newBaud = 0;
    };
    struct Transfer {
        TransferRecord record;
        std::uint32_t index = 0;  // next block, from 0
        std::uint32_t byteAddress = 0;
        std::vector<std::uint8_t> buffer;
    };

    void HandleByte(std::uint8_t byte, SimNanos at);
    void HandleLine(const std::string& line, SimNanos at);
    void HandleBlock(SimNanos at);

    // One handler per command of the monitors' command table.
    using Handler = void (TesterSimulator::*)(const CommandLine& command, SimNanos at);
    struct CommandHandler {
        CommandName name;
        Handler run;
    };
    static const CommandHandler kCommandHandlers[];
    void OnVersion(const CommandLine& command, SimNanos at);
    void OnIdentify(const CommandLine& command, SimNanos at);
    void OnBaudRate(const CommandLine& command, SimNanos at);
    void OnLoadRam(const CommandLine& command, SimNanos at);
    void OnCall(const CommandLine& command, SimNanos at);
    void OnMonitorVersion(const CommandLine& command, SimNanos at);
    void OnFlashErase(const CommandLine& command, SimNanos at);
    void OnFlashLoad(const CommandLine& command, SimNanos at);
    void OnCardErase(const CommandLine& command, SimNanos at);
    void OnCardLoad(const CommandLine& command, SimNanos at);
    void OnBattery(const CommandLine& command, SimNanos at);
    void OnReset(const CommandLine& command, SimNanos at);
    void AnswerUnknown(SimNanos at);
    void Echo(const std::string& text, SimNanos at);
    void ClearLine();
    void StartErase(SimNanos at, SimNanos duration, bool card, std::uint32_t first, std::uint32_t count);
    void StartTransfer(TransferRecord::Target target, std::uint32_t address, std::uint32_t blocks,
                       std::uint32_t byteAddress, SimNanos at);
    void RequestBlock(SimNanos at);
    void FinishTransfer(SimNanos at, bool complete, const std::string& why);
    void RunPending(SimNanos at);
    void StartReset(SimNanos at, const std::string& why);
    void Emit(const std::string& text, SimNanos at);
    void EmitError(const std::string& message, SimNanos at);
    void Event(const std::string& text, SimNanos at);
    void Fire(const Fault& fault);
    std::uint8_t MaybeGarble(std::uint8_t byte);
    double NextRandom();
    const Fault* CommandFault(FaultKind kind) const;
    const Fault* BlockFault(FaultKind kind, std::uint32_t block) const;
    bool Deaf() const { return cablePulled_ || silent_; }

    SimOptions options_;
    TesterMemory memory_;
    SimLine toTester_;
    SimLine toPc_;
    SimNanos now_ = 0;
    SimNanos pcSendFloor_ = 0;
    int baud_ = 9600;
    SimState state_ = SimState::BootMonitor;
    Input input_ = Input::Command;
    std::string line_;  // the line being typed, up to one byte past the longest kept
    std::string echo_;  // the echo of the line being typed, for the transcript
    bool lineStarted_ = false;
    std::size_t answerIndex_ = ~std::size_t{0};
    // The earliest moment a byte of the requested block can have arrived: one
    // that arrives earlier was sent before the PC had the "!" asking for it.
    SimNanos blockAllowedFrom_ = 0;
    std::optional<Transfer> transfer_;
    Pending pending_;
    std::vector<ReceivedByte> fifo_;
    std::vector<TranscriptEntry> transcript_;
    std::vector<TransferRecord> transfers_;
    std::vector<std::string> fired_;
    // Start addresses of complete RAM transfers, with their sizes.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> loadedImages_;
    std::uint32_t commandCount_ = 0;
    std::uint64_t random_;
    bool cablePulled_ = false;
    bool silent_ = false;
};

}  // namespace zul::sim

namespace zul::sim {

// The check word of a 128-byte data block: the two's-complement negation of
// the sum of its 64 big-endian 16-bit words, so that all 65 words sum to 0.
std::uint16_t BlockCheckWord(const std::uint8_t* data128);
// The 130 bytes on the wire for 128 data bytes.
std::vector<std::uint8_t> MakeBlock(const std::uint8_t* data128);
// True when the 65 words of a 130-byte block sum to 0 modulo 65536.
bool BlockCheckWordValid(const std::uint8_t* block130);

}  // namespace zul::sim
