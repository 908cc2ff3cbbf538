#include "QuadTree.h"

#include <algorithm>

#include <mx/Object.h>

namespace {

// The tests combine their comparisons with & rather than &&: without branches they cost the
// same whatever the answer.

bool contains(const mx::Box& b, mx::Vector p) {
    return (b.left <= p.x) & (p.x <= b.right) & (b.top <= p.y) & (p.y <= b.bottom);
}

bool within(const mx::Box& inner, const mx::Box& outer) {
    return (outer.left <= inner.left) & (inner.right <= outer.right) & (outer.top <= inner.top) &
           (inner.bottom <= outer.bottom);
}

/// Closed boxes that share at least a point.
bool touch(const mx::Box& a, const mx::Box& b) {
    return (a.left <= b.right) & (b.left <= a.right) & (a.top <= b.bottom) & (b.top <= a.bottom);
}

/// Nodes waiting in a depth-first walk: each level leaves at most four behind.
using Pending = std::array<std::int32_t, 4 * (QUADTREE_DEPTH_LIMIT + 1)>;

} // namespace

void QuadTree::clear() {
    nodes.clear();
    arrivals.clear();
    objects.clear();
    crowdsUsed = 0;
    listed.clear();
    moved.clear();
    late.clear();
    movedPlacesBegin.clear();
    movedPlaces.clear();
}

void QuadTree::build(const mx::Box& bounds, const mx::ObjectList& list) {
    clear();
    objects.assign(list.begin(), list.end());
    builtAt.resize(objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        builtAt[i] = objects[i]->getPosition();
    }
    nodes.push_back(Node{bounds});
    arrivals.emplace_back();
    for (std::uint32_t i = 0; i < objects.size(); ++i) {
        insert(0, i);
    }
    listedAt.assign(objects.size(), -1);
    std::uint32_t rank = 0;
    listInWalkOrder(0, rank);
    walked.resize(listed.size());
}

void QuadTree::append(Arrivals& leaf, std::uint32_t number) {
    if (leaf.count < QUADTREE_CAPACITY) {
        leaf.first[leaf.count++] = number;
        return;
    }
    // Only a leaf at the depth limit grows past its capacity: objects piled on one spot.
    if (leaf.crowd < 0) {
        if (crowdsUsed == crowds.size()) {
            crowds.emplace_back();
        }
        crowds[crowdsUsed].clear();
        leaf.crowd = static_cast<std::int32_t>(crowdsUsed++);
    }
    crowds[static_cast<std::size_t>(leaf.crowd)].push_back(number);
    ++leaf.count;
}

std::uint32_t QuadTree::arrival(const Arrivals& leaf, std::uint32_t k) const {
    return k < QUADTREE_CAPACITY ? leaf.first[k] : crowds[static_cast<std::size_t>(leaf.crowd)][k - QUADTREE_CAPACITY];
}

void QuadTree::insert(std::int32_t node, std::uint32_t number) {
    // Nodes are named by index: subdividing may move the array.
    if (!contains(nodes[static_cast<std::size_t>(node)].bounds, builtAt[number])) {
        return;
    }
    if (nodes[static_cast<std::size_t>(node)].firstChild < 0) {
        Arrivals& leaf = arrivals[static_cast<std::size_t>(node)];
        if (leaf.count < QUADTREE_CAPACITY || leaf.depth >= QUADTREE_DEPTH_LIMIT) {
            append(leaf, number);
            return;
        }
        subdivide(node);
    }
    const std::int32_t firstChild = nodes[static_cast<std::size_t>(node)].firstChild;
    for (std::int32_t c = 0; c < 4; ++c) {
        insert(firstChild + c, number);
    }
}

void QuadTree::subdivide(std::int32_t node) {
    const mx::Box b = nodes[static_cast<std::size_t>(node)].bounds;
    const Arrivals parent = arrivals[static_cast<std::size_t>(node)];
    const float midX = (b.left + b.right) * 0.5f;
    const float midY = (b.top + b.bottom) * 0.5f;
    const mx::Box quadrants[4] = {
        {b.left, midX, b.top, midY},
        {b.left, midX, midY, b.bottom},
        {midX, b.right, b.top, midY},
        {midX, b.right, midY, b.bottom},
    };
    const auto firstChild = static_cast<std::int32_t>(nodes.size());
    for (const mx::Box& quadrant : quadrants) {
        nodes.push_back(Node{quadrant});
        arrivals.emplace_back().depth = parent.depth + 1;
    }
    nodes[static_cast<std::size_t>(node)].firstChild = firstChild;
    // Each child takes, in order, the parent's objects that lie in its quadrant.
    for (std::int32_t c = 0; c < 4; ++c) {
        for (std::uint32_t k = 0; k < parent.count; ++k) {
            insert(firstChild + c, parent.first[k]);
        }
    }
}

