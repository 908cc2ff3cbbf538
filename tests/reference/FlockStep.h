// The flock's step as it was before the lean one, frozen as the reference the lean step
// is compared with: a quadtree of object lists rebuilt each frame, neighbour lists built
// per bird, every rule testing each neighbour's class.
#pragma once

#include <array>
#include <memory>

#include <mx/Box.h>
#include <mx/ObjectList.h>

class Bird;

namespace reference {

/// The point quadtree the birds found their neighbours in.
class QuadTree {
public:
    QuadTree(mx::Box bounds, int capacity, int depth, const mx::ObjectList& objects = {});

    void insert(mx::Object* object);
    void subdivide();
    /// The stored objects whose positions lie inside the box, each once, depth first,
    /// skipping subtrees the box cannot reach.
    [[nodiscard]] mx::ObjectList queryPruned(const mx::Box& box) const;
    /// Tells the tree that an object it holds moved from where it was inserted.
    void noteMoved(mx::Vector insertedAt);

private:
    void collect(const mx::Box& box, mx::ObjectList& result) const;

    mx::Box bounds;
    mx::ObjectList objects;
    bool divided = false;
    std::array<std::unique_ptr<QuadTree>, 4> children;
    int capacity;
    int depth;
    bool holdsMovedObject = false;
};

/// Broadcasts a step event as the world does, every bird (the hero aside) steering by
/// the old code, from one index built at the first bird; other objects handle it themselves.
void stepEvent();

} // namespace reference
