#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <mx/Box.h>
#include <mx/Manager.h>
#include <mx/ObjectList.h>

namespace mx {

class Object;
class CollisionGrid;

/// Owns the world: every live object, the objects waiting to be destroyed,
/// the boundary and the view. Moves and collides the objects once per frame.
class WorldManager : public Manager {
public:
    static constexpr const char* TYPE = "WorldManager"; ///< the type of the world manager

    /// The one world manager; creating it also creates the display manager to read the grid.
    static WorldManager& getInstance();

    /// Every object, in registration order as changed by removals (a removed object's place
    /// takes the last one). Copy it before a loop that may make or destroy objects.
    [[nodiscard]] const ObjectList& getAllObjects() const { return objects; }

    /// Every object whose type string equals type exactly, in list order.
    [[nodiscard]] ObjectList objectsOfType(std::string type) const;

    /// Queues an object for destruction after the current update.
    void markForDelete(Object* object) { deletions.insert(object); }

    /// Destroys every queued object, including those queued while this runs.
    void deleteMarked();

    /// One world step: move, collide, follow, tell who left the world.
    void update();

    /// The world's extent: an object that leaves it gets an EventOut. The grid's size
    /// (0, 80, 0, 24) at first.
    [[nodiscard]] Box getBoundary() const { return boundary; }
    /// Sets the world's extent.
    void setBoundary(Box b) { boundary = b; }
    /// The part of the world the screen shows (80 x 24 cells); the boundary at first.
    [[nodiscard]] Box getView() const { return view; }
    /// Moves the screen over the world; keep the grid's width and height.
    void setView(Box v) { view = v; }
    /// The object the view is centred on at each update; null stops following, and so
    /// does the object's destruction.
    void setViewFollowing(Object* object) { viewFollowing = object; }
    /// The object the view follows, or null.
    [[nodiscard]] Object* getViewFollowing() const { return viewFollowing; }

private:
    friend class Immortal<WorldManager>;
    friend class Object; // registers itself, and tells a running collision pass of changes
    WorldManager();
    ~WorldManager();

    /// Registers an object; called by the Object constructor only.
    void insertObject(Object* object) { objects.insert(object); }
    /// Unregisters an object, and stops the view following it; called by the Object destructor only.
    void removeObject(Object* object);

    int startUpImpl() override;
    void shutDownImpl() override;

    void collide();
    void indexForCollisions();
    /// An object of the running collision pass changed its box or solidness.
    void objectChanged(const Object& object);

    ObjectList objects;
    ObjectList deletions;
    Box boundary;
    Box view;
    Object* viewFollowing = nullptr;

    // Scratch of the update, kept between frames so that an update allocates nothing.
    std::vector<Object*> moving;       ///< the objects taking part, in list order
    std::vector<Vector> oldPositions;  ///< where each was before it moved
    std::vector<char> wasOut;          ///< whether each lay wholly outside the boundary then
    std::vector<std::uint32_t> nearby; ///< the current object's candidates
    std::unique_ptr<CollisionGrid> grid;
    std::size_t colliding = 0;         ///< the object whose pairs are being tested
    std::uint64_t changes = 0;         ///< changes that may affect the pairs still to test
};

} // namespace mx
