#include <mx/WorldManager.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <mx/DisplayManager.h>
#include <mx/EventCollision.h>
#include <mx/EventOut.h>
#include <mx/EventTimer.h>
#include <mx/LogManager.h>
#include <mx/Object.h>

#include "CollisionGrid.h"
#include "Immortal.h"
#include "Seams.h"

namespace mx {

WorldManager& WorldManager::getInstance() {
    static Immortal<WorldManager> instance;
    return instance.get();
}

WorldManager::WorldManager() : grid(std::make_unique<CollisionGrid>()) {
    setType(TYPE);
    const DisplayManager& display = DisplayManager::getInstance();
    const auto w = static_cast<float>(display.getHorizontal());
    const auto h = static_cast<float>(display.getVertical());
    boundary = Box::centredOn(Vector(w / 2.0f, h / 2.0f), w, h);
    view = boundary;
}

WorldManager::~WorldManager() = default;

int WorldManager::startUpImpl() {
    // Objects made before start-up stay registered: the world owns them like any other.
    return 0;
}

void WorldManager::removeObject(Object* object) {
    if (!object->removed) { // one that left at once is out of the list already
        objects.remove(object);
    }
    // The view must not follow an object that is gone.
    if (viewFollowing == object) {
        viewFollowing = nullptr;
    }
    stopTimers(object);
}

void WorldManager::shutDownImpl() {
    // Objects that left the world at once are in the deletion list alone. Every entry
    // there is alive now: only the deletion phase destroys objects, and it empties the list.
    std::vector<Object*> departed;
    for (Object* object : deletions) {
        if (object != nullptr && object->removed) {
            departed.push_back(object);
        }
    }
    timers.clear(); // no destructor below needs to look for its own
    const ObjectList snapshot = objects;
    for (Object* object : snapshot) {
        delete object; // null-safe; each destructor unregisters itself
    }
    for (Object* object : departed) {
        delete object;
    }
    deletions.clear();
    paused = false;
    timersStopped = false;
    wrapsAcross = false;
    wrapsUpAndDown = false;
}

ObjectList WorldManager::objectsOfType(std::string type) const {
    ObjectList result;
    for (Object* object : objects) {
        if (object->getType() == type) {
            result.insert(object);
        }
    }
    return result;
}

int WorldManager::markByType(std::span<const std::string_view> types, bool matching, Removal removal) {
    int marked = 0;
    for (Object* object : objects) {
        const bool listed = std::find(types.begin(), types.end(), object->getType()) != types.end();
        if (listed == matching) {
            markForDelete(object);
            if (removal == REMOVE_AT_ONCE) {
                retire(object);
            }
            ++marked;
        }
    }
    if (removal == REMOVE_AT_ONCE && marked > 0) {
        dropRetired();
    }
    return marked;
}

void WorldManager::markForDelete(Object* object, Removal removal) {
    markForDelete(object);
    if (removal == REMOVE_AT_ONCE && object != nullptr && !object->removed) {
        retire(object);
        dropRetired();
    }
}

void WorldManager::retire(Object* object) {
    // A running update and every broadcast skip it from now on (they read the flag).
    object->removed = true;
    if (viewFollowing == object) {
        viewFollowing = nullptr;
    }
    stopTimers(object);
}

void WorldManager::dropRetired() {
    objects.removeIf([](const Object* object) { return object->removed; });
}

bool WorldManager::typeAgrees(const char* operation, std::string_view type, const std::type_info& cls,
                              bool (*isA)(const Object*)) const {
    for (const Object* object : objects) {
        const bool carries = object->getType() == type;
        if (carries && !isA(object)) {
            LogManager::getInstance().writeLog("ERROR: WorldManager::%s(): Objects of another class carry the type '%.*s' too",
                                               operation, static_cast<int>(type.size()), type.data());
            return false;
        }
        if (!carries && typeid(*object) == cls) {
            LogManager::getInstance().writeLog("ERROR: WorldManager::%s(): Objects of the class of type '%.*s' carry "
                                               "another type: '%s'", operation, static_cast<int>(type.size()),
                                               type.data(), object->getType().c_str());
            return false;
        }
    }
    return true;
}

void WorldManager::deleteMarked() {
    // The size is re-read at every step: destructors may mark more objects.
    for (std::size_t i = 0; i < deletions.size(); ++i) {
        delete deletions[i];
    }
    deletions.clear();
}

namespace {

/// A coordinate brought into [low, high) along a wrapping axis; one already inside, or not
/// a finite number, is left as it is.
float wrapCoordinate(float v, float low, float high) {
    if ((v >= low && v < high) || !std::isfinite(v)) {
        return v;
    }
    const float extent = high - low;
    float r = std::fmod(v - low, extent); // exact: the same everywhere
    if (r < 0.0f) {
        r += extent;
    }
    const float wrapped = low + r;
    return wrapped >= low && wrapped < high ? wrapped : low; // rounding up to high is low again
}

/// Along one axis of a box, the extents a partner's copies must reach to meet it: the
/// box's own (no shift), and where the world wraps the box less one extent back and forth,
/// widened by more than the rounding of either shift so that the search misses nothing the
/// exact test finds (infinite edges stay infinite, NaN ones NaN); and which of them may
/// reach anything of the pass at all.
struct AxisProbes {
    std::array<float, 3> low{}, high{};
    std::array<bool, 3> meets{true, false, false};

