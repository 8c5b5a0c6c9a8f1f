#pragma once
// The tester's three memories as the monitors see them: RAM, the internal
// flash (erase to 0xFF, programming can only clear bits) and the program card
// (2 MB in pages of 8 KB, same rules as flash). Sparse: only touched areas use
// host memory, so the whole 32-bit address range is available.
#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace zul::sim {

inline constexpr std::uint32_t kCardPageSize = 8192;
inline constexpr std::uint32_t kCardPages = 256;  // 2 MB
inline constexpr std::uint32_t kFlashSectorSize = 64 * 1024;

// One byte-addressed space with a fill value for bytes never written.
class SparseMemory {
public:
    explicit SparseMemory(std::uint8_t fill) : fill_(fill) {}
    std::uint8_t Get(std::uint32_t address) const;
    void Set(std::uint32_t address, std::uint8_t value);
    std::vector<std::uint8_t> Read(std::uint32_t address, std::uint32_t count) const;
    // Sets [address, address + count) back to the fill value.
    void Fill(std::uint32_t address, std::uint64_t count);
    std::uint8_t fill() const { return fill_; }

private:
    static constexpr std::uint32_t kPage = 4096;
    std::uint8_t fill_;
    std::map<std::uint32_t, std::array<std::uint8_t, kPage>> pages_;
};

// A flash write onto bytes that were not erased. Real flash silently ANDs the
// data into what is there, so the result is wrong; the simulator does the same
// and keeps a record.
struct UnerasedWrite {
    bool card = false;
    std::uint32_t address = 0;  // first byte of the block written (card: byte offset)
    std::uint32_t count = 0;    // bytes of the block that were not 0xFF before
};

class TesterMemory {
public:
    TesterMemory() : ram_(0x00), flash_(0xFF), card_(0xFF) {}

    std::vector<std::uint8_t> ReadRam(std::uint32_t address, std::uint32_t count) const { return ram_.Read(address, count); }
    std::vector<std::uint8_t> ReadFlash(std::uint32_t address, std::uint32_t count) const {
        return flash_.Read(address, count);
    }
    // Card bytes by offset from the start of the card (page × 8192).
    std::vector<std::uint8_t> ReadCard(std::uint32_t offset, std::uint32_t count) const { return card_.Read(offset, count); }

    // RAM loses its contents at power-off.
    void ClearRam() { ram_ = SparseMemory(0x00); }
    void WriteRam(std::uint32_t address, const std::uint8_t* data, std::uint32_t count);
    // Programs flash (AND semantics); returns the bytes written onto unerased ones.
    std::uint32_t ProgramFlash(std::uint32_t address, const std::uint8_t* data, std::uint32_t count);
    std::uint32_t ProgramCard(std::uint32_t offset, const std::uint8_t* data, std::uint32_t count);
    // Erases every flash sector that [address, address + size) touches
    // (size 0: the sector holding address). Returns the number of sectors.
    std::uint32_t EraseFlash(std::uint32_t address, std::uint32_t size);
    // Erases card pages; false when they do not all exist.
    bool EraseCard(std::uint32_t firstPage, std::uint32_t pages);
    static bool CardRangeValid(std::uint32_t firstPage, std::uint32_t pages) {
        return pages <= kCardPages && firstPage <= kCardPages - pages;
    }

    // Fills flash and card with a previous application's bytes (not erased).
    void FillFlashWith(std::uint32_t address, std::uint32_t count, std::uint8_t value);

    const std::vector<UnerasedWrite>& unerasedWrites() const { return unerasedWrites_; }
    std::uint32_t flashEraseCount() const { return flashErases_; }
    std::uint32_t cardEraseCount() const { return cardErases_; }

private:
    SparseMemory ram_;
    SparseMemory flash_;
    SparseMemory card_;
    std::vector<UnerasedWrite> unerasedWrites_;
    std::uint32_t flashErases_ = 0;
    std::uint32_t cardErases_ = 0;
};

}  // namespace zul::sim
