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
    using const_iterator = std::vector<Object*>::const_iterator; ///< walks the list in order

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

    /// Removes every entry for which pred(entry) is true in one pass, the others keeping
    /// their order; returns how many went.
    template <class Pred>
    std::size_t removeIf(Pred pred) {
        return static_cast<std::size_t>(std::erase_if(items, pred));
    }

    /// Whether p is in the list.
    [[nodiscard]] bool contains(const Object* p) const {
        for (const Object* item : items) {
            if (item == p) {
                return true;
            }
        }
        return false;
    }

    /// The number of entries.
    [[nodiscard]] std::size_t size() const { return items.size(); }
    /// Whether there are none.
    [[nodiscard]] bool isEmpty() const { return items.empty(); }
    /// Entry i, counting from 0; i must be below size().
    [[nodiscard]] Object* operator[](std::size_t i) const { return items[i]; }
    /// The first entry.
    [[nodiscard]] const_iterator begin() const { return items.begin(); }
    /// Past the last entry.
    [[nodiscard]] const_iterator end() const { return items.end(); }
    /// Removes every entry (destroys nothing).
    void clear() { items.clear(); }
    /// Makes room for n entries.
    void reserve(std::size_t n) { items.reserve(n); }

private:
    std::vector<Object*> items;
};

} // namespace mx
