#include "sim/tester_simulator.h"

#include <algorithm>
#include <cstdio>

namespace zul::sim {
namespace {

constexpr std::size_t kBlockBytes = 130;
// The transcript keeps this much of a line's echo (the tester echoes all of it).
constexpr std::size_t kMaxEchoKept = 1024;

const char* const kBootBanner = "KVR 7700 boot monitor 3.2 (simulated)\r\n";
const char* const kFlashBanner = "KVR 7700 flash monitor 1.0 (simulated)\r\n";

std::string Hex(std::uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(v));
    return buffer;
}

const char* TargetName(TransferRecord::Target t) {
    switch (t) {
        case TransferRecord::Target::Ram: return "RAM";
        case TransferRecord::Target::Flash: return "flash";
        case TransferRecord::Target::Card: return "card page";
    }
    return "?";
}

}  // namespace

std::uint16_t BlockCheckWord(const std::uint8_t* data128) {
    std::uint32_t sum = 0;
    for (int k = 0; k < 64; ++k) sum += (static_cast<std::uint32_t>(data128[2 * k]) << 8) | data128[2 * k + 1];
    return static_cast<std::uint16_t>((0x10000u - (sum & 0xFFFFu)) & 0xFFFFu);
}

std::vector<std::uint8_t> MakeBlock(const std::uint8_t* data128) {
    std::vector<std::uint8_t> block(data128, data128 + 128);
    const std::uint16_t check = BlockCheckWord(data128);
    block.push_back(static_cast<std::uint8_t>(check >> 8));
    block.push_back(static_cast<std::uint8_t>(check & 0xFF));
    return block;
}

bool BlockCheckWordValid(const std::uint8_t* block130) {
    std::uint32_t sum = 0;
    for (int k = 0; k < 65; ++k) sum += (static_cast<std::uint32_t>(block130[2 * k]) << 8) | block130[2 * k + 1];
    return (sum & 0xFFFFu) == 0;
}

const char* SimStateName(SimState state) {
    switch (state) {
        case SimState::BootMonitor: return "boot monitor";
        case SimState::MonitorStarting: return "monitor starting";
        case SimState::UploadedMonitor: return "uploaded monitor";
        case SimState::Resetting: return "resetting";
        case SimState::Application: return "application";
    }
    return "?";
}

TesterSimulator::TesterSimulator(SimOptions options)
    : options_(std::move(options)), random_(options_.seed ^ 0x9E3779B97F4A7C15ull) {
    for (const Fault& f : options_.faults) {
        if (f.kind == FaultKind::Silent && f.command == 0) {
            silent_ = true;
            Fire(f);
        }
    }
}

