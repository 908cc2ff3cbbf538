#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <SFML/Graphics/Color.hpp>

#include <mx/Object.h>
#include <mx/ObjectList.h>

#include "QuadTree.h"

namespace mx {
struct EventStep;
}

/// How a bird steers.
enum BirdState : int {
    STOPPED = 0,   ///< the game is over: it stands still
    FLOCKING = 1,  ///< keeps with its flock, away from others, and reacts to the hero
    FOLLOWING = 3, ///< has heard the hero's call: answers only to the hero
};

/// The four flock colours; nests and their counters use the same table.
inline constexpr sf::Color BIRD_COLORS[4] = {
    {255, 0, 255, 255}, // magenta
    {255, 255, 0, 255}, // yellow
    {255, 127, 0, 255}, // orange
    {0, 255, 255, 255}, // cyan
};

// Steering constants: radii in cells, speeds in cells per step.
inline constexpr float SEPARATION_RADIUS = 2.0f;
inline constexpr float SEPARATION_WEIGHT = 5.0f;
inline constexpr float AVOID_RADIUS = 3.0f;
inline constexpr float AVOID_WEIGHT = 5.0f;
inline constexpr float ALIGNMENT_RADIUS = 5.0f;
inline constexpr float ALIGNMENT_WEIGHT = 1.2f;
inline constexpr float COHESION_RADIUS = 6.0f;
inline constexpr float COHESION_WEIGHT = 0.1f;
inline constexpr float SPEED_FLOOR = 0.4f;
inline constexpr float SPEED_CEILING = 0.5f;

/// Another bird near a steering bird, as the steering rules see it.
struct Neighbour {
    /// What the entry of the bird list is; only a Bird or a Hero can be one, but the list is open.
    enum Kind : std::uint8_t { BIRD, HERO, NOT_A_BIRD };

    mx::Object* object = nullptr;
    mx::Vector position; ///< where it was when found
    int color = -1;      ///< its flock colour (-1 for the hero)
    Kind kind = BIRD;
};

/// A bird of one of the four colour flocks. Each step it steers by five rules
/// computed over its neighbours, found through a quadtree of all birds that is
/// rebuilt once per frame, and it never leaves the world.
class Bird : public mx::Object {
public:
    static constexpr const char* TYPE = "Bird";
    static constexpr char BIRD_CHAR = '&';

    /// A bird of flock colour 0 to 3 (-1 for the hero), at a random place inside the world.
    explicit Bird(int color);
    ~Bird() override;

    /// Steers on "StepEvent", stops for good on "GameOver"; "OutEvent" is acknowledged.
    int eventHandler(const mx::Event* event) override;

    /// Draws the bird as "&" in its flock colour; the first bird drawn in a frame
    /// discards the frame's neighbour index. Returns 0.
    int draw() override;

    [[nodiscard]] int getColor() const { return color; }
    [[nodiscard]] BirdState getState() const { return state; }
    void setState(BirdState s) { state = s; }

    /// The velocity the rules give for this step.
    [[nodiscard]] mx::Vector steer();

    /// Birds (and the hero) strictly within 6 cells, from the current index, in its order.
    [[nodiscard]] std::vector<Neighbour> getNeighbours() const;
    /// The same into a buffer the caller keeps, so that steering allocates nothing.
    void findNeighbours(std::vector<Neighbour>& out) const;

    [[nodiscard]] mx::Vector separateFromFlock(std::span<const Neighbour> neighbours);
    [[nodiscard]] mx::Vector separateFromOthers(std::span<const Neighbour> neighbours);
    [[nodiscard]] mx::Vector alignWithFlock(std::span<const Neighbour> neighbours) const;
    [[nodiscard]] mx::Vector cohereWithFlock(std::span<const Neighbour> neighbours) const;
    [[nodiscard]] mx::Vector reactToHero(std::span<const Neighbour> neighbours);

    /// Keeps a moving velocity's length between SPEED_FLOOR and SPEED_CEILING.
    static void limitSpeed(mx::Vector& velocity);

    /// The wall rule: stops every velocity component that would carry the object out
    /// of the world, putting it on the wall it heads for.
    void keepInsideBoundary();

    /// Every live bird, the hero included, in construction order as changed by removals.
    static mx::ObjectList birdlist;

    /// The neighbour index of the current frame, or null.
    [[nodiscard]] static const QuadTree* getQuadTree() { return quadtree.isEmpty() ? nullptr : &quadtree; }
    /// Builds a fresh index from the birds' positions now, for the given step.
    static void buildQuadTree(std::int64_t stepCount);
    static void discardQuadTree();

private:
    /// What rules F1, F3 and F4 give: they read the same neighbours, this bird's colour.
    struct FlockForces {
        mx::Vector separation;
        mx::Vector alignment;
        mx::Vector cohesion;
    };
    enum FlockRule : unsigned { SEPARATION = 1, ALIGNMENT = 2, COHESION = 4 };
    /// Rules F1, F3 and F4 in one pass over the neighbours; `rules` picks which, and each
    /// comes out as if computed alone.
    [[nodiscard]] FlockForces followFlock(std::span<const Neighbour> neighbours, unsigned rules) const;
    void onStep(const mx::EventStep& step);

    int color;
    BirdState state = FLOCKING;
    std::uint32_t indexNumber = NOT_INDEXED; ///< its number in the current index
    static constexpr std::uint32_t NOT_INDEXED = UINT32_MAX;

    static QuadTree quadtree;
    static std::int64_t quadtreeStep; ///< the step the index was built for
    /// Per entry of the index: what it is and its colour, found once per build.
    static std::vector<Neighbour> indexed;
};
