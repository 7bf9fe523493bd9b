#include "foundation/TurbexVersion.h"

const char* TurbexVersion() {
    return TURBEX_VERSION; // from the build (the project's version)
}
