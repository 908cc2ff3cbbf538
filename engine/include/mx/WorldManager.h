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
struct Seams;

/// How soon an object marked for deletion leaves the world.
enum Removal : int {
    /// It lives on, moves, collides, gets events and draws until the frame's deletion
    /// phase, which follows the world update. What markForDelete does by default.
    REMOVE_AFTER_UPDATE = 0,
    /// It leaves the world at once: out of the object list (the others keep their order),
    /// no more collisions in a running update, no more events (not even the rest of a
    /// broadcast under way), no drawing, no timers; the view stops following it. It is
    /// destroyed at the deletion phase as usual, so a pointer to it stays valid until then.
    /// For a new screen in the same frame: what was there does not meet what comes.
    REMOVE_AT_ONCE = 1,
};

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
    /// Queues an object for destruction, and with REMOVE_AT_ONCE takes it out of the world
    /// now (see Removal). Safe anywhere, inside a collision handler too.
    void markForDelete(Object* object, Removal removal);

    /// Queues every object whose type string is T::TYPE for destruction, as markForDelete
    /// does (so also during an event pass), and returns how many. Objects of classes derived
    /// from T that keep T's type go too. A class without a TYPE does not compile; in a debug
    /// build an assertion stops the program, after an ERROR line in the log, when objects
    /// of another class carry T::TYPE, or objects of T itself carry another type.
    template <class T>
    int markAllForDelete() {
        return markAllForDelete<T>(REMOVE_AFTER_UPDATE);
    }
    /// markAllForDelete, and with REMOVE_AT_ONCE every object it marks leaves the world now
    /// (see Removal).
    template <class T>
    int markAllForDelete(Removal removal) {
        checkTypeOf<T>("markAllForDelete");
        const std::array<std::string_view, 1> types{T::TYPE};
        return markByType(types, true, removal);
    }

    /// Queues every object for destruction except those whose type string is the TYPE of
    /// one of the Kept classes (a new round: markAllForDeleteExcept<Game, Wall>()), and
    /// returns how many. Checked as markAllForDelete checks.
    template <class... Kept>
    int markAllForDeleteExcept() {
        return markAllForDeleteExcept<Kept...>(REMOVE_AFTER_UPDATE);
    }
    /// markAllForDeleteExcept, and with REMOVE_AT_ONCE every object it marks leaves the world
    /// now (see Removal): a new screen, markAllForDeleteExcept<Game>(mx::REMOVE_AT_ONCE), made
    /// in the same handler, meets nothing of the old one.
    template <class... Kept>
    int markAllForDeleteExcept(Removal removal) {
        (checkTypeOf<Kept>("markAllForDeleteExcept"), ...);
        const std::array<std::string_view, sizeof...(Kept)> kept{std::string_view(Kept::TYPE)...};
        return markByType(kept, false, removal);
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

    /// Makes the world wrap at its boundary, across (left and right edges meet), up and
    /// down (top and bottom meet), or both. Along a wrapping axis each update brings every
    /// moved object's position back into the boundary (wrap), so nothing leaves the world
    /// that way; two objects collide when one's box overlaps the other's or a copy of it
    /// one boundary's width (height) away, with the same events in the same order as
    /// elsewhere; an object near the seam is drawn where the view shows it, and the view
    /// may cross the seam. Keep the view's centre inside the boundary (following an object
    /// does) and the boundary at least as large as the view. Off at first, and after a
    /// shut-down.
    void setWrapping(bool across, bool upAndDown) {
        wrapsAcross = across;
        wrapsUpAndDown = upAndDown;
    }
    /// Wraps both ways, or neither.
    void setWrapping(bool both) { setWrapping(both, both); }
    /// Whether the world wraps across: its left and right edges meet.
    [[nodiscard]] bool isWrappingAcross() const { return wrapsAcross; }
    /// Whether the world wraps up and down: its top and bottom edges meet.
    [[nodiscard]] bool isWrappingUpAndDown() const { return wrapsUpAndDown; }
    /// A position brought into the boundary along the axes that wrap (left <= x < right,
    /// top <= y < bottom); unchanged along the others, and where it is not a finite number.
    [[nodiscard]] Vector wrap(Vector position) const;
    /// The way from one position to another, to - from, the short way round along the axes
    /// that wrap: where to aim, or how far apart two objects are, across the seam.
    [[nodiscard]] Vector displacement(Vector from, Vector to) const;
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
    friend class Object;      // registers itself, tells a running collision pass of changes, keeps timers
    friend class GameManager; // runs the timers and draws the copies across the seam
    WorldManager();
    ~WorldManager();

    /// Registers an object; called by the Object constructor only.
    void insertObject(Object* object) { objects.insert(object); }
    /// Unregisters an object, and stops the view following it; called by the Object destructor only.
    void removeObject(Object* object);

    int startUpImpl() override;
    void shutDownImpl() override;

    /// Marks every object whose type is among types (matching), or among none of them.
    int markByType(std::span<const std::string_view> types, bool matching, Removal removal);
    /// Takes a marked object out of the world's business; the object list is tidied after.
    void retire(Object* object);
    /// Takes the retired objects out of the object list, the others keeping their order.
    void dropRetired();
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

    /// The copies of the world beside it, for collisions and drawing.
    [[nodiscard]] Seams getSeams() const;

    template <bool WRAPPING>
    void updateWith(const Seams& seams);
    template <bool WRAPPING>
    void collide(const Seams& seams);
    void indexForCollisions();
    /// The objects after `after` whose boxes may meet box or, where the world wraps, one of
    /// their copies; the copies that may meet it go to copies (ZERO first).
    template <bool WRAPPING>
    void findPartners(const Box& box, std::uint32_t after, const Seams& seams);
    /// An object of the running collision pass changed its box or solidness.
    void objectChanged(const Object& object);

    /// One timer an object asked for (Object::startTimer).
    struct Timer {
        Object* object;     ///< null once stopped
        std::string name;
        int period;         ///< the steps it was started with
        int left;           ///< steps before it fires
        bool repeating;
        int fired = 0;      ///< how many times it has fired
    };
    void startTimer(Object* object, std::string name, int steps, bool repeating);
    bool stopTimer(Object* object, std::string_view name);
    [[nodiscard]] const Timer* findTimer(const Object* object, std::string_view name) const;
    void stopTimers(Object* object);
    /// Counts one step on every timer that steps now and sends the due ones their event.
    void runTimers() {
        if (!timers.empty()) {
            fireTimers();
        }
    }
    void fireTimers();

    ObjectList objects;
    ObjectList deletions;
    Box boundary;
    Box view;
    Object* viewFollowing = nullptr;
    bool paused = false;
    bool wrapsAcross = false;
    bool wrapsUpAndDown = false;
    std::vector<Timer> timers; ///< in the order they were started
    bool timersStopped = false; ///< some entry of timers has stopped and waits to be dropped

    // Scratch of the update, kept between frames so that an update allocates nothing.
    std::vector<Object*> moving;       ///< the objects taking part, in list order
    std::vector<Vector> oldPositions;  ///< where each was before it moved
    std::vector<char> wasOut;          ///< whether each lay wholly outside the boundary then
    std::vector<std::uint32_t> nearby; ///< the current object's candidates
    std::array<Vector, 9> copies{};    ///< the copies of the other the current object may meet
    int copyCount = 1;
    Box reach;                         ///< every box of the running pass lies inside it (wrapping only)
    bool reachKept = false;            ///< reach is kept up to date (a wrapping pass runs)
    std::unique_ptr<CollisionGrid> grid;
    std::size_t colliding = 0;         ///< the object whose pairs are being tested
    std::uint64_t changes = 0;         ///< changes that may affect the pairs still to test
};

} // namespace mx