double TesterSimulator::NextRandom() {
    // splitmix64: the same sequence on every platform for a given seed.
    std::uint64_t z = (random_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

const Fault* TesterSimulator::CommandFault(FaultKind kind) const {
    for (const Fault& f : options_.faults) {
        if (f.kind == kind && f.block == 0 && (f.command == 0 || f.command == commandCount_)) return &f;
    }
    return nullptr;
}

const Fault* TesterSimulator::BlockFault(FaultKind kind, std::uint32_t block) const {
    for (const Fault& f : options_.faults) {
        if (f.kind == kind && f.block != 0 && f.block == block) return &f;
    }
    return nullptr;
}

void TesterSimulator::Fire(const Fault& fault) {
    const std::string name = FormatFault(fault);
    if (std::find(fired_.begin(), fired_.end(), name) == fired_.end()) fired_.push_back(name);
}

std::uint8_t TesterSimulator::MaybeGarble(std::uint8_t byte) {
    for (const Fault& f : options_.faults) {
        if (f.kind == FaultKind::Garble && f.probability > 0.0) {
            const double r = NextRandom();
            if (r < f.probability) {
                Fire(f);
                byte = static_cast<std::uint8_t>(byte ^ (1u << static_cast<unsigned>(NextRandom() * 8.0)));
            }
        }
    }
    return byte;
}

void TesterSimulator::Receive(const std::uint8_t* data, std::size_t count, SimNanos at, int pcBaud) {
    at = std::max(at, now_);
    AdvanceTo(at);
    for (std::size_t i = 0; i < count; ++i) toTester_.Send(data[i], at, pcBaud);
}

void TesterSimulator::AdvanceTo(SimNanos now) {
    now = std::max(now, now_);
    for (;;) {
        const bool busy = pending_.what != Pending::What::None;
        if (!busy && !fifo_.empty()) {
            const ReceivedByte b = fifo_.front();
            fifo_.erase(fifo_.begin());
            HandleByte(b.value, std::max(b.time, now_));
            continue;
        }
        const SimNanos actionTime = busy ? pending_.time : kNever;
        if (auto rb = toTester_.Receive(std::min(now, actionTime), baud_)) {
            if (Deaf()) continue;
            rb->value = MaybeGarble(rb->value);
            now_ = std::max(now_, rb->time);
            if (busy) {
                if (pending_.hearsInput) fifo_.push_back(*rb);
            } else if (state_ == SimState::BootMonitor || state_ == SimState::UploadedMonitor) {
                HandleByte(rb->value, rb->time);
            }
            continue;
        }
        if (busy && actionTime <= now) {
            now_ = std::max(now_, actionTime);
            RunPending(actionTime);
            continue;
        }
        break;
    }
    now_ = now;
}

std::vector<std::uint8_t> TesterSimulator::TakeOutput(SimNanos now, int pcBaud) {
    AdvanceTo(now);
    std::vector<std::uint8_t> out;
    while (auto rb = toPc_.Receive(now_, pcBaud)) out.push_back(rb->value);
    return out;
}

std::string TesterSimulator::TakeOutputText(SimNanos now, int pcBaud) {
    const auto bytes = TakeOutput(now, pcBaud);
    return std::string(bytes.begin(), bytes.end());
}

SimNanos TesterSimulator::NextActivity(SimNanos now) const {
    SimNanos next = kNever;
    if (pending_.what != Pending::What::None) next = std::max(pending_.time, now);
    next = std::min(next, toPc_.NextFrameEnd(now));
    next = std::min(next, toTester_.NextFrameEnd(now));
    if (next != kNever && next <= now) next = now + 1;
    return next;
}

void TesterSimulator::PowerCycle(SimNanos at) {
    AdvanceTo(at);
    if (transfer_) FinishTransfer(now_, false, "power off");
    pending_ = Pending{};
    toPc_.DropUnsent(now_);  // what was still queued in the UART is gone
    fifo_.clear();
    ClearLine();
    input_ = Input::Command;
    memory_.ClearRam();
    loadedImages_.clear();
    state_ = SimState::BootMonitor;
    baud_ = 9600;
    Event("power cycled: boot monitor at 9600", now_);
}

void TesterSimulator::Emit(const std::string& text, SimNanos at) {
    if (Deaf()) return;
    if (answerIndex_ < transcript_.size()) transcript_[answerIndex_].answer += text;
    for (char c : text) toPc_.Send(MaybeGarble(static_cast<std::uint8_t>(c)), at, baud_);
}

void TesterSimulator::EmitError(const std::string& message, SimNanos at) { Emit("*" + message + "*\r\n>", at); }

void TesterSimulator::Event(const std::string& text, SimNanos at) {
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::Event;
    e.time = at;
    e.baud = baud_;
    e.state = state_;
    e.text = text;
    transcript_.push_back(std::move(e));
}

void TesterSimulator::HandleByte(std::uint8_t byte, SimNanos at) {
    if (input_ == Input::Block) {
        if (at >= blockAllowedFrom_) {
            transfer_->buffer.push_back(byte);
            if (transfer_->buffer.size() == kBlockBytes) HandleBlock(at);
            return;
        }
        // Sent before the tester asked for it: the monitor is not reading a
        // block, so the transfer ends and the bytes are read as a command line.
        FinishTransfer(at, false,
                       "block " + std::to_string(transfer_->index + 1) + " sent before the tester asked for it");
    }
    if (!lineStarted_) {
        // A new command line begins: faults tied to it act from its first byte.
        const std::uint32_t number = commandCount_ + 1;
        for (const Fault& f : options_.faults) {
            if (f.command != number) continue;
            if (f.kind == FaultKind::Silent) {
                silent_ = true;
                Fire(f);
                Event("fault: tester stops answering", at);
            } else if (f.kind == FaultKind::CablePull) {
                cablePulled_ = true;
                Fire(f);
                Event("fault: cable pulled", at);
            }
        }
        if (Deaf()) return;
        lineStarted_ = true;
    }
    if (byte == '\r') {
        // Only a carriage return ends a line; whatever else came is part of it.
        const std::string line = line_;
        line_.clear();
        lineStarted_ = false;
        ++commandCount_;
        TranscriptEntry e;
        e.kind = TranscriptEntry::Kind::Command;
        e.time = at;
        e.baud = baud_;
        e.state = state_;
        e.text = line;
        e.answer = echo_;
        echo_.clear();
        transcript_.push_back(std::move(e));
        answerIndex_ = transcript_.size() - 1;
        Emit("\r\n", at);
        HandleLine(line, at);
        return;
    }
    // Every byte is echoed as it arrived; a line longer than the monitor
    // keeps is refused at its end.
    if (line_.size() <= kMaxCommandLine) line_ += static_cast<char>(byte);
    if (echo_.size() < kMaxEchoKept) echo_ += static_cast<char>(byte);
    Echo(std::string(1, static_cast<char>(byte)), at);
}

void TesterSimulator::ClearLine() {
    line_.clear();
    echo_.clear();
    lineStarted_ = false;
}

void TesterSimulator::Echo(const std::string& text, SimNanos at) {
    if (Deaf()) return;
    for (char c : text) toPc_.Send(MaybeGarble(static_cast<std::uint8_t>(c)), at, baud_);
}

const TesterSimulator::CommandHandler TesterSimulator::kCommandHandlers[] = {
    {CommandName::Version, &TesterSimulator::OnVersion},
    {CommandName::Identify, &TesterSimulator::OnIdentify},
    {CommandName::BaudRate, &TesterSimulator::OnBaudRate},
    {CommandName::LoadRam, &TesterSimulator::OnLoadRam},
    {CommandName::Call, &TesterSimulator::OnCall},
    {CommandName::MonitorVersion, &TesterSimulator::OnMonitorVersion},
    {CommandName::FlashErase, &TesterSimulator::OnFlashErase},
    {CommandName::FlashLoad, &TesterSimulator::OnFlashLoad},
    {CommandName::CardErase, &TesterSimulator::OnCardErase},
    {CommandName::CardLoad, &TesterSimulator::OnCardLoad},
    {CommandName::Battery, &TesterSimulator::OnBattery},
    {CommandName::Reset, &TesterSimulator::OnReset},
};

void TesterSimulator::HandleLine(const std::string& line, SimNanos at) {
    if (const Fault* f = CommandFault(FaultKind::Reset); f && f->command != 0) {
        Fire(*f);
        StartReset(at, "fault: tester resets itself");
        return;
    }
    const std::optional<CommandLine> command = ParseCommandLine(line);
    const bool flashMonitor = state_ == SimState::UploadedMonitor;
    if (!command || !(flashMonitor ? command->form->uploadedMonitor : command->form->bootMonitor)) {
        AnswerUnknown(at);
        return;
    }
    for (const CommandHandler& handler : kCommandHandlers) {
        if (handler.name == command->form->name) {
            (this->*handler.run)(*command, at);
            return;
        }
    }
    AnswerUnknown(at);
}

void TesterSimulator::AnswerUnknown(SimNanos at) { EmitError("UNKNOWN COMMAND", at); }

void TesterSimulator::OnVersion(const CommandLine&, SimNanos at) {
    Emit(std::string(state_ == SimState::UploadedMonitor ? kFlashBanner : kBootBanner) + ">", at);
}

void TesterSimulator::OnIdentify(const CommandLine&, SimNanos at) {
    std::string id = options_.identifier;
    if (const Fault* f = CommandFault(FaultKind::WrongId)) {
        Fire(*f);
        id = f->text;
    }
    Emit(id + " KVR 7700 PowerPC (simulated)\r\n>", at);
}

void TesterSimulator::OnBaudRate(const CommandLine& command, SimNanos at) {
    static const std::uint32_t kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    const std::uint32_t rate = command.args[0];
    if (std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates)) {
        EmitError("BAD BAUD RATE", at);
    } else if (const Fault* f = CommandFault(FaultKind::IgnoreBaud)) {
        Fire(*f);
        Emit(">", at);
    } else {
        // The echo leaves at the old speed; then both directions switch.
        pending_ = Pending{};
        pending_.what = Pending::What::SwitchBaud;
        pending_.time = std::max(at, toPc_.freeAt());
        pending_.hearsInput = true;
        pending_.newBaud = static_cast<int>(rate);
    }
}

void TesterSimulator::OnLoadRam(const CommandLine& command, SimNanos at) {
    const std::uint32_t a = command.args[0];
    const std::uint32_t b = command.args[1];
    if (a == kUploadedMonitorAddress && std::any_of(options_.faults.begin(), options_.faults.end(),
                                                [](const Fault& f) { return f.kind == FaultKind::RefuseMonitor; })) {
        for (const Fault& f : options_.faults) {
            if (f.kind == FaultKind::RefuseMonitor) Fire(f);
        }
        EmitError("UPLOAD REFUSED", at);
        return;
    }
    // Whatever was loaded where these bytes go is no longer intact.
    const std::uint64_t end = static_cast<std::uint64_t>(a) + (b / 128) * 128;
    loadedImages_.erase(std::remove_if(loadedImages_.begin(), loadedImages_.end(),
                                       [&](const auto& img) {
                                           const std::uint64_t imgEnd = static_cast<std::uint64_t>(img.first) + img.second;
                                           return img.first < end && a < imgEnd;
                                       }),
                        loadedImages_.end());
    StartTransfer(TransferRecord::Target::Ram, a, b / 128, a, at);
}

void TesterSimulator::OnCall(const CommandLine& command, SimNanos at) {
    const std::uint32_t a = command.args[0];
    const bool monitor = a == kUploadedMonitorAddress &&
                         std::any_of(loadedImages_.begin(), loadedImages_.end(),
                                     [&](const auto& img) { return img.first == a && img.second > 0; });
    if (monitor) {
        std::uint32_t delay = options_.timing.monitorStartMs;
        for (const Fault& f : options_.faults) {
            if (f.kind == FaultKind::LateMonitor) {
                Fire(f);
                delay = f.delayMs;
            }
        }
        state_ = SimState::MonitorStarting;
        pending_ = Pending{};
        pending_.what = Pending::What::MonitorUp;
        pending_.time = std::max(at, toPc_.freeAt()) + delay * kNanosPerMs;
        Event("monitor image started at " + Hex(a), at);
    } else {
        state_ = SimState::Application;
        Event("code started at " + Hex(a) + ": the tester runs it and stops answering", at);
    }
}

void TesterSimulator::OnMonitorVersion(const CommandLine&, SimNanos at) { Emit("FLASH MONITOR 1.0\r\n>", at); }

void TesterSimulator::OnFlashErase(const CommandLine& command, SimNanos at) {
    const std::uint32_t a = command.args[0];
    const bool bank = command.argCount == 2;
    const std::uint32_t b = bank ? command.args[1] : 0;
    const std::uint64_t last = static_cast<std::uint64_t>(a) + (bank && b > 0 ? b - 1 : 0);
    const std::uint32_t sectors =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(last, 0xFFFFFFFFull) / kFlashSectorSize - a / kFlashSectorSize + 1);
    StartErase(at, static_cast<SimNanos>(sectors) * options_.timing.sectorEraseMs * kNanosPerMs, false, a, b);
}

