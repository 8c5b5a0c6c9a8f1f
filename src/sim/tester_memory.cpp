#include "sim/tester_memory.h"

#include <algorithm>

namespace zul::sim {

std::uint8_t SparseMemory::Get(std::uint32_t address) const {
    auto it = pages_.find(address / kPage);
    return it == pages_.end() ? fill_ : it->second[address % kPage];
}

void SparseMemory::Set(std::uint32_t address, std::uint8_t value) {
    auto [it, inserted] = pages_.try_emplace(address / kPage);
    if (inserted) it->second.fill(fill_);
    it->second[address % kPage] = value;
}

std::vector<std::uint8_t> SparseMemory::Read(std::uint32_t address, std::uint32_t count) const {
    std::vector<std::uint8_t> out;
    out.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) out.push_back(Get(address + i));  // wraps like a 32-bit bus
    return out;
}

void SparseMemory::Fill(std::uint32_t address, std::uint64_t count) {
    const std::uint64_t start = address;
    const std::uint64_t end = std::min<std::uint64_t>(start + count, 0x100000000ull);
    // Only pages that exist hold anything but the fill value, so only they
    // are visited (an erase of the whole address range stays quick).
    for (auto it = pages_.lower_bound(address / kPage); it != pages_.end();) {
        const std::uint64_t pageStart = static_cast<std::uint64_t>(it->first) * kPage;
        const std::uint64_t pageEnd = pageStart + kPage;
        if (pageStart >= end) break;
        if (start <= pageStart && end >= pageEnd) {
            it = pages_.erase(it);
            continue;
        }
        for (std::uint64_t x = std::max(start, pageStart); x < end && x < pageEnd; ++x) it->second[x - pageStart] = fill_;
        ++it;
    }
}

void TesterMemory::WriteRam(std::uint32_t address, const std::uint8_t* data, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) ram_.Set(address + i, data[i]);
}

namespace {
std::uint32_t Program(SparseMemory& mem, std::uint32_t address, const std::uint8_t* data, std::uint32_t count) {
    std::uint32_t unerased = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t old = mem.Get(address + i);
        if (old != 0xFF) ++unerased;
        mem.Set(address + i, static_cast<std::uint8_t>(old & data[i]));
    }
    return unerased;
}
}  // namespace

std::uint32_t TesterMemory::ProgramFlash(std::uint32_t address, const std::uint8_t* data, std::uint32_t count) {
    const std::uint32_t n = Program(flash_, address, data, count);
    if (n) unerasedWrites_.push_back({false, address, n});
    return n;
}

std::uint32_t TesterMemory::ProgramCard(std::uint32_t offset, const std::uint8_t* data, std::uint32_t count) {
    const std::uint32_t n = Program(card_, offset, data, count);
    if (n) unerasedWrites_.push_back({true, offset, n});
    return n;
}

std::uint32_t TesterMemory::EraseFlash(std::uint32_t address, std::uint32_t size) {
    const std::uint64_t first = address / kFlashSectorSize;
    const std::uint64_t last = size == 0 ? first : (static_cast<std::uint64_t>(address) + size - 1) / kFlashSectorSize;
    for (std::uint64_t s = first; s <= last; ++s) flash_.Fill(static_cast<std::uint32_t>(s * kFlashSectorSize), kFlashSectorSize);
    ++flashErases_;
    return static_cast<std::uint32_t>(last - first + 1);
}

bool TesterMemory::EraseCard(std::uint32_t firstPage, std::uint32_t pages) {
    if (!CardRangeValid(firstPage, pages)) return false;
    card_.Fill(firstPage * kCardPageSize, static_cast<std::uint64_t>(pages) * kCardPageSize);
    ++cardErases_;
    return true;
}

void TesterMemory::FillFlashWith(std::uint32_t address, std::uint32_t count, std::uint8_t value) {
    for (std::uint32_t i = 0; i < count; ++i) flash_.Set(address + i, value);
}

}  // namespace zul::sim
