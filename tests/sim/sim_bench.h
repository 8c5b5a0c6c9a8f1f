#pragma once
// A PC end for driving a TesterSimulator byte by byte in simulated time.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/tester_simulator.h"

namespace zul::sim::test {

struct SimBench {
    explicit SimBench(SimOptions options = {}) : sim(std::move(options)) {}

    static constexpr SimNanos kMs = kNanosPerMs;

    // Sends `text` now, lets `waitMs` pass, returns what arrived meanwhile.
    std::string Talk(const std::string& text, std::uint32_t waitMs = 100) {
        sim.Receive(text, now, pcBaud);
        return Wait(waitMs);
    }
    std::string Wait(std::uint32_t ms) {
        now += ms * kMs;
        std::string out = sim.TakeOutputText(now, pcBaud);
        received += out;
        return out;
    }
    // Waits in 1 ms steps, up to `limitMs`, until the output ends with `tail`
    // or contains "*". Returns everything received meanwhile.
    std::string WaitFor(const std::string& tail, std::uint32_t limitMs = 20000) {
        std::string out;
        for (std::uint32_t i = 0; i < limitMs; ++i) {
            out += Wait(1);
            if (out.size() >= tail.size() && out.compare(out.size() - tail.size(), tail.size(), tail) == 0) break;
            if (out.find('*') != std::string::npos && out.back() == '>') break;
        }
        return out;
    }
    // Answers each "!" with the next block of `data` (a multiple of 128
    // bytes), as the PC does; stops at the first answer that is not "!".
    // Returns every byte received.
    std::string SendBlocks(const std::vector<std::uint8_t>& data, std::uint32_t blocks) {
        std::string all;
        for (std::uint32_t k = 0; k < blocks; ++k) {
            std::string out = WaitFor("!", 4000);
            all += out;
            if (out.empty() || out.back() != '!') return all;
            const auto block = MakeBlock(data.data() + k * 128);
            sim.Receive(block.data(), block.size(), now, pcBaud);
        }
        all += WaitFor(">", 4000);
        return all;
    }
    std::string Transcript() const {
        std::string s;
        for (const auto& e : sim.transcript()) s += e.text + "|";
        return s;
    }

    TesterSimulator sim;
    SimNanos now = 0;
    int pcBaud = 9600;
    std::string received;
};

// Loads and starts the built-in monitor image, then waits until it listens
// at 9600 (the PC follows).
bool StartUploadedMonitor(SimBench& bench);

// `count` bytes of a fixed pattern (covering every value).

}  // namespace zul::sim::test
