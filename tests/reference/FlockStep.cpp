#include "FlockStep.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <mx/EventStep.h>
#include <mx/GameManager.h>
#include <mx/LogManager.h>
#include <mx/WorldManager.h>

#include "Bird.h"
#include "Hero.h"

namespace reference {

namespace {

bool contains(const mx::Box& b, mx::Vector p) {
    return b.left <= p.x && p.x <= b.right && b.top <= p.y && p.y <= b.bottom;
}

bool within(const mx::Box& inner, const mx::Box& outer) {
    return outer.left <= inner.left && inner.right <= outer.right && outer.top <= inner.top &&
           inner.bottom <= outer.bottom;
}

bool touch(const mx::Box& a, const mx::Box& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

} // namespace

QuadTree::QuadTree(mx::Box bounds_, int capacity_, int depth_, const mx::ObjectList& initial)
    : bounds(bounds_), capacity(capacity_), depth(depth_) {
    for (mx::Object* object : initial) {
        insert(object);
    }
}

void QuadTree::insert(mx::Object* object) {
    if (!contains(bounds, object->getPosition())) {
        return;
    }
    if (!divided) {
        if (static_cast<int>(objects.size()) < capacity || depth >= QUADTREE_DEPTH_LIMIT) {
            objects.insert(object);
            return;
        }
        subdivide();
    }
    objects.insert(object);
    for (auto& child : children) {
        child->insert(object);
    }
}

void QuadTree::subdivide() {
    if (divided) {
        return;
    }
    divided = true;
    const float midX = (bounds.left + bounds.right) * 0.5f;
    const float midY = (bounds.top + bounds.bottom) * 0.5f;
    const mx::Box quadrants[4] = {
        {bounds.left, midX, bounds.top, midY},
        {bounds.left, midX, midY, bounds.bottom},
        {midX, bounds.right, bounds.top, midY},
        {midX, bounds.right, midY, bounds.bottom},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        children[i] = std::make_unique<QuadTree>(quadrants[i], capacity, depth + 1, objects);
    }
}

mx::ObjectList QuadTree::queryPruned(const mx::Box& box) const {
    mx::ObjectList result;
    collect(box, result);
    return result;
}

void QuadTree::collect(const mx::Box& box, mx::ObjectList& result) const {
    if (divided) {
        for (const auto& child : children) {
            if (!child->holdsMovedObject && !touch(child->bounds, box)) {
                continue;
            }
            child->collect(box, result);
        }
        return;
    }
    const bool whole = within(bounds, box);
    for (mx::Object* object : objects) {
        if (whole || contains(box, object->getPosition())) {
            result.insert(object);
        }
    }
}

void QuadTree::noteMoved(mx::Vector insertedAt) {
    if (!contains(bounds, insertedAt)) {
        return;
    }
    holdsMovedObject = true;
    if (divided) {
        for (auto& child : children) {
            child->noteMoved(insertedAt);
        }
    }
}

namespace {

const char* const NOT_A_BIRD = "Object in birdlist is not a bird";

float squared(float v) {
    return v * v;
}

/// The old steering of one bird, its rules as they were.
class Steering {
public:
    Steering(Bird& bird, const QuadTree& tree) : self(bird), tree(tree) {}

    mx::Vector steer() {
        if (self.getState() == STOPPED) {
            return mx::Vector::ZERO;
        }
        const mx::ObjectList neighbours = getNeighbours();
        const mx::Vector v = self.getVelocity();
        const BirdState current = self.getState();
        mx::Vector s = v;
        if (current == FOLLOWING) {
            s = v + reactToHero(neighbours);
        } else {
            const mx::Vector f1 = separate(neighbours, true, SEPARATION_RADIUS, SEPARATION_WEIGHT);
            const mx::Vector f2 = separate(neighbours, false, AVOID_RADIUS, AVOID_WEIGHT);
            const mx::Vector f3 = average(neighbours, true, ALIGNMENT_RADIUS, ALIGNMENT_WEIGHT);
            const mx::Vector f4 = average(neighbours, false, COHESION_RADIUS, COHESION_WEIGHT);
            const mx::Vector f5 = reactToHero(neighbours);
            s = v + f1 + f2 + f3 + f4 + f5;
        }
        mx::Vector blended = s * 0.1f + v * 0.9f;
        Bird::limitSpeed(blended);
        return blended;
    }

private:
    mx::ObjectList getNeighbours() const {
        mx::ObjectList result;
        const float r = std::max(std::max(ALIGNMENT_RADIUS, AVOID_RADIUS), std::max(COHESION_RADIUS, SEPARATION_RADIUS));
        const mx::Vector p = self.getPosition();
        const mx::Box box(p.x - r, p.x + r, p.y - r, p.y + r);
        const mx::ObjectList found = tree.queryPruned(box);
        const float r2 = r * r;
        for (mx::Object* n : found) {
            if (n == &self) {
                continue;
            }
            const mx::Vector q = n->getPosition();
            if (r2 > squared(p.x - q.x) + squared(p.y - q.y)) {
                result.insert(n);
            }
        }
        return result;
    }

