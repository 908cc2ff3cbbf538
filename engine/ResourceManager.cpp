#include "ResourceManager.h"

namespace mx {

ResourceManager& ResourceManager::getInstance() {
    static Immortal<ResourceManager> instance;
    return instance.get();
}

} // namespace mx
