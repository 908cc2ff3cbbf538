#pragma once

#include <string>
#include <utility>

namespace mx {

/// Root of everything that carries a kind: objects, events and managers.
/// Code tells kinds apart by comparing the type string with a named constant.
class TypedObj {
public:
    /// The kind: compare it with a class's TYPE constant.
    [[nodiscard]] const std::string& getType() const { return type; }
    /// Replaces the kind; a class sets its own in its constructor.
    void setType(std::string newType) { type = std::move(newType); }

private:
    std::string type;
};

} // namespace mx