    mx::Vector separate(const mx::ObjectList& neighbours, bool sameColor, float radius, float weight) {
        const mx::Vector p = self.getPosition();
        mx::Vector acc = mx::Vector::ZERO;
        for (mx::Object* n : neighbours) {
            const auto* other = dynamic_cast<const Bird*>(n);
            if (other == nullptr) {
                mx::LogManager::getInstance().writeLog("%s", NOT_A_BIRD);
                continue;
            }
            if ((other->getColor() == self.getColor()) != sameColor || dynamic_cast<const Hero*>(n) != nullptr) {
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
                // rand() as the game drew it then, now from the engine's generator that the game draws from
                dir = (mx::GameManager::getInstance().getRandom().next() % 2 != 0) ? mx::Vector(1.0f, 0.0f) : mx::Vector(0.0f, 1.0f);
            }
            acc += dir * (1.0f - dist / radius);
        }
        return acc * weight;
    }

    mx::Vector average(const mx::ObjectList& neighbours, bool velocities, float radius, float weight) const {
        const mx::Vector p = self.getPosition();
        mx::Vector sum = mx::Vector::ZERO;
        int count = 0;
        for (mx::Object* n : neighbours) {
            const auto* other = dynamic_cast<const Bird*>(n);
            if (other == nullptr) {
                mx::LogManager::getInstance().writeLog("%s", NOT_A_BIRD);
                continue;
            }
            if (other->getColor() != self.getColor() || dynamic_cast<const Hero*>(n) != nullptr) {
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

    mx::Vector reactToHero(const mx::ObjectList& neighbours) {
        const Hero* hero = nullptr;
        for (mx::Object* n : neighbours) {
            if ((hero = dynamic_cast<const Hero*>(n)) != nullptr) {
                break;
            }
        }
        if (hero == nullptr) {
            return mx::Vector::ZERO;
        }
        const mx::Vector d = hero->getPosition() - self.getPosition();
        const float distance2 = d.x * d.x + d.y * d.y;
        const bool calling = hero->isCalling();
        mx::Vector f = mx::Vector::ZERO;
        if (distance2 < ALIGNMENT_RADIUS * ALIGNMENT_RADIUS && !calling) {
            f += hero->getVelocity() * ALIGNMENT_WEIGHT;
        }
        if (distance2 < COHESION_RADIUS * COHESION_RADIUS) {
            if (calling) {
                f -= (d * COHESION_WEIGHT) * 3.0f;
            } else {
                f += d * COHESION_WEIGHT;
            }
        }
        if (distance2 < SEPARATION_RADIUS * SEPARATION_RADIUS) {
            f -= d * SEPARATION_WEIGHT;
            if (calling) {
                f -= d * SEPARATION_WEIGHT;
            }
        }
        if (calling) {
            self.setState(FOLLOWING);
        }
        return f;
    }

    Bird& self;
    const QuadTree& tree;
};

/// The wall rule as it was.
void keepInsideBoundary(Bird& bird, QuadTree* tree) {
    const mx::Box b = mx::WorldManager::getInstance().getBoundary();
    const auto inside = [&b](float x, float y) { return b.left <= x && x <= b.right && b.top <= y && y <= b.bottom; };
    const mx::Vector p = bird.getPosition();
    mx::Vector v = bird.getVelocity();
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
    if (tree != nullptr && !(moved == p)) {
        tree->noteMoved(p);
    }
    bird.setPosition(moved);
    bird.setVelocity(v);
}

} // namespace

void stepEvent() {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    const mx::EventStep step;
    std::unique_ptr<QuadTree> tree;
    const mx::ObjectList snapshot = world.getAllObjects();
    for (mx::Object* o : snapshot) {
        auto* bird = dynamic_cast<Bird*>(o);
        if (bird == nullptr) {
            o->eventHandler(&step);
            continue;
        }
        if (dynamic_cast<Hero*>(o) != nullptr) {
            keepInsideBoundary(*bird, tree.get());
            continue;
        }
        if (tree == nullptr) {
            tree = std::make_unique<QuadTree>(world.getBoundary(), QUADTREE_CAPACITY, 0);
            for (mx::Object* b : Bird::birdlist) {
                tree->insert(b);
            }
        }
        bird->setVelocity(Steering(*bird, *tree).steer());
        keepInsideBoundary(*bird, tree.get());
    }
}

} // namespace reference
