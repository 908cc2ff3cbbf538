#pragma once

#include <cstdint>
#include <memory>

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

    /// Birds (and the hero) strictly within 6 cells, from the current index.
    [[nodiscard]] mx::ObjectList getNeighbours() const;

    [[nodiscard]] mx::Vector separateFromFlock(const mx::ObjectList& neighbours);
    [[nodiscard]] mx::Vector separateFromOthers(const mx::ObjectList& neighbours);
    [[nodiscard]] mx::Vector alignWithFlock(const mx::ObjectList& neighbours) const;
    [[nodiscard]] mx::Vector cohereWithFlock(const mx::ObjectList& neighbours) const;
    [[nodiscard]] mx::Vector reactToHero(const mx::ObjectList& neighbours);

    /// Keeps a moving velocity's length between SPEED_FLOOR and SPEED_CEILING.
    static void limitSpeed(mx::Vector& velocity);

    /// The wall rule: stops every velocity component that would carry the object out
    /// of the world, putting it on the wall it heads for.
    void keepInsideBoundary();

    /// Every live bird, the hero included, in construction order as changed by removals.
    static mx::ObjectList birdlist;

    /// The neighbour index of the current frame, or null.
    [[nodiscard]] static const QuadTree* getQuadTree() { return quadtree.get(); }
    /// Builds a fresh index from the birds' positions now, for the given step.
    static void buildQuadTree(std::int64_t stepCount);
    static void discardQuadTree();

    /// Chooses the neighbour query: the literal walk of every node, or the pruned
    /// one that skips subtrees the query box cannot reach. Both give the same lists.
    static void setPrunedQueries(bool pruned) { prunedQueries = pruned; }
    [[nodiscard]] static bool getPrunedQueries() { return prunedQueries; }

private:
    /// Rules F1 and F2: push away from same-colour (or other-colour) birds within radius.
    [[nodiscard]] mx::Vector separate(const mx::ObjectList& neighbours, bool sameColor, float radius, float weight);
    /// Rules F3 and F4: the mean velocity (or offset) of same-colour birds within radius.
    [[nodiscard]] mx::Vector average(const mx::ObjectList& neighbours, bool velocities, float radius,
                                     float weight) const;
    void onStep(const mx::EventStep& step);

    int color;
    BirdState state = FLOCKING;

    static std::unique_ptr<QuadTree> quadtree;
    static std::int64_t quadtreeStep; ///< the step the index was built for
    static bool prunedQueries;
};