    AxisProbes(float boxLow, float boxHigh, float extent, float reachLow, float reachHigh) {
        low[0] = boxLow;
        high[0] = boxHigh;
        if (!(extent > 0.0f)) {
            return;
        }
        float slack = 1e-5f * (extent + std::abs(boxLow) + std::abs(boxHigh));
        slack = std::isfinite(slack) ? slack : 0.0f;
        for (std::size_t k = 1; k < 3; ++k) {
            const float d = k == 1 ? -extent : extent;
            low[k] = boxLow - d - slack;
            high[k] = boxHigh - d + slack;
            meets[k] = !(high[k] < reachLow || low[k] > reachHigh);
        }
    }

    [[nodiscard]] bool anyShift() const { return meets[1] || meets[2]; }
};

void extend(Box& reach, const Box& b) {
    // Comparisons with NaN are false: a NaN edge leaves the reach as it was.
    for (const float x : {b.left, b.right}) {
        reach.left = x < reach.left ? x : reach.left;
        reach.right = x > reach.right ? x : reach.right;
    }
    for (const float y : {b.top, b.bottom}) {
        reach.top = y < reach.top ? y : reach.top;
        reach.bottom = y > reach.bottom ? y : reach.bottom;
    }
}

/// d, or the remainder of d by the extent: the same where |d| is at most half of it.
float shortWay(float d, float extent) {
    return std::abs(d) > 0.5f * extent ? std::remainder(d, extent) : d;
}

/// A position brought into the boundary along the axes the seams wrap.
Vector wrapInto(Vector p, const Box& boundary, const Seams& seams) {
    if (seams.width > 0.0f) {
        p.x = wrapCoordinate(p.x, boundary.left, boundary.right);
    }
    if (seams.height > 0.0f) {
        p.y = wrapCoordinate(p.y, boundary.top, boundary.bottom);
    }
    return p;
}

/// to - from, the short way round along the axes the seams wrap.
Vector shortWayBetween(Vector from, Vector to, const Seams& seams) {
    Vector d = to - from;
    // remainder() is exact and lands within half an extent, ties to even.
    if (seams.width > 0.0f && std::isfinite(d.x)) {
        d.x = shortWay(d.x, seams.width);
    }
    if (seams.height > 0.0f && std::isfinite(d.y)) {
        d.y = shortWay(d.y, seams.height);
    }
    return d;
}

} // namespace

Vector WorldManager::wrap(Vector p) const {
    return wrapInto(p, boundary, getSeams());
}

Vector WorldManager::displacement(Vector from, Vector to) const {
    return shortWayBetween(from, to, getSeams());
}

Seams WorldManager::getSeams() const {
    return Seams(boundary, wrapsAcross, wrapsUpAndDown);
}

void WorldManager::update() {
    if (paused) {
        return;
    }
    const Seams seams = getSeams();
    // Two builds of one update: the bounded one does nothing a wrapping world needs.
    if (seams.wraps()) {
        updateWith<true>(seams);
    } else {
        updateWith<false>(seams);
    }
}

template <bool WRAPPING>
void WorldManager::updateWith(const Seams& seams) {
    // A snapshot, so objects made by handlers during the update take no part in it.
    moving.assign(objects.begin(), objects.end());
    const std::size_t n = moving.size();
    oldPositions.resize(n);
    wasOut.resize(n);

    for (std::size_t i = 0; i < n; ++i) {
        Object* o = moving[i];
        oldPositions[i] = o->getPosition();
        wasOut[i] = !boxesIntersect(o->getWorldBox(), boundary);
        if constexpr (WRAPPING) {
            o->setPosition(wrapInto(oldPositions[i] + o->getVelocity(), boundary, seams));
        } else {
            o->setPosition(oldPositions[i] + o->getVelocity());
        }
    }

    collide<WRAPPING>(seams);

    if (viewFollowing != nullptr) {
        view = Box::centredOn(viewFollowing->getPosition(), view.getWidth(), view.getHeight());
    }

    for (std::size_t i = 0; i < n; ++i) {
        // One taken out of the world meanwhile leaves it no more.
        if (!wasOut[i] && !boxesIntersect(moving[i]->getWorldBox(), boundary) && !moving[i]->removed) {
            const EventOut out;
            moving[i]->eventHandler(&out);
        }
    }
}

void WorldManager::indexForCollisions() {
    // The usual box size sets the grid's cells; a few huge boxes must not inflate them.
    float sizes = 0.0f;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < moving.size(); ++i) {
        Object* o = moving[i];
        o->collisionSlot = static_cast<std::int32_t>(i); // even intangible ones: they may change
        if (o->getSolidness() != INTANGIBLE) {
            const Box b = o->getBox();
            const float size = std::max(b.getWidth(), b.getHeight());
            if (size > 0.0f && size < 64.0f) {
                sizes += size;
                ++counted;
            }
        }
    }
    grid->reset(moving.size(), counted > 0 ? sizes / static_cast<float>(counted) : 1.0f);
    constexpr float inf = std::numeric_limits<float>::infinity();
    reach = Box(inf, -inf, inf, -inf);
    for (std::size_t i = 0; i < moving.size(); ++i) {
        if (moving[i]->getSolidness() != INTANGIBLE) {
            const Box b = moving[i]->getWorldBox();
            grid->place(static_cast<std::uint32_t>(i), b, true);
            if (reachKept) {
                extend(reach, b);
            }
        }
    }
}

