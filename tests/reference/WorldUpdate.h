// The world update as it was before the collision broad-phase, frozen as the reference
// the faster update is compared with: every pair of objects tested, in list order. Its
// collision events carry the fields they gained since, filled from the same positions.
#pragma once

#include <mx/WorldManager.h>

namespace reference {

/// One world step through the all-pairs loop: move, collide, follow, tell who left.
void updateWorld(mx::WorldManager& world);

} // namespace reference
