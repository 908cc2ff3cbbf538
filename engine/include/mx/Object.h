#pragma once

#include <cstdint>

#include <mx/Animation.h>
#include <mx/Box.h>
#include <mx/TypedObj.h>
#include <mx/Vector.h>

namespace mx {

struct Event;
class Sprite;

/// How an object takes part in collisions.
enum Solidness : int {
    SOLID = 0,      ///< collides; two solid objects block each other
    PERMEABLE = 1,  ///< collides and is told so, never blocks
    INTANGIBLE = 2, ///< never tested for collisions
};

/// The highest drawing layer; objects above it are drawn with it.
inline constexpr int HIGHEST_ALTITUDE = 5;

/// Everything that lives in the world. An object registers with the world
/// manager when constructed and unregisters when destroyed. Game code creates
/// objects with new; only the world manager destroys them.
class Object : public TypedObj {
public:
    Object();
    virtual ~Object();

    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    /// Reacts to one event; returns nonzero when it acted on it. The default ignores all.
    virtual int eventHandler(const Event* event);

    /// Draws the current sprite frame and advances the animation.
    /// Returns -1 when there is no sprite or the frame index is out of range.
    virtual int draw();

    [[nodiscard]] int getId() const { return id; }
    [[nodiscard]] Vector getPosition() const { return position; }
    void setPosition(Vector p) {
        position = p;
        noteChange();
    }
    [[nodiscard]] Vector getVelocity() const { return velocity; }
    void setVelocity(Vector v) { velocity = v; }
    [[nodiscard]] int getAltitude() const { return altitude; }
    void setAltitude(int a) { altitude = a; }
    [[nodiscard]] Solidness getSolidness() const { return solidness; }
    void setSolidness(Solidness s) {
        solidness = s;
        noteChange();
    }
    [[nodiscard]] Box getBox() const { return box; }
    [[nodiscard]] const Animation& getAnimation() const { return animation; }

    /// Attaches a sprite (null detaches), restarts the animation and sizes the box to it.
    void setSprite(const Sprite* sprite);

    /// The object's extent in world cells: its box's size centred on its position.
    [[nodiscard]] Box getWorldBox() const;

protected:
    void setBox(Box b) {
        box = b;
        noteChange();
    }

private:
    friend class WorldManager;

    /// Lets a running collision pass know that this object's box or solidness changed.
    void noteChange() {
        if (collisionSlot >= 0) {
            tellCollisionPass();
        }
    }
    void tellCollisionPass();

    int id;
    Vector position;
    Vector velocity;
    int altitude = 0;
    Solidness solidness = SOLID;
    Animation animation;
    Box box{-0.5f, 0.5f, -0.5f, 0.5f};
    std::int32_t collisionSlot = -1; ///< place in the running collision pass, or -1
};

} // namespace mx
