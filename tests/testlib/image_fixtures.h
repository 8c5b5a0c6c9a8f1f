#pragma once
// Image files for download tests.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace zul::test {

// Deterministic bytes that differ from block to block.
inline std::vector<std::uint8_t> ImageBytes(std::size_t size, unsigned seed = 0) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

inline void WriteImage(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zul::test