void TesterSimulator::OnFlashLoad(const CommandLine& command, SimNanos at) {
    StartTransfer(TransferRecord::Target::Flash, command.args[0], command.args[1] / 128, command.args[0], at);
}

void TesterSimulator::OnCardErase(const CommandLine& command, SimNanos at) {
    const std::uint32_t first = command.args[0];
    const std::uint32_t pages = command.args[1];
    if (!TesterMemory::CardRangeValid(first, pages)) {
        EmitError("BAD PAGE RANGE", at);
    } else {
        StartErase(at, static_cast<SimNanos>(pages) * options_.timing.cardPageEraseMs * kNanosPerMs, true, first, pages);
    }
}

void TesterSimulator::OnCardLoad(const CommandLine& command, SimNanos at) {
    const std::uint32_t first = command.args[0];
    const std::uint32_t pages = command.args[1];
    if (!TesterMemory::CardRangeValid(first, pages)) {
        EmitError("BAD PAGE RANGE", at);
    } else {
        StartTransfer(TransferRecord::Target::Card, first, pages * (kCardPageSize / 128), first * kCardPageSize, at);
    }
}

void TesterSimulator::OnBattery(const CommandLine& command, SimNanos at) {
    std::uint32_t level = options_.batteryLevel;
    if (const Fault* f = CommandFault(FaultKind::LowBattery)) {
        Fire(*f);
        level = 0;
    }
    if (level >= command.args[0]) {
        Emit("BATTERY OK\r\n>", at);
    } else {
        EmitError("BATTERY LOW", at);
    }
}

