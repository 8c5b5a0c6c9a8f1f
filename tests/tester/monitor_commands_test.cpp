#include "tester/monitor_commands.h"

#include <gtest/gtest.h>

#include <numeric>

namespace zul {
namespace {

struct CommandRow {
    std::string built;
    std::string expected;
};

TEST(MonitorCommands, EveryCommandTextIsExact) {
    const CommandRow rows[] = {
        {VersionProbeCommand(), "V\r"},
        {HardwareIdCommand(), "I\r"},
        {BaudRateCommand("9600"), "BR 9600\r"},
        {BaudRateCommand("115200"), "BR 115200\r"},
        {LoadDataCommand(0x60000, 14336), "LB 60000 3800\r"},
        {LoadDataCommand(0, 0), "LB 0 0\r"},
        {CallCommand(0x60000), "C 60000 NOT_USED\r"},
        {CallCommand(0xABCDEF01), "C abcdef01 NOT_USED\r"},
        {MonitorVersionCommand(), "FV\r"},
        {FlashEraseCommand(0x100000), "FE 100000\r"},
        {FlashEraseCommand(0x100000, 0x40000), "FE 100000 40000\r"},
        {FlashLoadCommand(0x100000, 300), "FLB 100000 12c\r"},
        {CardEraseCommand(0, 256), "MACFE 0 100\r"},
        {CardLoadCommand(3, 1), "MACFLB 3 1\r"},
        {BatteryTestCommand(0xa1), "BV a1\r"},
        {BatteryTestCommand(0xa7), "BV a7\r"},
        {BatteryTestCommand(0xad), "BV ad\r"},
        {BatteryTestCommand(0xb4), "BV b4\r"},
        {ResetCommand(), "RS\r"},
        {LoadDataCommand(0xFFFFFFFF, 0xFFFFFFFF), "LB ffffffff ffffffff\r"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.built, row.expected);
}

TEST(MonitorCommands, BatteryValuesInOrder) {
    std::string chain;
    for (auto v : kBatteryCompareValues) chain += BatteryTestCommand(v);
    EXPECT_EQ(chain, "BV a1\rBV a7\rBV ad\rBV b4\r");
}

struct PageRow {
    std::uint32_t size;
    std::uint32_t erasePages;
    std::uint32_t loadPages;
};

TEST(MonitorCommands, ProgramCardPageCounts) {
    const PageRow rows[] = {
        {2097152, 256, 256}, {9000, 8, 1},  {8192 * 8, 8, 8},   {8192 * 9, 16, 9},
        {8191, 0, 0},        {0, 0, 0},     {8192 * 16 + 1, 16, 16},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CardErasePages(row.size), row.erasePages) << row.size;
        EXPECT_EQ(CardLoadPages(row.size), row.loadPages) << row.size;
    }
}

struct CheckRow {
    const char* name;
    std::array<std::uint8_t, kBlockDataSize> data;
    std::uint8_t high;
    std::uint8_t low;
};

std::array<std::uint8_t, kBlockDataSize> Filled(std::uint8_t value) {
    std::array<std::uint8_t, kBlockDataSize> a;
    a.fill(value);
    return a;
}

std::array<std::uint8_t, kBlockDataSize> Counting() {
    std::array<std::uint8_t, kBlockDataSize> a;
    std::iota(a.begin(), a.end(), std::uint8_t{0});
    return a;
}

TEST(BlockFrame, CheckWordMakesTheBlockSumToZero) {
    auto single = Filled(0);
    single[1] = 1;  // one word of value 1
    auto highOnly = Filled(0);
    highOnly[0] = 0x80;
    highOnly[2] = 0x80;  // two words of 0x8000 wrap to 0
    const CheckRow rows[] = {
        {"zeros", Filled(0x00), 0x00, 0x00},
        {"ones", Filled(0xFF), 0x00, 0x40},
        {"single word 1", single, 0xFF, 0xFF},
        {"wrapping words", highOnly, 0x00, 0x00},
    };
    for (const auto& row : rows) {
        const BlockFrame frame = FrameBlock(row.data);
        EXPECT_EQ(frame[128], row.high) << row.name;
        EXPECT_EQ(frame[129], row.low) << row.name;
        EXPECT_TRUE(std::equal(row.data.begin(), row.data.end(), frame.begin())) << row.name;
    }
    for (const auto& data : {Filled(0x5A), Counting(), Filled(0x01)}) {
        const BlockFrame frame = FrameBlock(data);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < kBlockFrameSize; i += 2) sum += (std::uint32_t{frame[i]} << 8) | frame[i + 1];
        EXPECT_EQ(sum & 0xFFFF, 0u);
    }
}

}  // namespace
}  // namespace zul
