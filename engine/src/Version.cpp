#include <mx/Version.h>

// The build defines it from the project's version; built outside CMake, it is unknown.
#ifndef MX_VERSION
#define MX_VERSION "unknown"
#endif

namespace mx {

const char* engineVersion() {
    return MX_VERSION;
}

} // namespace mx
