#pragma once

#include <array>
#include <memory>

#include <mx/Box.h>
#include <mx/ObjectList.h>

/// Objects a leaf holds before it divides.
inline constexpr int QUADTREE_CAPACITY = 4;
/// A leaf this deep never divides.
inline constexpr int QUADTREE_DEPTH_LIMIT = 16;

/// A point quadtree over a closed box: which objects lie inside a query box?
/// Holds non-owning object pointers placed by their positions, read at each insert
/// and query. Divided nodes keep their own lists, and an object on a dividing line
/// is stored in every child whose closed quadrant contains it.
class QuadTree {
public:
    /// An empty leaf that then inserts the objects of the list, in order.
    QuadTree(mx::Box bounds, int capacity, int depth, const mx::ObjectList& objects = {});
    ~QuadTree();

    QuadTree(const QuadTree&) = delete;
    QuadTree& operator=(const QuadTree&) = delete;

    /// Stores an object under its position; outside the bounds it is not stored.
    void insert(mx::Object* object);

    /// Creates the four children (top-left, bottom-left, top-right, bottom-right) from this node's objects.
    void subdivide();

    /// The stored objects whose positions lie inside the box, each once, depth first.
    [[nodiscard]] mx::ObjectList query(const mx::Box& box) const;

    /// The same result as query, found without visiting subtrees the box cannot reach.
    [[nodiscard]] mx::ObjectList queryPruned(const mx::Box& box) const;

    /// Tells the tree that an object it holds moved from where it was inserted, so
    /// that queryPruned still finds it where query would.
    void noteMoved(mx::Vector insertedAt);

    [[nodiscard]] const mx::Box& getBounds() const { return bounds; }
    [[nodiscard]] const mx::ObjectList& getObjects() const { return objects; }
    [[nodiscard]] bool isDivided() const { return divided; }
    [[nodiscard]] const QuadTree* getChild(int i) const { return children[static_cast<std::size_t>(i)].get(); }
    [[nodiscard]] int getCapacity() const { return capacity; }
    [[nodiscard]] int getDepth() const { return depth; }

private:
    void collect(const mx::Box& box, mx::ObjectList& result, bool pruned) const;

    mx::Box bounds;
    mx::ObjectList objects;
    bool divided = false;
    std::array<std::unique_ptr<QuadTree>, 4> children;
    int capacity;
    int depth;
    bool holdsMovedObject = false; ///< some object below moved since it was inserted
};
