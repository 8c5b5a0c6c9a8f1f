#include "tester/monitor_commands.h"

#include <cstdio>

namespace zul {
namespace {

std::string Hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(value));
    return buffer;
}

}  // namespace

std::uint16_t BlockCheckWord(std::span<const std::uint8_t, kBlockDataSize> data) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kBlockDataSize; i += 2) sum += (std::uint32_t{data[i]} << 8) | data[i + 1];
    return static_cast<std::uint16_t>((0x10000u - (sum & 0xFFFFu)) & 0xFFFFu);
}

BlockFrame FrameBlock(std::span<const std::uint8_t, kBlockDataSize> data) {
    BlockFrame frame{};
    std::copy(data.begin(), data.end(), frame.begin());
    const std::uint16_t check = BlockCheckWord(data);
    frame[kBlockDataSize] = static_cast<std::uint8_t>(check >> 8);
    frame[kBlockDataSize + 1] = static_cast<std::uint8_t>(check & 0xFF);
    return frame;
}

std::string VersionProbeCommand() { return "V\r"; }
std::string HardwareIdCommand() { return "I\r"; }
std::string BaudRateCommand(std::string_view rateText) { return "BR " + std::string(rateText) + "\r"; }
std::string LoadDataCommand(std::uint32_t address, std::uint32_t size) {
    return "LB " + Hex(address) + " " + Hex(size) + "\r";
}
std::string CallCommand(std::uint32_t address) { return "C " + Hex(address) + " NOT_USED\r"; }
std::string MonitorVersionCommand() { return "FV\r"; }
std::string FlashEraseCommand(std::uint32_t address) { return "FE " + Hex(address) + "\r"; }
std::string FlashEraseCommand(std::uint32_t address, std::uint32_t size) {
    return "FE " + Hex(address) + " " + Hex(size) + "\r";
}
std::string FlashLoadCommand(std::uint32_t address, std::uint32_t size) {
    return "FLB " + Hex(address) + " " + Hex(size) + "\r";
}
std::string CardEraseCommand(std::uint32_t firstPage, std::uint32_t pages) {
    return "MACFE " + Hex(firstPage) + " " + Hex(pages) + "\r";
}
std::string CardLoadCommand(std::uint32_t firstPage, std::uint32_t pages) {
    return "MACFLB " + Hex(firstPage) + " " + Hex(pages) + "\r";
}
std::string BatteryTestCommand(std::uint8_t compareValue) { return "BV " + Hex(compareValue) + "\r"; }
std::string ResetCommand() { return "RS\r"; }

std::uint32_t CardErasePages(std::uint32_t size) {
    const std::uint32_t pages = size / kCardPageSize;
    return pages % 8 == 0 ? pages : (pages / 8) * 8 + 8;
}

std::uint32_t CardLoadPages(std::uint32_t size) { return size / kCardPageSize; }

}  // namespace zul