void TesterSimulator::OnReset(const CommandLine&, SimNanos at) { StartReset(at, "reset command"); }

void TesterSimulator::StartErase(SimNanos at, SimNanos duration, bool card, std::uint32_t first, std::uint32_t count) {
    pending_ = Pending{};
    pending_.what = Pending::What::EraseDone;
    pending_.time = at + duration;
    pending_.hearsInput = true;
    if (const Fault* f = CommandFault(FaultKind::EraseError)) {
        Fire(*f);
        pending_.eraseFails = true;
        return;
    }
    if (card) {
        memory_.EraseCard(first, count);
    } else {
        memory_.EraseFlash(first, count);
    }
}

void TesterSimulator::StartTransfer(TransferRecord::Target target, std::uint32_t address, std::uint32_t blocks,
                                    std::uint32_t byteAddress, SimNanos at) {
    Transfer t;
    t.record.target = target;
    t.record.address = address;
    t.record.blocks = blocks;
    t.byteAddress = byteAddress;
    transfer_ = std::move(t);
    if (blocks == 0) {
        FinishTransfer(at, true, "");
        Emit(">", at);
        return;
    }
    input_ = Input::Block;
    RequestBlock(at);
}

void TesterSimulator::RequestBlock(SimNanos at) {
    const std::uint32_t block = transfer_->index + 1;
    if (const Fault* f = BlockFault(FaultKind::CablePull, block)) {
        Fire(*f);
        Event("fault: cable pulled before block " + std::to_string(block), at);
        cablePulled_ = true;
        return;
    }
    if (const Fault* f = BlockFault(FaultKind::Reset, block)) {
        Fire(*f);
        StartReset(at, "fault: tester resets itself before block " + std::to_string(block));
        return;
    }
    if (const Fault* f = BlockFault(FaultKind::RefuseBlock, block)) {
        Fire(*f);
        FinishTransfer(at, false, "fault: block " + std::to_string(block) + " refused");
        EmitError("BLOCK REFUSED", at);
        return;
    }
    Emit("!", at);
    // A PC has the "!" half a bit before its frame ends and may start a byte
    // then; that byte is complete here 9.5 bit times later.
    blockAllowedFrom_ = toPc_.freeAt() + 9 * BitTime(baud_);
}