void WorldManager::objectChanged(const Object& o) {
    const auto slot = static_cast<std::size_t>(o.collisionSlot);
    // Objects before the current one have met all their partners already.
    if (slot < colliding) {
        return;
    }
    ++changes;
    if (slot > colliding) {
        const bool present = o.getSolidness() != INTANGIBLE;
        grid->place(static_cast<std::uint32_t>(slot), o.getWorldBox(), present);
        if (reachKept && present) {
            extend(reach, o.getWorldBox());
        }
    }
}

template <bool WRAPPING>
void WorldManager::findPartners(const Box& box, std::uint32_t after, const Seams& seams) {
    if constexpr (!WRAPPING) {
        grid->candidates(box, after, nearby);
    } else {
        // A partner meets box through its copy at d when it meets box less d. Which shifts
        // along each axis (none, back, forth) may reach one: for most objects, far from the
        // seam, none but no shift at all, and the search is the bounded world's.
        const AxisProbes xs(box.left, box.right, seams.width, reach.left, reach.right);
        const AxisProbes ys(box.top, box.bottom, seams.height, reach.top, reach.bottom);
        copies[0] = Vector::ZERO;
        copyCount = 1;
        if (!xs.anyShift() && !ys.anyShift()) {
            grid->candidates(box, after, nearby);
            return;
        }
        nearby.clear();
        copyCount = 0;
        const float shiftX[3] = {0.0f, -seams.width, seams.width};
        const float shiftY[3] = {0.0f, -seams.height, seams.height};
        for (std::size_t yi = 0; yi < 3; ++yi) { // in the seams' order
            for (std::size_t xi = 0; xi < 3; ++xi) {
                if (xs.meets[xi] && ys.meets[yi]) {
                    copies[static_cast<std::size_t>(copyCount++)] = Vector(shiftX[xi], shiftY[yi]);
                    (void)grid->addCandidates(Box(xs.low[xi], xs.high[xi], ys.low[yi], ys.high[yi]), after, nearby);
                }
            }
        }
        CollisionGrid::sortUnique(nearby);
    }
}