void QuadTree::listInWalkOrder(std::int32_t index, std::uint32_t& rank) {
    Node& node = nodes[static_cast<std::size_t>(index)];
    node.listedBegin = static_cast<std::uint32_t>(listed.size());
    if (node.firstChild >= 0) {
        for (std::int32_t c = 0; c < 4; ++c) {
            listInWalkOrder(node.firstChild + c, rank);
        }
    } else {
        Arrivals& leaf = arrivals[static_cast<std::size_t>(index)];
        leaf.rank = rank++;
        for (std::uint32_t k = 0; k < leaf.count; ++k) {
            const std::uint32_t number = arrival(leaf, k);
            if (listedAt[number] < 0) { // an object on a dividing line is listed where met first
                listedAt[number] = static_cast<std::int32_t>(listed.size());
                listed.push_back(Listed{builtAt[number], number, k, false});
            }
        }
    }
    node.listedEnd = static_cast<std::uint32_t>(listed.size());
}

void QuadTree::query(const mx::Box& box, std::vector<Found>& out) const {
    out.clear();
    if (nodes.empty()) {
        return;
    }
    // The walk is all guesswork for a branch predictor: its tests are summed, not branched on.
    std::uint32_t* hits = walked.data();
    std::size_t hitCount = 0;
    Pending pending;
    std::size_t waiting = 0;
    pending[waiting++] = 0;
    while (waiting > 0) {
        const Node& node = nodes[static_cast<std::size_t>(pending[--waiting])];
        // Positions that have not moved lie in their leaves: a subtree wholly inside the
        // box lists all of them, one the box cannot reach lists none.
        if (within(node.bounds, box)) {
            for (std::uint32_t i = node.listedBegin; i < node.listedEnd; ++i) {
                hits[hitCount] = i;
                hitCount += !listed[i].moved;
            }
        } else if (node.firstChild >= 0) {
            for (std::int32_t c = 3; c >= 0; --c) {
                pending[waiting] = node.firstChild + c;
                waiting += touch(nodes[static_cast<std::size_t>(node.firstChild + c)].bounds, box);
            }
        } else {
            for (std::uint32_t i = node.listedBegin; i < node.listedEnd; ++i) {
                const Listed& entry = listed[i];
                hits[hitCount] = i;
                hitCount += !entry.moved & contains(box, entry.position);
            }
        }
    }
    if (!moved.empty()) {
        placeMovedObjects(box);
    }
    out.resize(hitCount + late.size());
    std::size_t next = 0;
    std::size_t written = 0;
    for (std::size_t h = 0; h < hitCount; ++h) {
        const std::uint32_t i = hits[h];
        while (next < late.size() && late[next].before <= i) {
            out[written++] = late[next++].found;
        }
        out[written++] = Found{listed[i].number, listed[i].position};
    }
    while (next < late.size()) {
        out[written++] = late[next++].found;
    }
}

void QuadTree::placeMovedObjects(const mx::Box& box) const {
    late.clear();
    for (std::size_t m = 0; m < moved.size(); ++m) {
        const Found found{moved[m], objects[moved[m]]->getPosition()};
        const bool inside = contains(box, found.position);
        const std::size_t end = m + 1 < moved.size() ? movedPlacesBegin[m + 1] : movedPlaces.size();
        // Listed in the first of its leaves (in walk order) that lists it: any, when it is
        // inside the box; else the first that lies wholly inside the box, if one does.
        for (std::size_t p = movedPlacesBegin[m]; p < end; ++p) {
            const auto leaf = static_cast<std::size_t>(movedPlaces[p].node);
            if (!inside && !within(nodes[leaf].bounds, box)) {
                continue;
            }
            std::uint32_t before = nodes[leaf].listedBegin;
            while (before < nodes[leaf].listedEnd && listed[before].slot < movedPlaces[p].slot) {
                ++before;
            }
            late.push_back(Late{arrivals[leaf].rank, movedPlaces[p].slot, before, found});
            break;
        }
    }
    std::sort(late.begin(), late.end(), [](const Late& a, const Late& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.slot < b.slot;
    });
}

void QuadTree::noteMoved(std::uint32_t number) {
    if (number >= objects.size() || listedAt[number] < 0) {
        return; // outside the tree's bounds when built: in no leaf, never listed
    }
    Listed& entry = listed[static_cast<std::size_t>(listedAt[number])];
    if (entry.moved) {
        return;
    }
    entry.moved = true;
    moved.push_back(number);
    movedPlacesBegin.push_back(static_cast<std::uint32_t>(movedPlaces.size()));
    // The leaves holding it are those whose bounds contain where it was at the build.
    Pending pending;
    std::size_t waiting = 0;
    pending[waiting++] = 0;
    while (waiting > 0) {
        const std::int32_t index = pending[--waiting];
        const Node& node = nodes[static_cast<std::size_t>(index)];
        if (!contains(node.bounds, builtAt[number])) {
            continue;
        }
        if (node.firstChild >= 0) {
            for (std::int32_t c = 3; c >= 0; --c) {
                pending[waiting++] = node.firstChild + c;
            }
            continue;
        }
        const Arrivals& leaf = arrivals[static_cast<std::size_t>(index)];
        for (std::uint32_t k = 0; k < leaf.count; ++k) {
            if (arrival(leaf, k) == number) {
                movedPlaces.push_back(Place{index, k});
                break;
            }
        }
    }
}
