#include "sim/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace zul::sim {
namespace {

TEST(CommandLine, AcceptsEachCommandInTheFormThePcPrints) {
    const struct {
        const char* line;
        CommandName name;
        std::size_t argCount;
        std::uint32_t a, b;
    } kTable[] = {
        {"V", CommandName::Version, 0, 0, 0},
        {"I", CommandName::Identify, 0, 0, 0},
        {"BR 9600", CommandName::BaudRate, 1, 9600, 0},
        {"BR 115200", CommandName::BaudRate, 1, 115200, 0},
        {"LB 60000 3800", CommandName::LoadRam, 2, 0x60000, 0x3800},
        {"LB 0 0", CommandName::LoadRam, 2, 0, 0},
        {"LB ffffffff 80", CommandName::LoadRam, 2, 0xFFFFFFFF, 0x80},
        {"C 60000 NOT_USED", CommandName::Call, 2, 0x60000, 0},
        {"FV", CommandName::MonitorVersion, 0, 0, 0},
        {"FE 80000", CommandName::FlashErase, 1, 0x80000, 0},
        {"FE 20000 10000", CommandName::FlashErase, 2, 0x20000, 0x10000},
        {"FLB 20000 10000", CommandName::FlashLoad, 2, 0x20000, 0x10000},
        {"MACFE 0 100", CommandName::CardErase, 2, 0, 0x100},
        {"MACFLB 8 1", CommandName::CardLoad, 2, 8, 1},
        {"BV a1", CommandName::Battery, 1, 0xA1, 0},
        {"BV b4", CommandName::Battery, 1, 0xB4, 0},
        {"BV ff", CommandName::Battery, 1, 0xFF, 0},
        {"RS", CommandName::Reset, 0, 0, 0},
    };
    for (const auto& row : kTable) {
        SCOPED_TRACE(row.line);
        const auto command = ParseCommandLine(row.line);
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->form->name, row.name);
        EXPECT_EQ(command->argCount, row.argCount);
        EXPECT_EQ(command->args[0], row.a);
        EXPECT_EQ(command->args[1], row.b);
        EXPECT_EQ(FormatCommandLine(*command), row.line);
    }
}

TEST(CommandLine, RefusesEveryOtherForm) {
    const char* const kTable[] = {
        // line ends and spacing
        "", " ", "V ", " V", "V\n", "\nV", "I\r", "LB  2000 100", "LB 2000 100 ", "LB\t2000 100", "FE 80000  ",
        // capitals, lower-case commands, leading zeros, prefixes, too many digits
        "v", "br 9600", "Lb 2000 100", "LB 2000 1A0", "LB 2000 0100", "LB 02000 100", "LB 00 100", "LB 0x2000 100",
        "LB 123456789 80", "FE 8000g", "BV A1", "BV 0a1", "BV 100", "BR 09600", "BR +9600", "BR 96OO", "BR 12345678",
        "BR 1c200",
        // argument counts and the call's parameter
        "V 1", "I 0", "LB 2000", "LB 2000 100 5", "FE", "FE 1 2 3", "BR", "BR 9600 1", "RS 0", "C 60000",
        "C 60000 not_used", "C 60000 NOT_USED2", "C 60000 0", "C 60000 NOT_USED 1", "C NOT_USED 60000",
        // unknown words, and noise inside a line
        "X", "VV", "MACFE", "LB 2000 100\x7f", "FLB 20000 1\xb0\x30\x30\x30",
    };
    for (const char* line : kTable) {
        SCOPED_TRACE(::testing::PrintToString(std::string(line)));
        EXPECT_FALSE(ParseCommandLine(line).has_value());
    }
    EXPECT_FALSE(ParseCommandLine(std::string_view("I\0", 2)).has_value());
}

TEST(CommandLine, TableSaysWhichMonitorAnswers) {
    std::string boot, uploaded;
    for (const CommandForm& form : CommandTable()) {
        if (form.bootMonitor) boot += std::string(form.word) + " ";
        if (form.uploadedMonitor) uploaded += std::string(form.word) + " ";
    }
    EXPECT_EQ(boot, "V I BR LB C ");
    EXPECT_EQ(uploaded, "V I BR LB C FV FE FLB MACFE MACFLB BV RS ");
}

}  // namespace
}  // namespace zul::sim
