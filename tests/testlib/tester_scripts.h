#pragma once
// Application scripts and image files for download tests.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace zul::test {

// Writes an encoded script (every byte complemented) naming the application
// and its statements.
inline void WriteScript(const std::string& path, const std::string& name, const std::string& version,
                        const std::vector<std::string>& statements) {
    std::string text = "[application]\nname=" + name + "\nversion=" + version +
                       "\n[script]\nstartLine=start\nclosingLine=end\nnumberOfStatements=" +
                       std::to_string(statements.size()) + "\n";
    for (std::size_t i = 0; i < statements.size(); ++i)
        text += "stmt" + std::to_string(i + 1) + "=" + statements[i] + "\n";
    for (char& c : text) c = static_cast<char>(~static_cast<unsigned char>(c));
    std::ofstream(path, std::ios::binary) << text;
}

// Deterministic bytes that differ from block to block.
inline std::vector<std::uint8_t> ImageBytes(std::size_t size, unsigned seed) {
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
