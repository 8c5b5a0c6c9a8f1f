// Build-time helper of the demo directory:
//   zul_demo_tool encode IN OUT        writes the encoded form of a script
//   zul_demo_tool image OUT SIZE SEED  writes SIZE bytes of deterministic content
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "script/profile_document.h"

namespace {

bool WriteAll(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::cerr << "zul_demo_tool: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

// A recognisable header, then a simple linear congruential sequence: the same
// bytes on every build and every platform.
std::string ImageBytes(std::size_t size, std::uint32_t seed) {
    std::string bytes = "ZUL demo image " + std::to_string(seed) + "\n";
    bytes.resize(std::min(bytes.size(), size));
    std::uint32_t state = seed * 2654435761u + 1u;
    while (bytes.size() < size) {
        state = state * 1664525u + 1013904223u;
        bytes.push_back(static_cast<char>(state >> 24));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "encode" && argc == 4) {
        std::ifstream in(argv[2], std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            std::cerr << "zul_demo_tool: cannot read " << argv[2] << "\n";
            return 1;
        }
        return WriteAll(argv[3], zul::ComplementBytes(text.str())) ? 0 : 1;
    }
    if (mode == "image" && argc == 5) {
        const unsigned long long size = std::strtoull(argv[3], nullptr, 10);
        const unsigned long seed = std::strtoul(argv[4], nullptr, 10);
        return WriteAll(argv[2], ImageBytes(static_cast<std::size_t>(size), static_cast<std::uint32_t>(seed))) ? 0 : 1;
    }
    std::cerr << "usage: zul_demo_tool encode IN OUT | image OUT SIZE SEED\n";
    return 2;
}
