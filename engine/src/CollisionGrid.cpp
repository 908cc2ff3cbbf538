#include "CollisionGrid.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace mx {

namespace {

/// A box wider or taller than this many cells is kept apart and offered to every search:
/// filling its cells would cost more than testing it against everything.
constexpr std::int32_t MAX_CELLS_ACROSS = 16;

/// Cell coordinates stay within this range; farther boxes share the outermost cells.
constexpr float FARTHEST_CELL = 1.0e9f;

/// The extent of one axis of a box: its least and greatest coordinate that is a number.
/// An axis with no number intersects nothing (every comparison with NaN is false); one
/// with a single number can still meet another box exactly there.
bool axisExtent(float a, float b, float& low, float& high) {
    if (std::isnan(a)) {
        a = b;
    } else if (std::isnan(b)) {
        b = a;
    }
    if (std::isnan(a)) {
        return false;
    }
    low = std::min(a, b);
    high = std::max(a, b);
    return true;
}

std::uint64_t keyOf(std::int32_t x, std::int32_t y) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) | static_cast<std::uint32_t>(y);
}

std::size_t hashOf(std::uint64_t key, std::size_t mask) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

void eraseValue(std::vector<std::uint32_t>& list, std::uint32_t value) {
    const auto it = std::find(list.begin(), list.end(), value);
    if (it != list.end()) {
        *it = list.back();
        list.pop_back();
    }
}

} // namespace

void CollisionGrid::reset(std::size_t count, float typicalSize) {
    // Cells about twice the usual box: most boxes reach one to four of them.
    inverseCellSize = 1.0f / std::max(1.0f, 2.0f * typicalSize);
    spans.assign(count, Span{});
    everywhere.clear();
    const std::size_t wanted = std::bit_ceil(std::max<std::size_t>(64, 4 * count));
    if (slots.size() < wanted) {
        keys.resize(wanted);
        slots.resize(wanted);
    }
    std::fill(slots.begin(), slots.end(), -1);
    cellsUsed = 0;
}

std::int32_t CollisionGrid::cellOf(float coordinate) const {
    // Monotonic in the coordinate, so a point inside an extent lands in the extent's cells.
    const float scaled = std::clamp(coordinate * inverseCellSize, -FARTHEST_CELL, FARTHEST_CELL);
    return static_cast<std::int32_t>(std::floor(scaled));
}

CollisionGrid::Span CollisionGrid::spanOf(const Box& box) const {
    Span span;
    float left = 0, right = 0, top = 0, bottom = 0;
    if (!axisExtent(box.left, box.right, left, right) || !axisExtent(box.top, box.bottom, top, bottom)) {
        return span;
    }
    span.x0 = cellOf(left);
    span.x1 = cellOf(right);
    span.y0 = cellOf(top);
    span.y1 = cellOf(bottom);
    const bool huge = span.x1 - span.x0 >= MAX_CELLS_ACROSS || span.y1 - span.y0 >= MAX_CELLS_ACROSS;
    span.kind = huge ? Span::EVERYWHERE : Span::CELLS;
    return span;
}

std::int32_t CollisionGrid::findCell(std::int32_t x, std::int32_t y) const {
    const std::uint64_t key = keyOf(x, y);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t h = hashOf(key, mask);; h = (h + 1) & mask) {
        if (slots[h] < 0 || keys[h] == key) {
            return slots[h];
        }
    }
}

std::int32_t CollisionGrid::findOrAddCell(std::int32_t x, std::int32_t y) {
    if (2 * (cellsUsed + 1) > slots.size()) {
        grow();
    }
    const std::uint64_t key = keyOf(x, y);
    const std::size_t mask = slots.size() - 1;
    std::size_t h = hashOf(key, mask);
    while (slots[h] >= 0 && keys[h] != key) {
        h = (h + 1) & mask;
    }
    if (slots[h] < 0) {
        if (cellsUsed == cells.size()) {
            cells.emplace_back();
        } else {
            cells[cellsUsed].clear(); // keeps the storage of an earlier pass
        }
        keys[h] = key;
        slots[h] = static_cast<std::int32_t>(cellsUsed++);
    }
    return slots[h];
}

void CollisionGrid::grow() {
    const std::vector<std::uint64_t> oldKeys = std::move(keys);
    const std::vector<std::int32_t> oldSlots = std::move(slots);
    keys.assign(2 * oldSlots.size(), 0);
    slots.assign(2 * oldSlots.size(), -1);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = 0; i < oldSlots.size(); ++i) {
        if (oldSlots[i] >= 0) {
            std::size_t h = hashOf(oldKeys[i], mask);
            while (slots[h] >= 0) {
                h = (h + 1) & mask;
            }
            keys[h] = oldKeys[i];
            slots[h] = oldSlots[i];
        }
    }
}

void CollisionGrid::place(std::uint32_t entry, const Box& box, bool present) {
    Span& old = spans[entry];
    if (old.kind == Span::EVERYWHERE) {
        eraseValue(everywhere, entry);
    } else if (old.kind == Span::CELLS) {
        for (std::int32_t y = old.y0; y <= old.y1; ++y) {
            for (std::int32_t x = old.x0; x <= old.x1; ++x) {
                eraseValue(cells[static_cast<std::size_t>(findCell(x, y))], entry);
            }
        }
    }
    const Span span = present ? spanOf(box) : Span{};
    if (span.kind == Span::EVERYWHERE) {
        everywhere.push_back(entry);
    } else if (span.kind == Span::CELLS) {
        for (std::int32_t y = span.y0; y <= span.y1; ++y) {
            for (std::int32_t x = span.x0; x <= span.x1; ++x) {
                cells[static_cast<std::size_t>(findOrAddCell(x, y))].push_back(entry);
            }
        }
    }
    old = span;
}

void CollisionGrid::candidates(const Box& box, std::uint32_t after, std::vector<std::uint32_t>& out) const {
    out.clear();
    if (addCandidates(box, after, out)) {
        sortUnique(out);
    }
}

bool CollisionGrid::addCandidates(const Box& box, std::uint32_t after, std::vector<std::uint32_t>& out) const {
    const Span span = spanOf(box);
    if (span.kind == Span::EVERYWHERE) {
        for (std::size_t e = after + 1; e < spans.size(); ++e) {
            if (spans[e].kind != Span::ABSENT) {
                out.push_back(static_cast<std::uint32_t>(e));
            }
        }
        return false;
    }
    if (span.kind == Span::ABSENT) {
        return false;
    }
    for (std::int32_t y = span.y0; y <= span.y1; ++y) {
        for (std::int32_t x = span.x0; x <= span.x1; ++x) {
            const std::int32_t cell = findCell(x, y);
            if (cell < 0) {
                continue;
            }
            for (const std::uint32_t e : cells[static_cast<std::size_t>(cell)]) {
                if (e > after) {
                    out.push_back(e);
                }
            }
        }
    }
    for (const std::uint32_t e : everywhere) {
        if (e > after) {
            out.push_back(e);
        }
    }
    return true; // a box reaching several cells finds some entries more than once
}

void CollisionGrid::sortUnique(std::vector<std::uint32_t>& entries) {
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
}

} // namespace mx
