#pragma once

#include <cstddef>
#include <vector>

namespace mx {

class Object;

/// An ordered list of non-owning object pointers. Insertion skips pointers
/// already present; removal moves the last element into the freed slot.
/// Copies are snapshots, which makes iterating while the original changes safe.
class ObjectList {
public:
    using const_iterator = std::vector<Object*>::const_iterator;

    /// Appends p unless it is already in the list.
    void insert(Object* p) {
        if (!contains(p)) {
            items.push_back(p);
        }
    }

    /// Replaces the first p with the last element and shortens the list by one.
    void remove(Object* p) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == p) {
                items[i] = items.back();
                items.pop_back();
                return;
            }
        }
    }

    [[nodiscard]] bool contains(const Object* p) const {
        for (const Object* item : items) {
            if (item == p) {
                return true;
            }
        }
        return false;
    }

    [[nodiscard]] std::size_t size() const { return items.size(); }
    [[nodiscard]] bool isEmpty() const { return items.empty(); }
    [[nodiscard]] Object* operator[](std::size_t i) const { return items[i]; }
    [[nodiscard]] const_iterator begin() const { return items.begin(); }
    [[nodiscard]] const_iterator end() const { return items.end(); }
    void clear() { items.clear(); }
    void reserve(std::size_t n) { items.reserve(n); }

private:
    std::vector<Object*> items;
};

} // namespace mx