void TesterSimulator::HandleBlock(SimNanos at) {
    Transfer& t = *transfer_;
    const std::uint32_t block = t.index + 1;
    if (!BlockCheckWordValid(t.buffer.data())) {
        FinishTransfer(at, false, "block " + std::to_string(block) + ": bad check word");
        EmitError("CHECK WORD ERROR", at);
        return;
    }
    const std::uint32_t target = t.byteAddress + t.index * 128;
    SimNanos duration = static_cast<SimNanos>(options_.timing.flashBlockProgramUs) * 1000;
    switch (t.record.target) {
        case TransferRecord::Target::Ram:
            memory_.WriteRam(target, t.buffer.data(), 128);
            duration = static_cast<SimNanos>(options_.timing.ramBlockUs) * 1000;
            break;
        case TransferRecord::Target::Flash:
            memory_.ProgramFlash(target, t.buffer.data(), 128);
            break;
        case TransferRecord::Target::Card:
            memory_.ProgramCard(target, t.buffer.data(), 128);
            break;
    }
    t.buffer.clear();
    ++t.index;
    ++t.record.accepted;
    pending_ = Pending{};
    pending_.what = Pending::What::BlockProgrammed;
    pending_.time = at + duration;
    pending_.hearsInput = true;
}

void TesterSimulator::FinishTransfer(SimNanos at, bool complete, const std::string& why) {
    TransferRecord r = transfer_->record;
    r.complete = complete;
    transfers_.push_back(r);
    transfer_.reset();
    input_ = Input::Command;
    if (complete && r.target == TransferRecord::Target::Ram && r.blocks > 0) {
        loadedImages_.emplace_back(r.address, r.blocks * 128);
    }
    std::string text = complete ? "transfer complete: " : "transfer ended: ";
    text += std::to_string(r.accepted) + " of " + std::to_string(r.blocks) + " blocks to " + TargetName(r.target) + " " +
            Hex(r.address);
    if (!why.empty()) text += " (" + why + ")";
    Event(text, at);
}

