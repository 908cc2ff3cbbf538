#pragma once

#include <string>
#include <utility>

namespace mx {

/// Root of everything that carries a kind: objects, events and managers.
/// Code tells kinds apart by comparing the type string with a named constant.
class TypedObj {
public:
    [[nodiscard]] const std::string& getType() const { return type; }
    void setType(std::string newType) { type = std::move(newType); }

private:
    std::string type;
};

} // namespace mx
