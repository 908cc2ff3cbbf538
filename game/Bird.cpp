#include "Bird.h"

#include <algorithm>
#include <cmath>

#include <mx/DisplayManager.h>
#include <mx/EventOut.h>
#include <mx/EventStep.h>
#include <mx/GameManager.h>
#include <mx/LogManager.h>
#include <mx/WorldManager.h>

#include "EventGameOver.h"
#include "Hero.h"

mx::ObjectList Bird::birdlist;
QuadTree Bird::quadtree;
std::int64_t Bird::quadtreeStep = -1;
std::vector<Neighbour> Bird::indexed;

namespace {

constexpr int SPAWN_MARGIN = 10; // 5 cells on each side

const char* const NOT_A_BIRD = "Object in birdlist is not a bird";

/// The engine's generator: the flock draws every random choice from it, so that a seed
/// gives one flight on every platform.
mx::Random& flockRandom() {
    return mx::GameManager::getInstance().getRandom();
}

float squared(float v) {
    return v * v;
}

/// The push away from a neighbour at q within radius: 1 next to it, fading to 0 at the radius.
mx::Vector push(mx::Vector p, mx::Vector q, float radius) {
    const mx::Vector diff = p - q;
    const float dist = std::sqrt(diff.x * diff.x + diff.y * diff.y);
    mx::Vector dir;
    if (dist != 0.0f) {
        dir = diff / dist;
    } else {
        // Two birds on one spot: push along x or y, chosen at random, instead of dividing by zero.
        dir = flockRandom().between(0, 1) != 0 ? mx::Vector(1.0f, 0.0f) : mx::Vector(0.0f, 1.0f);
    }
    return dir * (1.0f - dist / radius);
}

/// Scratch of the steering: the neighbours of the bird steering now, and the index's answer.
std::vector<Neighbour> neighbourBuffer;
std::vector<QuadTree::Found> foundBuffer;

} // namespace

Bird::Bird(int color_) : color(color_) {
    setType(TYPE);
    setSolidness(mx::PERMEABLE);
    setAltitude(1);

    // A random whole-cell place at least 5 cells inside the world; y is drawn first.
    const mx::Box b = mx::WorldManager::getInstance().getBoundary();
    const float cx = (b.left + b.right) * 0.5f;
    const float hx = (b.right - b.left - static_cast<float>(SPAWN_MARGIN)) * 0.5f;
    const float x0 = cx - hx;
    const float cy = (b.top + b.bottom) * 0.5f;
    const float hy = (b.bottom - b.top - static_cast<float>(SPAWN_MARGIN)) * 0.5f;
    const float y0 = cy - hy;
    // A world too small for the margin still gets birds, at its centre line.
    const int width = std::max(1, static_cast<int>((hx + cx) - x0));
    const int height = std::max(1, static_cast<int>((hy + cy) - y0));
    const float y = static_cast<float>(flockRandom().between(0, height - 1)) + y0;
    const float x = static_cast<float>(flockRandom().between(0, width - 1)) + x0;
    setPosition(mx::Vector(x, y));

    const float vy = static_cast<float>(flockRandom().between(-2, 2)) / 10.0f;
    const float vx = static_cast<float>(flockRandom().between(-2, 2)) / 10.0f;
    setVelocity(mx::Vector(vx, vy));

    birdlist.insert(this);
}

Bird::~Bird() {
    birdlist.remove(this);
    // The index may still point here: a destroyed bird must never be handed out.
    discardQuadTree();
}

void Bird::buildQuadTree(std::int64_t stepCount) {
    quadtree.build(mx::WorldManager::getInstance().getBoundary(), birdlist);
    // What each entry is, found once here rather than by every rule for every neighbour.
    indexed.resize(birdlist.size());
    for (std::size_t i = 0; i < birdlist.size(); ++i) {
        mx::Object* o = birdlist[i];
        auto* bird = dynamic_cast<Bird*>(o);
        const bool hero = bird != nullptr && dynamic_cast<const Hero*>(o) != nullptr;
        indexed[i] = Neighbour{o, mx::Vector::ZERO, bird != nullptr ? bird->color : -1,
                               bird == nullptr ? Neighbour::NOT_A_BIRD : hero ? Neighbour::HERO : Neighbour::BIRD};
        if (bird != nullptr) {
            bird->indexNumber = static_cast<std::uint32_t>(i);
        }
    }
    quadtreeStep = stepCount;
}

void Bird::discardQuadTree() {
    quadtree.clear();
    quadtreeStep = -1;
}

int Bird::eventHandler(const mx::Event* event) {
    const std::string& type = event->getType();
    if (type == mx::EventStep::TYPE) {
        onStep(*static_cast<const mx::EventStep*>(event));
        return 0;
    }
    if (type == mx::EventOut::TYPE) {
        return 1; // the wall rule keeps birds inside; nothing to do
    }
    if (type == EventGameOver::TYPE) {
        state = STOPPED;
        return 1;
    }
    return 0;
}

