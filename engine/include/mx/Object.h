#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

    /// Shows this frame of its sprite from now on, for the sprite's full slowdown, keeping
    /// the sprite: a heading, a step of a burst. Counted round the sprite's frames, so -1 is
    /// the last and frameCount the first; 0 when it has no sprite of frames.
    void setFrame(int index);
    /// The frame of its sprite it shows (Animation::index).
    [[nodiscard]] int getFrame() const { return animation.index; }
    /// Stops its animation on the frame it shows (false), or lets it run on from there
    /// (true). Attaching another sprite leaves this as it is. Running at first.
    void setAnimating(bool on) { animating = on; }
    /// Whether its animation runs on as it is drawn.
    [[nodiscard]] bool isAnimating() const { return animating; }

    /// Draws it in this colour, whatever its sprite's: one sprite, objects of many colours.
    void setColor(sf::Color c) { color = c; }
    /// The colour it is drawn in: the one set, else its sprite's, else white.
    [[nodiscard]] sf::Color getColor() const;

    /// Keeps it getting step events, and its animation running, while the world is paused
    /// (WorldManager::setPaused): for what moves on a pause screen. Off at first.
    void setStepWhilePaused(bool step) { stepWhilePaused = step; }
    /// Whether it gets step events, and animates, while the world is paused.
    [[nodiscard]] bool isStepWhilePaused() const { return stepWhilePaused; }

    /// Has it drawn in every frame, wherever the view is: for an object that draws the
    /// screen's text or a HUD relative to the view, whatever its own position. An object
    /// otherwise draws only where its box overlaps the view. Off at first.
    void setAlwaysDrawn(bool always) { alwaysDrawn = always; }
    /// Whether it draws in every frame, wherever the view is.
    [[nodiscard]] bool isAlwaysDrawn() const { return alwaysDrawn; }

    /// Asks for an EventTimer named name, sent to this object alone in a step phase just
    /// before the steps-th step event from now (at least 1; started in a step handler, the
    /// next frame's is the first); with repeating, again every steps frames until stopped. Timers count the frames in which
    /// the object gets a step event, so they stand still while the world is paused (unless
    /// the object steps while paused) and replay exactly. Starting a timer under a name the
    /// object already uses starts it anew. Timers due in the same frame fire in the order
    /// they were started. An object destroyed, or taken out of the world, gets no more.
    void startTimer(std::string name, int steps, bool repeating = false);
    /// Stops its timer of that name; returns whether one was running.
    bool stopTimer(std::string_view name);
    /// The frames left before its timer of that name fires (1: in the next step phase), or
    /// -1 when none runs.
    [[nodiscard]] int getTimerLeft(std::string_view name) const;

    /// Whether it has left the world at once (WorldManager::markForDelete with
    /// REMOVE_AT_ONCE) and waits for the deletion phase: it is no longer in the world's
    /// object list, collides with nothing, gets no events and does not draw.
    [[nodiscard]] bool isRemoved() const { return removed; }

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
    friend class GameManager; // draws copies across a wrapping world's seam without animating them twice

    /// Lets a running collision pass know that this object's box or solidness changed.
    void noteChange() {
        if (collisionSlot >= 0) {
            tellCollisionPass();
        }
    }
    void tellCollisionPass();

    int id;
    bool removed = false; ///< left the world at once; read by every broadcast, so kept near the front
    Vector position;
    Vector velocity;
    int altitude = 0;
    Solidness solidness = SOLID;
    Animation animation;
    Box box{-0.5f, 0.5f, -0.5f, 0.5f};
    std::optional<sf::Color> color; ///< set by the game; else the sprite's
    bool stepWhilePaused = false;
    bool alwaysDrawn = false;
    bool animating = true;
    std::int32_t collisionSlot = -1; ///< place in the running collision pass, or -1
    std::int32_t timerCount = 0;     ///< its running timers, so that one without any is let go at once
};

} // namespace mx
