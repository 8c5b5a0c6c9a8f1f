#pragma once
// How the tester's monitors read a command line. A monitor takes a line in
// exactly one form: the command word in capitals, each argument after one
// space, numbers in lower-case hexadecimal without leading zeros (as "%lx"
// prints them; the speed of "BR" in decimal), and nothing else on the line.
// Whatever differs, be it a line feed, a capital hex digit, a leading zero,
// a second space or a word where "NOT_USED" belongs, is not understood and is
// answered like an unknown command. The table also says which of the two
// monitors answers each command.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zul::sim {

enum class CommandName { Version, Identify, BaudRate, LoadRam, Call, MonitorVersion, FlashErase, FlashLoad,
                         CardErase, CardLoad, Battery, Reset };

enum class ArgKind : std::uint8_t {
    Hex,      // 32-bit, "%lx"
    Byte,     // as Hex, at most ff
    Decimal,  // "%lu", at most 7 digits
    NotUsed,  // the literal word NOT_USED
};

struct CommandForm {
    CommandName name;
    const char* word;
    std::uint8_t minArgs;
    std::uint8_t maxArgs;
    ArgKind args[2];
    bool bootMonitor;      // the tester's own monitor answers it
    bool uploadedMonitor;  // the flash monitor that ZUL uploads answers it
};

// Every command either monitor understands.
std::span<const CommandForm> CommandTable();

struct CommandLine {
    const CommandForm* form = nullptr;
    std::uint32_t args[2] = {0, 0};  // NOT_USED reads as 0
    std::size_t argCount = 0;
};

// Longest line a monitor keeps (without its CR); a longer one is refused.
inline constexpr std::size_t kMaxCommandLine = 120;

// The command in `line` (the bytes before the CR), or nothing when the
// monitors would not understand it.
std::optional<CommandLine> ParseCommandLine(std::string_view line);
// The line as a monitor expects it, without the CR. For every line that
// ParseCommandLine accepts, formatting its result gives the line back.
std::string FormatCommandLine(const CommandLine& command);

}  // namespace zul::sim
