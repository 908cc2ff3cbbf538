#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <typeinfo>
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

    /// Queues an object for destruction after the current update. Safe anywhere, event
    /// handlers included: the object lives on until the frame's deletion phase.
    void markForDelete(Object* object) { deletions.insert(object); }

    /// Queues every object whose type string is T::TYPE for destruction, as markForDelete
    /// does (so also during an event pass), and returns how many. Objects of classes derived
    /// from T that keep T's type go too. A class without a TYPE does not compile; in a debug
    /// build an assertion stops the program, after an ERROR line in the log, when objects
    /// of another class carry T::TYPE, or objects of T itself carry another type.
    template <class T>
    int markAllForDelete() {
        checkTypeOf<T>("markAllForDelete");
        const std::array<std::string_view, 1> types{T::TYPE};
        return markByType(types, true);
    }

    /// Queues every object for destruction except those whose type string is the TYPE of
    /// one of the Kept classes (a new round: markAllForDeleteExcept<Game, Wall>()), and
    /// returns how many. Checked as markAllForDelete checks.
    template <class... Kept>
    int markAllForDeleteExcept() {
        (checkTypeOf<Kept>("markAllForDeleteExcept"), ...);
        const std::array<std::string_view, sizeof...(Kept)> kept{std::string_view(Kept::TYPE)...};
        return markByType(kept, false);
    }

    /// Destroys every queued object, including those queued while this runs.
    void deleteMarked();

    /// One world step: move, collide, follow, tell who left the world. Does nothing while
    /// the world is paused.
    void update();

    /// Pauses the world, or lets it go on: while paused, nothing moves or collides, no
    /// object leaves the world, animations stand still and only the objects that ask for
    /// it (Object::setStepWhilePaused) get step events. Input, drawing, view objects and
    /// every other event go on, so a key can resume it. Not paused at first, nor after a
    /// shut-down.
    void setPaused(bool pause) { paused = pause; }
    /// Whether the world is paused.
    [[nodiscard]] bool isPaused() const { return paused; }

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

    /// Marks every object whose type is among types (matching), or among none of them.
    int markByType(std::span<const std::string_view> types, bool matching);
    /// Whether the objects carrying type are all of the class isA tests, and every object
    /// of exactly the class cls carries type; logs an ERROR line when not.
    [[nodiscard]] bool typeAgrees(const char* operation, std::string_view type, const std::type_info& cls,
                                  bool (*isA)(const Object*)) const;
    template <class T>
    void checkTypeOf(const char* operation) const {
        [[maybe_unused]] const bool agrees = typeAgrees(operation, T::TYPE, typeid(T), [](const Object* o) {
            return dynamic_cast<const T*>(o) != nullptr;
        });
        assert(agrees && "a type string and its class disagree: see the log");
    }

    void collide();
    void indexForCollisions();
    /// An object of the running collision pass changed its box or solidness.
    void objectChanged(const Object& object);

    ObjectList objects;
    ObjectList deletions;
    Box boundary;
    Box view;
    Object* viewFollowing = nullptr;
    bool paused = false;

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
