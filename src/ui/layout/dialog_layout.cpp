#include "ui/layout/dialog_layout.h"

#include <algorithm>

namespace zul {

namespace {

void Shift(EdgeMode mode, int delta, int& low, int& high) {
    switch (mode) {
        case EdgeMode::Stretch:
            high += delta;
            break;
        case EdgeMode::Move:
            low += delta;
            high += delta;
            break;
        case EdgeMode::Stay:
            break;
    }
}

}  // namespace

LayoutRect FollowEdges(const LayoutRect& rect, EdgeMode horizontal, EdgeMode vertical, int dx, int dy) {
    LayoutRect moved = rect;
    Shift(horizontal, dx, moved.left, moved.right);
    Shift(vertical, dy, moved.top, moved.bottom);
    return moved;
}

std::vector<LayoutMove> ResizeEntries(std::vector<LayoutEntry>& entries, int dx, int dy) {
    std::vector<LayoutMove> moves;
    for (LayoutEntry& entry : entries) {
        const LayoutRect moved = FollowEdges(entry.rect, entry.horizontal, entry.vertical, dx, dy);
        if (moved == entry.rect) continue;
        entry.rect = moved;
        moves.push_back({entry.controlId, moved});
    }
    return moves;
}

void DialogLayout::Initialise(LayoutSize designed) {
    designed_ = designed;
    previous_ = designed;
    initialised_ = true;
}

void DialogLayout::SetResizable(bool horizontal, bool vertical) {
    growsHorizontally_ = horizontal;
    growsVertically_ = vertical;
}

void DialogLayout::AddControl(int controlId, const LayoutRect& rect, EdgeMode horizontal, EdgeMode vertical,
                              bool excludeFromErase) {
    entries_.push_back({controlId, horizontal, vertical, rect, excludeFromErase});
}

SizeLimits DialogLayout::Limits() const {
    SizeLimits limits;
    if (!initialised_) return limits;
    limits.minimum = designed_;
    if (!growsHorizontally_) limits.maximum.width = designed_.width;
    if (!growsVertically_) limits.maximum.height = designed_.height;
    return limits;
}

LayoutSize DialogLayout::Constrain(LayoutSize requested) const {
    const SizeLimits limits = Limits();
    return {std::clamp(requested.width, limits.minimum.width, limits.maximum.width),
            std::clamp(requested.height, limits.minimum.height, limits.maximum.height)};
}

std::vector<LayoutMove> DialogLayout::Resize(LayoutSize size) {
    if (!initialised_) return {};
    const LayoutSize laidOut = Constrain(size);
    const int dx = laidOut.width - previous_.width;
    const int dy = laidOut.height - previous_.height;
    previous_ = laidOut;
    if (dx == 0 && dy == 0) return {};
    return ResizeEntries(entries_, dx, dy);
}

const LayoutEntry* DialogLayout::Find(int controlId) const {
    for (const LayoutEntry& entry : entries_)
        if (entry.controlId == controlId) return &entry;
    return nullptr;
}

}  // namespace zul
