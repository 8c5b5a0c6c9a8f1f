#include "sim/command_line.h"

#include <cstdio>

namespace zul::sim {
namespace {

constexpr ArgKind kHex = ArgKind::Hex;
constexpr ArgKind kByte = ArgKind::Byte;
constexpr ArgKind kDecimal = ArgKind::Decimal;
constexpr ArgKind kNotUsed = ArgKind::NotUsed;

// name, word, fewest and most arguments, their kinds, boot monitor, uploaded monitor
constexpr CommandForm kCommands[] = {
    {CommandName::Version, "V", 0, 0, {kHex, kHex}, true, true},
    {CommandName::Identify, "I", 0, 0, {kHex, kHex}, true, true},
    {CommandName::BaudRate, "BR", 1, 1, {kDecimal, kHex}, true, true},
    {CommandName::LoadRam, "LB", 2, 2, {kHex, kHex}, true, true},
    {CommandName::Call, "C", 2, 2, {kHex, kNotUsed}, true, true},
    {CommandName::MonitorVersion, "FV", 0, 0, {kHex, kHex}, false, true},
    {CommandName::FlashErase, "FE", 1, 2, {kHex, kHex}, false, true},
    {CommandName::FlashLoad, "FLB", 2, 2, {kHex, kHex}, false, true},
    {CommandName::CardErase, "MACFE", 2, 2, {kHex, kHex}, false, true},
    {CommandName::CardLoad, "MACFLB", 2, 2, {kHex, kHex}, false, true},
    {CommandName::Battery, "BV", 1, 1, {kByte, kHex}, false, true},
    {CommandName::Reset, "RS", 0, 0, {kHex, kHex}, false, true},
};

// Lower-case hex digits, no leading zero unless the number is 0, 8 digits at most.
bool ParseHex(std::string_view text, std::uint32_t* value) {
    if (text.empty() || text.size() > 8 || (text.size() > 1 && text[0] == '0')) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            return false;
        }
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    *value = v;
    return true;
}

bool ParseDecimal(std::string_view text, std::uint32_t* value) {
    if (text.empty() || text.size() > 7 || (text.size() > 1 && text[0] == '0')) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    *value = v;
    return true;
}

bool ParseArgument(ArgKind kind, std::string_view text, std::uint32_t* value) {
    switch (kind) {
        case ArgKind::Hex: return ParseHex(text, value);
        case ArgKind::Byte: return ParseHex(text, value) && *value <= 0xFF;
        case ArgKind::Decimal: return ParseDecimal(text, value);
        case ArgKind::NotUsed:
            *value = 0;
            return text == "NOT_USED";
    }
    return false;
}

std::string FormatArgument(ArgKind kind, std::uint32_t value) {
    char buffer[16];
    switch (kind) {
        case ArgKind::Hex:
        case ArgKind::Byte: std::snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(value)); break;
        case ArgKind::Decimal: std::snprintf(buffer, sizeof buffer, "%lu", static_cast<unsigned long>(value)); break;
        case ArgKind::NotUsed: return "NOT_USED";
    }
    return buffer;
}

}  // namespace

std::span<const CommandForm> CommandTable() { return kCommands; }

std::optional<CommandLine> ParseCommandLine(std::string_view line) {
    if (line.size() > kMaxCommandLine) return std::nullopt;
    // Words are separated by exactly one space: an empty word (two spaces, or
    // a space at either end) is a line the monitors do not understand.
    std::string_view words[4];
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = line.find(' ', start);
        const std::string_view word = line.substr(start, space == std::string_view::npos ? space : space - start);
        if (word.empty() || count == std::size(words)) return std::nullopt;
        words[count++] = word;
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    for (const CommandForm& form : kCommands) {
        if (words[0] != form.word) continue;
        const std::size_t args = count - 1;
        if (args < form.minArgs || args > form.maxArgs) return std::nullopt;
        CommandLine command;
        command.form = &form;
        command.argCount = args;
        for (std::size_t i = 0; i < args; ++i) {
            if (!ParseArgument(form.args[i], words[i + 1], &command.args[i])) return std::nullopt;
        }
        return command;
    }
    return std::nullopt;
}

std::string FormatCommandLine(const CommandLine& command) {
    if (command.form == nullptr) return "";
    std::string text = command.form->word;
    for (std::size_t i = 0; i < command.argCount && i < 2; ++i) {
        text += ' ';
        text += FormatArgument(command.form->args[i], command.args[i]);
    }
    return text;
}

}  // namespace zul::sim
