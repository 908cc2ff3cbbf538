#pragma once

#include "Immortal.h"
#include "Manager.h"

namespace mx {

/// Keeps the sprites and sounds the game loads, under labels.
class ResourceManager : public Manager {
public:
    static ResourceManager& getInstance();

private:
    friend class Immortal<ResourceManager>;
    ResourceManager() = default;

    int startUpImpl() override { return 0; }
    void shutDownImpl() override {}
};

} // namespace mx
