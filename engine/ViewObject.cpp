#include "ViewObject.h"

namespace mx {

ViewObject::ViewObject() {
    setType(TYPE);
    setSolidness(INTANGIBLE);
    setAltitude(HIGHEST_ALTITUDE);
}

} // namespace mx