void Bird::onStep(const mx::EventStep& step) {
    // The index belongs to one frame: one left from an earlier frame (when no bird was
    // drawn) holds stale positions, so it is rebuilt.
    if (!quadtree.isEmpty() && quadtreeStep != step.stepCount) {
        discardQuadTree();
    }
    if (quadtree.isEmpty()) {
        buildQuadTree(step.stepCount);
    }
    setVelocity(steer());
    keepInsideBoundary();
}

int Bird::draw() {
    discardQuadTree();
    const sf::Color c = color >= 0 && color < 4 ? BIRD_COLORS[color] : mx::WHITE;
    (void)mx::DisplayManager::getInstance().drawCh(getPosition(), BIRD_CHAR, c);
    return 0;
}

mx::Vector Bird::steer() {
    if (state == STOPPED) {
        return mx::Vector::ZERO;
    }
    findNeighbours(neighbourBuffer);
    const std::span<const Neighbour> neighbours = neighbourBuffer;
    const mx::Vector v = getVelocity();
    const BirdState current = state; // the hero rule may change it; this step keeps all five rules
    mx::Vector s = v;
    if (current == FOLLOWING) {
        s = v + reactToHero(neighbours);
    } else {
        // F1, F3 and F4 read the same birds, and only F1 and then F2 draw random numbers:
        // one pass serves the three, and the numbers are drawn in the same order.
        const FlockForces flock = followFlock(neighbours, SEPARATION | ALIGNMENT | COHESION);
        const mx::Vector f2 = separateFromOthers(neighbours);
        const mx::Vector f5 = reactToHero(neighbours);
        s = v + flock.separation + f2 + flock.alignment + flock.cohesion + f5;
    }
    mx::Vector blended = s * 0.1f + v * 0.9f;
    limitSpeed(blended);
    return blended;
}

std::vector<Neighbour> Bird::getNeighbours() const {
    std::vector<Neighbour> result;
    findNeighbours(result);
    return result;
}

void Bird::findNeighbours(std::vector<Neighbour>& out) const {
    out.clear();
    if (quadtree.isEmpty()) {
        return;
    }
    const float r = std::max(std::max(ALIGNMENT_RADIUS, AVOID_RADIUS), std::max(COHESION_RADIUS, SEPARATION_RADIUS));
    const mx::Vector p = getPosition();
    const mx::Box box(p.x - r, p.x + r, p.y - r, p.y + r);
    quadtree.query(box, foundBuffer); // lists each object once
    const float r2 = r * r;
    for (const QuadTree::Found& found : foundBuffer) {
        const Neighbour& entry = indexed[found.number];
        if (entry.object == this) {
            continue;
        }
        const mx::Vector q = found.position;
        if (r2 > squared(p.x - q.x) + squared(p.y - q.y)) {
            out.push_back(entry);
            out.back().position = q;
        }
    }
}

Bird::FlockForces Bird::followFlock(std::span<const Neighbour> neighbours, unsigned rules) const {
    const mx::Vector p = getPosition();
    mx::Vector away = mx::Vector::ZERO;
    mx::Vector velocities = mx::Vector::ZERO;
    mx::Vector offsets = mx::Vector::ZERO;
    int aligned = 0;
    int cohered = 0;
    for (const Neighbour& n : neighbours) {
        if (n.kind == Neighbour::NOT_A_BIRD) {
            for (unsigned rule = SEPARATION; rule <= COHESION; rule <<= 1) {
                if ((rules & rule) != 0) {
                    mx::LogManager::getInstance().writeLog("%s", NOT_A_BIRD);
                }
            }
            continue;
        }
        if (n.color != color || n.kind == Neighbour::HERO) {
            continue;
        }
        const mx::Vector q = n.position;
        const float d2 = squared(q.x - p.x) + squared(q.y - p.y);
        // Written as "not beyond" so that NaN counts, as it does for each rule alone.
        if ((rules & SEPARATION) != 0 && !(d2 > SEPARATION_RADIUS * SEPARATION_RADIUS)) {
            away += push(p, q, SEPARATION_RADIUS);
        }
        if ((rules & ALIGNMENT) != 0 && !(d2 > ALIGNMENT_RADIUS * ALIGNMENT_RADIUS)) {
            velocities += n.object->getVelocity();
            ++aligned;
        }
        if ((rules & COHESION) != 0 && !(d2 > COHESION_RADIUS * COHESION_RADIUS)) {
            offsets = mx::Vector((q.x + offsets.x) - p.x, (q.y + offsets.y) - p.y);
            ++cohered;
        }
    }
    if (aligned > 0) {
        velocities = velocities / static_cast<float>(aligned);
    }
    if (cohered > 0) {
        offsets = offsets / static_cast<float>(cohered);
    }
    return FlockForces{away * SEPARATION_WEIGHT, velocities * ALIGNMENT_WEIGHT, offsets * COHESION_WEIGHT};
}

