#pragma once

#include <cstdint>
#include <optional>

#include <SFML/Graphics/Color.hpp>

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

    /// A number no other object of this run has.
    [[nodiscard]] int getId() const { return id; }
    /// The centre, in world cells.
    [[nodiscard]] Vector getPosition() const { return position; }
    /// Puts the centre there; the world moves it on by its velocity at each update.
    void setPosition(Vector p) {
        position = p;
        noteChange();
    }
    /// Cells added to the position at each world update.
    [[nodiscard]] Vector getVelocity() const { return velocity; }
    /// Sets the cells added to the position at each world update.
    void setVelocity(Vector v) { velocity = v; }
    /// The drawing layer: 0 is drawn first, HIGHEST_ALTITUDE last.
    [[nodiscard]] int getAltitude() const { return altitude; }
    /// Sets the drawing layer: 0 is drawn first, HIGHEST_ALTITUDE last (higher ones with it).
    void setAltitude(int a) { altitude = a; }
    /// How it takes part in collisions (SOLID at first).
    [[nodiscard]] Solidness getSolidness() const { return solidness; }
    /// Sets how it takes part in collisions.
    void setSolidness(Solidness s) {
        solidness = s;
        noteChange();
    }
    /// Its extent around its position: only the width and height count (one cell at
    /// first, the sprite's size once one is attached).
    [[nodiscard]] Box getBox() const { return box; }
    /// The sprite it shows, and which frame.
    [[nodiscard]] const Animation& getAnimation() const { return animation; }

    /// Attaches a sprite (null detaches), restarts the animation and sizes the box to it.
    void setSprite(const Sprite* sprite);

    /// Draws it in this colour, whatever its sprite's: one sprite, objects of many colours.
    void setColor(sf::Color c) { color = c; }
    /// The colour it is drawn in: the one set, else its sprite's, else white.
    [[nodiscard]] sf::Color getColor() const;

    /// Keeps it getting step events, and its animation running, while the world is paused
    /// (WorldManager::setPaused): for what moves on a pause screen. Off at first.
    void setStepWhilePaused(bool step) { stepWhilePaused = step; }
    /// Whether it gets step events, and animates, while the world is paused.
    [[nodiscard]] bool isStepWhilePaused() const { return stepWhilePaused; }

    /// The object's extent in world cells: its box's size centred on its position.
    [[nodiscard]] Box getWorldBox() const;

protected:
    /// Sets its extent around its position; only the width and height count.
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
    std::optional<sf::Color> color; ///< set by the game; else the sprite's
    bool stepWhilePaused = false;
    std::int32_t collisionSlot = -1; ///< place in the running collision pass, or -1
};

} // namespace mx