template <bool WRAPPING>
void WorldManager::collide(const Seams& seams) {
    reachKept = WRAPPING;
    indexForCollisions();
    const std::size_t n = moving.size();
    // How far an object moved in this update: across the seam, the short way round.
    const auto moved = [&](const Object* o, std::size_t slot) {
        if constexpr (WRAPPING) {
            return shortWayBetween(oldPositions[slot], o->getPosition(), seams);
        } else {
            return o->getPosition() - oldPositions[slot];
        }
    };
    for (colliding = 0; colliding + 1 < n; ++colliding) {
        const std::size_t i = colliding;
        Object* a = moving[i];
        if (a->getSolidness() == INTANGIBLE || a->removed) {
            continue;
        }
        // Only a colliding pair (a put-back, or its handlers) can change anything, so the
        // box is read again after each one and not for every pair.
        Box box = a->getWorldBox();
        findPartners<WRAPPING>(box, static_cast<std::uint32_t>(i), seams);
        for (std::size_t k = 0; k < nearby.size(); ++k) {
            const std::uint32_t j = nearby[k];
            Object* b = moving[j];
            if (b->getSolidness() == INTANGIBLE) {
                continue;
            }
            Box otherBox = b->getWorldBox();
            if constexpr (WRAPPING) {
                // The first copy of the other, in the seams' order, that the box meets.
                int c = 0;
                while (c < copyCount && !boxesIntersect(box, c == 0 ? otherBox : shifted(otherBox, copies[static_cast<std::size_t>(c)]))) {
                    ++c;
                }
                if (c == copyCount) {
                    continue;
                }
                otherBox = c == 0 ? otherBox : shifted(otherBox, copies[static_cast<std::size_t>(c)]);
            } else if (!boxesIntersect(box, otherBox)) {
                continue;
            }
            if (b->removed) {
                continue;
            }
            const std::uint64_t changesBefore = changes;
            // The side is read from where they met, before a put-back parts them.
            const Vector normal = contactNormal(box, moved(a, i), otherBox, moved(b, j));
            if (a->getSolidness() == SOLID && b->getSolidness() == SOLID) {
                a->setPosition(oldPositions[i]);
                b->setPosition(oldPositions[j]);
                a->setVelocity(Vector::ZERO);
                b->setVelocity(Vector::ZERO);
            }
            const EventCollision first(a, b, oldPositions[i], normal);
            a->eventHandler(&first);
            if (!b->removed) { // the first handler may have cleared the world
                const EventCollision second(b, a, oldPositions[j], Vector::ZERO - normal);
                b->eventHandler(&second);
            }
            if (a->removed) {
                break;
            }
            box = a->getWorldBox();
            if (changes != changesBefore) {
                // Something moved: look again for the partners after this one.
                findPartners<WRAPPING>(box, j, seams);
                k = static_cast<std::size_t>(-1);
            }
        }
    }
    for (Object* o : moving) {
        o->collisionSlot = -1;
    }
    colliding = 0;
    reachKept = false;
}

void WorldManager::startTimer(Object* object, std::string name, int steps, bool repeating) {
    (void)stopTimer(object, name); // a name in use starts anew
    if (object->removed) {
        return; // it has left the world: nothing more reaches it
    }
    const int period = std::max(1, steps);
    timers.push_back(Timer{object, std::move(name), period, period, repeating});
    ++object->timerCount;
}

bool WorldManager::stopTimer(Object* object, std::string_view name) {
    if (object->timerCount == 0) {
        return false;
    }
    for (Timer& timer : timers) {
        if (timer.object == object && timer.name == name) {
            timer.object = nullptr;
            --object->timerCount;
            timersStopped = true;
            return true;
        }
    }
    return false;
}

const WorldManager::Timer* WorldManager::findTimer(const Object* object, std::string_view name) const {
    for (const Timer& timer : timers) {
        if (timer.object == object && timer.name == name) {
            return &timer;
        }
    }
    return nullptr;
}

void WorldManager::stopTimers(Object* object) {
    if (object->timerCount == 0) {
        return; // most objects: nothing to look for
    }
    for (Timer& timer : timers) {
        if (timer.object == object) {
            timer.object = nullptr;
        }
    }
    object->timerCount = 0;
    timersStopped = true;
}

void WorldManager::fireTimers() {
    // Handlers may start timers (after these, untouched this time) or stop them (their
    // entries stay until the walk is over): walk by index, over the timers there now.
    const std::size_t count = timers.size();
    for (std::size_t i = 0; i < count; ++i) {
        Object* object = timers[i].object;
        if (object == nullptr || (paused && !object->isStepWhilePaused()) || --timers[i].left > 0) {
            continue;
        }
        const int fired = ++timers[i].fired;
        if (timers[i].repeating) {
            timers[i].left = timers[i].period;
        } else {
            timers[i].object = nullptr;
            --object->timerCount;
            timersStopped = true;
        }
        const EventTimer event(timers[i].name, fired);
        object->eventHandler(&event);
    }
    if (timersStopped) {
        std::erase_if(timers, [](const Timer& timer) { return timer.object == nullptr; });
        timersStopped = false;
    }
}

} // namespace mx
