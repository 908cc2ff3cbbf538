#pragma once

#include <cstdint>
#include <vector>

#include <mx/Box.h>

namespace mx {

/// The world update's broad-phase: a spatial hash of the boxes taking part in one
/// collision pass, so that each box meets only the boxes near it instead of all of them.
///
/// Entries are numbered by their place in the update's object list. Each present entry
/// sits in every grid cell its box reaches, which makes the search exact: any two boxes
/// that boxesIntersect accepts share at least one cell. Entries can be moved, resized,
/// added or taken out while the pass runs (event handlers do that), and a search always
/// answers for the boxes as they are at that moment.
class CollisionGrid {
public:
    /// Forgets every entry and prepares for entries 0 to count - 1, none present yet.
    /// typicalSize, the usual width or height of a box, sets the cell size.
    void reset(std::size_t count, float typicalSize);

    /// Puts an entry in the grid with the given box, or takes it out (present false).
    void place(std::uint32_t entry, const Box& box, bool present);

    /// Fills out, in increasing order and each once, with the present entries above
    /// `after` that may intersect the box: every one that does, and a few that do not.
    void candidates(const Box& box, std::uint32_t after, std::vector<std::uint32_t>& out) const;

    /// Adds to out the candidates of box as candidates does, in no order and some more than
    /// once; returns false when what it added is in order, each once. For several searches
    /// in a row, then sortUnique.
    bool addCandidates(const Box& box, std::uint32_t after, std::vector<std::uint32_t>& out) const;

    /// Puts entries in increasing order, each once.
    static void sortUnique(std::vector<std::uint32_t>& entries);

private:
    /// The cells an entry covers, or where it is kept instead.
    struct Span {
        std::int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
        enum Kind : std::uint8_t { ABSENT, CELLS, EVERYWHERE } kind = ABSENT;
    };

    [[nodiscard]] Span spanOf(const Box& box) const;
    [[nodiscard]] std::int32_t cellOf(float coordinate) const;
    [[nodiscard]] std::int32_t findCell(std::int32_t x, std::int32_t y) const;
    std::int32_t findOrAddCell(std::int32_t x, std::int32_t y);
    void grow();

    float inverseCellSize = 1.0f;
    std::vector<Span> spans;                         ///< per entry
    std::vector<std::uint32_t> everywhere;           ///< entries too large for cells, any order
    std::vector<std::uint64_t> keys;                 ///< hash table of cell coordinates
    std::vector<std::int32_t> slots;                 ///< per key: index into cells, -1 when free
    std::vector<std::vector<std::uint32_t>> cells;   ///< entries per cell, any order; kept for reuse
    std::size_t cellsUsed = 0;
};

} // namespace mx