void TesterSimulator::StartReset(SimNanos at, const std::string& why) {
    if (transfer_) FinishTransfer(at, false, why);
    ClearLine();
    fifo_.clear();
    state_ = SimState::Resetting;
    pending_ = Pending{};
    pending_.what = Pending::What::ResetDone;
    pending_.time = std::max(at, toPc_.freeAt()) + static_cast<SimNanos>(options_.timing.resetMs) * kNanosPerMs;
    Event(why, at);
}

void TesterSimulator::RunPending(SimNanos at) {
    const Pending p = pending_;
    pending_ = Pending{};
    switch (p.what) {
        case Pending::What::None:
            break;
        case Pending::What::EraseDone:
            if (p.eraseFails) {
                EmitError("ERASE FAILED", at);
            } else {
                Emit(">", at);
            }
            break;
        case Pending::What::BlockProgrammed:
            if (transfer_->index == transfer_->record.blocks) {
                FinishTransfer(at, true, "");
                Emit("\r\n>", at);
            } else {
                RequestBlock(at);
            }
            break;
        case Pending::What::MonitorUp:
            state_ = SimState::UploadedMonitor;
            baud_ = 9600;
            ClearLine();
            Event("uploaded monitor listening at 9600", at);
            break;
        case Pending::What::ResetDone:
            baud_ = 9600;
            ClearLine();
            loadedImages_.clear();
            if (options_.resetBootsApplication) {
                state_ = SimState::Application;
                Event("reset: the application runs; silent until power-cycled", at);
            } else {
                state_ = SimState::BootMonitor;
                Event("reset: boot monitor listening at 9600", at);
            }
            break;
        case Pending::What::SwitchBaud:
            baud_ = p.newBaud;
            Event("line speed now " + std::to_string(baud_), at);
            break;
    }
}

}  // namespace zul::sim