mx::Vector Bird::separateFromFlock(std::span<const Neighbour> neighbours) {
    return followFlock(neighbours, SEPARATION).separation;
}

mx::Vector Bird::separateFromOthers(std::span<const Neighbour> neighbours) {
    const mx::Vector p = getPosition();
    mx::Vector away = mx::Vector::ZERO;
    for (const Neighbour& n : neighbours) {
        if (n.kind == Neighbour::NOT_A_BIRD) {
            mx::LogManager::getInstance().writeLog("%s", NOT_A_BIRD);
            continue;
        }
        if (n.color == color || n.kind == Neighbour::HERO) {
            continue;
        }
        const mx::Vector q = n.position;
        if (squared(q.x - p.x) + squared(q.y - p.y) > AVOID_RADIUS * AVOID_RADIUS) {
            continue;
        }
        away += push(p, q, AVOID_RADIUS);
    }
    return away * AVOID_WEIGHT;
}

mx::Vector Bird::alignWithFlock(std::span<const Neighbour> neighbours) const {
    return followFlock(neighbours, ALIGNMENT).alignment;
}

mx::Vector Bird::cohereWithFlock(std::span<const Neighbour> neighbours) const {
    return followFlock(neighbours, COHESION).cohesion;
}

mx::Vector Bird::reactToHero(std::span<const Neighbour> neighbours) {
    const auto found = std::find_if(neighbours.begin(), neighbours.end(),
                                    [](const Neighbour& n) { return n.kind == Neighbour::HERO; });
    if (found == neighbours.end()) {
        return mx::Vector::ZERO;
    }
    const auto* hero = static_cast<const Hero*>(found->object);
    const mx::Vector d = hero->getPosition() - getPosition();
    const float distance2 = d.x * d.x + d.y * d.y;
    const bool calling = hero->isCalling();
    mx::Vector f = mx::Vector::ZERO;
    if (distance2 < ALIGNMENT_RADIUS * ALIGNMENT_RADIUS && !calling) {
        f += hero->getVelocity() * ALIGNMENT_WEIGHT;
    }
    if (distance2 < COHESION_RADIUS * COHESION_RADIUS) {
        if (calling) {
            f -= (d * COHESION_WEIGHT) * 3.0f; // flee the call
        } else {
            f += d * COHESION_WEIGHT;          // approach
        }
    }
    if (distance2 < SEPARATION_RADIUS * SEPARATION_RADIUS) {
        f -= d * SEPARATION_WEIGHT;
        if (calling) {
            f -= d * SEPARATION_WEIGHT;
        }
    }
    if (calling) {
        state = FOLLOWING;
    }
    return f;
}

void Bird::limitSpeed(mx::Vector& u) {
    const float length2 = u.x * u.x + u.y * u.y;
    if (length2 > SPEED_CEILING * SPEED_CEILING) {
        u = (u / std::sqrt(length2)) * SPEED_CEILING;
    } else if (length2 < SPEED_FLOOR * SPEED_FLOOR && length2 > 0.0f) {
        u = (u / std::sqrt(length2)) * SPEED_FLOOR;
    }
}

void Bird::keepInsideBoundary() {
    const mx::Box b = mx::WorldManager::getInstance().getBoundary();
    const auto inside = [&b](float x, float y) { return b.left <= x && x <= b.right && b.top <= y && y <= b.bottom; };
    const mx::Vector p = getPosition();
    mx::Vector v = getVelocity();
    // The edge each component heads for; a still (or NaN) component stays where it is.
    const float edgeX = v.x > 0.0f ? b.right : (v.x < 0.0f ? b.left : p.x);
    const float edgeY = v.y > 0.0f ? b.bottom : (v.y < 0.0f ? b.top : p.y);

    if (inside(p.x + v.x, p.y + v.y)) {
        return;
    }
    mx::Vector moved = p;
    if (!inside(p.x + v.x, p.y) && !inside(p.x, p.y + v.y)) {
        moved = mx::Vector(edgeX, edgeY);
        v = mx::Vector::ZERO;
    } else {
        if (!inside(p.x, p.y + v.y)) {
            moved.y = edgeY;
            v.y = 0.0f;
        }
        if (!inside(p.x + v.x, moved.y)) {
            moved.x = edgeX;
            v.x = 0.0f;
        }
    }
    // A bird built into the index before it moved: queries must find it where it is now.
    if (!quadtree.isEmpty() && indexNumber != NOT_INDEXED && !(moved == p)) {
        quadtree.noteMoved(indexNumber);
    }
    setPosition(moved);
    setVelocity(v);
}
