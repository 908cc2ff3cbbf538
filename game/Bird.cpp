#include "Bird.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <mx/DisplayManager.h>
#include <mx/EventOut.h>
#include <mx/EventStep.h>
#include <mx/LogManager.h>
#include <mx/WorldManager.h>

#include "EventGameOver.h"
#include "Hero.h"

mx::ObjectList Bird::birdlist;
std::unique_ptr<QuadTree> Bird::quadtree;
std::int64_t Bird::quadtreeStep = -1;
bool Bird::prunedQueries = true;

namespace {

constexpr int SPAWN_MARGIN = 10; // 5 cells on each side

const char* const NOT_A_BIRD = "Object in birdlist is not a bird";

float squared(float v) {
    return v * v;
}

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
    const float y = static_cast<float>(std::rand() % height) + y0;
    const float x = static_cast<float>(std::rand() % width) + x0;
    setPosition(mx::Vector(x, y));

    const float vy = static_cast<float>(std::rand() % 5 - 2) / 10.0f;
    const float vx = static_cast<float>(std::rand() % 5 - 2) / 10.0f;
    setVelocity(mx::Vector(vx, vy));

    birdlist.insert(this);
}

Bird::~Bird() {
    birdlist.remove(this);
    // The index may still point here: a destroyed bird must never be handed out.
    discardQuadTree();
}

void Bird::buildQuadTree(std::int64_t stepCount) {
    quadtree = std::make_unique<QuadTree>(mx::WorldManager::getInstance().getBoundary(), QUADTREE_CAPACITY, 0);
    for (mx::Object* bird : birdlist) {
        quadtree->insert(bird);
    }
    quadtreeStep = stepCount;
}

void Bird::discardQuadTree() {
    quadtree.reset();
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
    if (quadtree != nullptr && quadtreeStep != step.stepCount) {
        discardQuadTree();
    }
    if (quadtree == nullptr) {
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
    const mx::ObjectList neighbours = getNeighbours();
    const mx::Vector v = getVelocity();
    const BirdState current = state; // the hero rule may change it; this step keeps all five rules
    mx::Vector s = v;
    if (current == FOLLOWING) {
        s = v + reactToHero(neighbours);
    } else {
        const mx::Vector f1 = separateFromFlock(neighbours);
        const mx::Vector f2 = separateFromOthers(neighbours);
        const mx::Vector f3 = alignWithFlock(neighbours);
        const mx::Vector f4 = cohereWithFlock(neighbours);
        const mx::Vector f5 = reactToHero(neighbours);
        s = v + f1 + f2 + f3 + f4 + f5;
    }
    mx::Vector blended = s * 0.1f + v * 0.9f;
    limitSpeed(blended);
    return blended;
}

mx::ObjectList Bird::getNeighbours() const {
    mx::ObjectList result;
    if (quadtree == nullptr) {
        return result;
    }
    const float r = std::max(std::max(ALIGNMENT_RADIUS, AVOID_RADIUS), std::max(COHESION_RADIUS, SEPARATION_RADIUS));
    const mx::Vector p = getPosition();
    const mx::Box box(p.x - r, p.x + r, p.y - r, p.y + r);
    const mx::ObjectList found = prunedQueries ? quadtree->queryPruned(box) : quadtree->query(box);
    const float r2 = r * r;
    for (mx::Object* n : found) {
        if (n == this) {
            continue;
        }
        const mx::Vector q = n->getPosition();
        if (r2 > squared(p.x - q.x) + squared(p.y - q.y)) {
            result.insert(n);
        }
    }
    return result;
}

mx::Vector Bird::separate(const mx::ObjectList& neighbours, bool sameColor, float radius, float weight) {
    const mx::Vector p = getPosition();
    mx::Vector acc = mx::Vector::ZERO;
    for (mx::Object* n : neighbours) {
        const auto* other = dynamic_cast<const Bird*>(n);
        if (other == nullptr) {
            mx::LogManager::getInstance().writeLog("%s", NOT_A_BIRD);
            continue;
        }
        if ((other->color == color) != sameColor || dynamic_cast<const Hero*>(n) != nullptr) {
            continue;
        }
        const mx::Vector q = n->getPosition();
        if (squared(q.x - p.x) + squared(q.y - p.y) > radius * radius) {
            continue;
        }
        const mx::Vector diff = p - q;
        const float dist = std::sqrt(diff.x * diff.x + diff.y * diff.y);
        mx::Vector dir;
        if (dist != 0.0f) {
            dir = diff / dist;
        } else {
            // Two birds on one spot: push along x or y, chosen at random, instead of dividing by zero.
            dir = (std::rand() % 2 != 0) ? mx::Vector(1.0f, 0.0f) : mx::Vector(0.0f, 1.0f);
        }
        acc += dir * (1.0f - dist / radius);
    }
    return acc * weight;
}

mx::Vector Bird::separateFromFlock(const mx::ObjectList& neighbours) {
    return separate(neighbours, true, SEPARATION_RADIUS, SEPARATION_WEIGHT);
}

mx::Vector Bird::separateFromOthers(const mx::ObjectList& neighbours) {
    return separate(neighbours, false, AVOID_RADIUS, AVOID_WEIGHT);
}

mx::Vector Bird::average(const mx::ObjectList& neighbours, bool velocities, float radius, float weight) const {
    const mx::Vector p = getPosition();
    mx::Vector sum = mx::Vector::ZERO;
    int count = 0;
    for (mx::Object* n : neighbours) {
        const auto* other = dynamic_cast<const Bird*>(n);
        if (other == nullptr) {
            mx::LogManager::getInstance().writeLog("%s", NOT_A_BIRD);
            continue;
        }
        if (other->color != color || dynamic_cast<const Hero*>(n) != nullptr) {
            continue;
        }
        const mx::Vector q = n->getPosition();
        if (squared(q.x - p.x) + squared(q.y - p.y) > radius * radius) {
            continue;
        }
        if (velocities) {
            sum += n->getVelocity();
        } else {
            sum = mx::Vector((q.x + sum.x) - p.x, (q.y + sum.y) - p.y);
        }
        ++count;
    }
    if (count > 0) {
        sum = sum / static_cast<float>(count);
    }
    return sum * weight;
}

mx::Vector Bird::alignWithFlock(const mx::ObjectList& neighbours) const {
    return average(neighbours, true, ALIGNMENT_RADIUS, ALIGNMENT_WEIGHT);
}

mx::Vector Bird::cohereWithFlock(const mx::ObjectList& neighbours) const {
    return average(neighbours, false, COHESION_RADIUS, COHESION_WEIGHT);
}

mx::Vector Bird::reactToHero(const mx::ObjectList& neighbours) {
    const Hero* hero = nullptr;
    for (mx::Object* n : neighbours) {
        if ((hero = dynamic_cast<const Hero*>(n)) != nullptr) {
            break;
        }
    }
    if (hero == nullptr) {
        return mx::Vector::ZERO;
    }
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
    if (quadtree != nullptr && !(moved == p)) {
        quadtree->noteMoved(p); // the pruned queries must look for it where it is now
    }
    setPosition(moved);
    setVelocity(v);
}
