#pragma once
// The tester monitor's command lines and the data block that follows a load
// command. Everything here is pure: the texts go on the wire unchanged, so
// they are built in one place and tested byte for byte.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zul {

// Bytes the monitors send that the protocol acts upon.
inline constexpr char kMonitorPrompt = '>';
inline constexpr char kMonitorErrorMark = '*';
inline constexpr char kMonitorBlockRequest = '!';

// A data block: 128 data bytes followed by the check word, high byte first.
inline constexpr std::size_t kBlockDataSize = 128;
inline constexpr std::size_t kBlockFrameSize = 130;
// The program card counts in pages of 8 KB.
inline constexpr std::uint32_t kCardPageSize = 8192;

using BlockFrame = std::array<std::uint8_t, kBlockFrameSize>;

// The word that makes the 64 big-endian words of the data plus itself sum to
// 0 modulo 65536.
std::uint16_t BlockCheckWord(std::span<const std::uint8_t, kBlockDataSize> data);
// The data followed by its check word.
BlockFrame FrameBlock(std::span<const std::uint8_t, kBlockDataSize> data);

// Command lines, each ending in one carriage return. Numbers are lower-case
// hexadecimal without prefix or leading zeros.
std::string VersionProbeCommand();                                    // "V\r"
std::string HardwareIdCommand();                                      // "I\r"
std::string BaudRateCommand(std::string_view rateText);               // "BR 115200\r"
std::string LoadDataCommand(std::uint32_t address, std::uint32_t size);   // "LB a s\r"
std::string CallCommand(std::uint32_t address);                       // "C a NOT_USED\r"
std::string MonitorVersionCommand();                                  // "FV\r"
std::string FlashEraseCommand(std::uint32_t address);                 // "FE a\r"
std::string FlashEraseCommand(std::uint32_t address, std::uint32_t size);  // "FE a s\r"
std::string FlashLoadCommand(std::uint32_t address, std::uint32_t size);   // "FLB a s\r"
std::string CardEraseCommand(std::uint32_t firstPage, std::uint32_t pages);  // "MACFE p n\r"
std::string CardLoadCommand(std::uint32_t firstPage, std::uint32_t pages);   // "MACFLB p n\r"
std::string BatteryTestCommand(std::uint8_t compareValue);            // "BV a1\r"
std::string ResetCommand();                                           // "RS\r"

// The battery compare values, tested in this order before flash work.
inline constexpr std::array<std::uint8_t, 4> kBatteryCompareValues = {0xa1, 0xa7, 0xad, 0xb4};

// Pages the program card erase covers for an image of `size` bytes: whole
// pages, raised to the next multiple of 8 unless already one.
std::uint32_t CardErasePages(std::uint32_t size);
// Pages the program card load announces: whole pages, not raised.
std::uint32_t CardLoadPages(std::uint32_t size);

}  // namespace zul
