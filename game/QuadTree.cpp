#include "QuadTree.h"

#include <mx/Object.h>

namespace {

bool contains(const mx::Box& b, mx::Vector p) {
    return b.left <= p.x && p.x <= b.right && b.top <= p.y && p.y <= b.bottom;
}

bool within(const mx::Box& inner, const mx::Box& outer) {
    return outer.left <= inner.left && inner.right <= outer.right && outer.top <= inner.top &&
           inner.bottom <= outer.bottom;
}

/// Closed boxes that share at least a point.
bool touch(const mx::Box& a, const mx::Box& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

} // namespace

QuadTree::QuadTree(mx::Box bounds_, int capacity_, int depth_, const mx::ObjectList& initial)
    : bounds(bounds_), capacity(capacity_), depth(depth_) {
    for (mx::Object* object : initial) {
        insert(object);
    }
}

// Children go first; unique_ptr frees them, deepest first.
QuadTree::~QuadTree() = default;

void QuadTree::insert(mx::Object* object) {
    if (!contains(bounds, object->getPosition())) {
        return;
    }
    if (!divided) {
        if (static_cast<int>(objects.size()) < capacity || depth >= QUADTREE_DEPTH_LIMIT) {
            objects.insert(object);
            return;
        }
        subdivide();
    }
    objects.insert(object);
    for (auto& child : children) {
        child->insert(object);
    }
}

void QuadTree::subdivide() {
    if (divided) {
        return;
    }
    divided = true;
    const float midX = (bounds.left + bounds.right) * 0.5f;
    const float midY = (bounds.top + bounds.bottom) * 0.5f;
    const mx::Box quadrants[4] = {
        {bounds.left, midX, bounds.top, midY},
        {bounds.left, midX, midY, bounds.bottom},
        {midX, bounds.right, bounds.top, midY},
        {midX, bounds.right, midY, bounds.bottom},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        children[i] = std::make_unique<QuadTree>(quadrants[i], capacity, depth + 1, objects);
    }
}

mx::ObjectList QuadTree::query(const mx::Box& box) const {
    mx::ObjectList result;
    collect(box, result, false);
    return result;
}

mx::ObjectList QuadTree::queryPruned(const mx::Box& box) const {
    mx::ObjectList result;
    collect(box, result, true);
    return result;
}

void QuadTree::collect(const mx::Box& box, mx::ObjectList& result, bool pruned) const {
    if (divided) {
        for (const auto& child : children) {
            // Every stored position lies inside its node's bounds unless an object has
            // moved since; only such subtrees may hold an answer outside their bounds.
            if (pruned && !child->holdsMovedObject && !touch(child->bounds, box)) {
                continue;
            }
            child->collect(box, result, pruned);
        }
        return;
    }
    const bool whole = within(bounds, box);
    for (mx::Object* object : objects) {
        if (whole || contains(box, object->getPosition())) {
            result.insert(object);
        }
    }
}

void QuadTree::noteMoved(mx::Vector insertedAt) {
    // The nodes that hold the object are those whose bounds contain where it was inserted.
    if (!contains(bounds, insertedAt)) {
        return;
    }
    holdsMovedObject = true;
    if (divided) {
        for (auto& child : children) {
            child->noteMoved(insertedAt);
        }
    }
}
