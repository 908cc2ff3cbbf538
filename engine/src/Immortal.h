#pragma once

#include <new>
#include <utility>

namespace mx {

/// Storage for a singleton that is constructed on first use and never destroyed,
/// so it stays usable from code that runs while the process exits.
template <typename T>
class Immortal {
public:
    template <typename... Args>
    explicit Immortal(Args&&... args) : object(new (storage) T(std::forward<Args>(args)...)) {}

    Immortal(const Immortal&) = delete;
    Immortal& operator=(const Immortal&) = delete;

    [[nodiscard]] T& get() { return *object; }

private:
    alignas(T) unsigned char storage[sizeof(T)];
    T* object;
};

} // namespace mx
