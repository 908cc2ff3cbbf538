#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <mx/Box.h>
#include <mx/ObjectList.h>

/// Objects a leaf holds before it divides.
inline constexpr int QUADTREE_CAPACITY = 4;
/// A leaf this deep never divides.
inline constexpr int QUADTREE_DEPTH_LIMIT = 16;

/// A point quadtree over a closed box: which objects lie inside a query box?
///
/// Built from a list of objects as if they were inserted one by one: a leaf divides when a
/// fifth object arrives (above the depth limit) and hands its four to the children whose
/// closed quadrants hold them, so an object on a dividing line is in two leaves and one on
/// a centre in four. Objects are known by their number, their place in the list.
///
/// A query answers as a walk of every leaf would, depth first (children top-left,
/// bottom-left, top-right, bottom-right), listing each object once where first found: in
/// a leaf wholly inside the query box every object, elsewhere those whose positions are
/// inside it. It gets there faster: it skips subtrees the box cannot reach, and each leaf
/// keeps, side by side with their positions, the objects it lists first.
///
/// The tree keeps the positions its objects had when it was built. An object that moves
/// while the tree is in use must be reported with noteMoved; from then on its position is
/// read afresh at each query and it is listed exactly where the walk would list it.
class QuadTree {
public:
    /// An object a query found, and its position.
    struct Found {
        std::uint32_t number;
        mx::Vector position;
    };

    /// Builds the tree over bounds from the objects, in list order, replacing what it held.
    /// The arrays of earlier builds are reused.
    void build(const mx::Box& bounds, const mx::ObjectList& objects);

    /// Forgets every object.
    void clear();

    [[nodiscard]] bool isEmpty() const { return nodes.empty(); }

    /// Fills out with the objects inside the box, each once, in the walk's order.
    void query(const mx::Box& box, std::vector<Found>& out) const;

    /// The object with the given number.
    [[nodiscard]] mx::Object* getObject(std::uint32_t number) const { return objects[number]; }

    /// Reports that the object with the given number has moved since the build.
    void noteMoved(std::uint32_t number);

private:
    /// What a query walks: a node's bounds, its children, and the objects it lists first.
    struct Node {
        mx::Box bounds;
        std::int32_t firstChild = -1; ///< the four children are consecutive; -1 for a leaf
        std::uint32_t listedBegin = 0; ///< the range of listed that the node's leaves list first
        std::uint32_t listedEnd = 0;
    };

    /// The rest of a node, for building and for placing moved objects.
    struct Arrivals {
        std::int32_t depth = 0;
        std::uint32_t rank = 0;   ///< a leaf's place in the walk
        std::uint32_t count = 0;  ///< a leaf's objects, in arrival order: the first few here,
        std::int32_t crowd = -1;  ///< the rest of a crowd at the depth limit apart
        std::array<std::uint32_t, QUADTREE_CAPACITY> first{};
    };

    /// An object in the order the walk lists it first.
    struct Listed {
        mx::Vector position;
        std::uint32_t number;
        std::uint32_t slot; ///< its place in its leaf's arrival order
        bool moved;
    };

    /// A leaf that holds a moved object, and where in its arrival order.
    struct Place {
        std::int32_t node;
        std::uint32_t slot;
    };

    /// A moved object met by a query, with where the walk lists it.
    struct Late {
        std::uint32_t rank;
        std::uint32_t slot;
        std::uint32_t before; ///< the first listed entry that comes after it
        Found found;
    };

    void insert(std::int32_t node, std::uint32_t number);
    void subdivide(std::int32_t node);
    void append(Arrivals& leaf, std::uint32_t number);
    void listInWalkOrder(std::int32_t node, std::uint32_t& rank);
    [[nodiscard]] std::uint32_t arrival(const Arrivals& leaf, std::uint32_t k) const;
    void placeMovedObjects(const mx::Box& box) const;

    std::vector<Node> nodes;
    std::vector<Arrivals> arrivals; ///< per node
    std::vector<mx::Object*> objects;
    std::vector<mx::Vector> builtAt;
    std::vector<std::vector<std::uint32_t>> crowds; ///< kept for reuse
    std::size_t crowdsUsed = 0;
    std::vector<Listed> listed;
    std::vector<std::int32_t> listedAt;             ///< per object: its entry in listed, or -1
    std::vector<std::uint32_t> moved;               ///< moved objects, by number
    std::vector<std::uint32_t> movedPlacesBegin;    ///< per moved object: its first place
    std::vector<Place> movedPlaces;
    mutable std::vector<std::uint32_t> walked;      ///< scratch: listed entries a query met
    mutable std::vector<Late> late;                 ///< scratch: moved objects a query met
};
