#include "platform/Memory.h"

// Any C library header defines __GLIBC__ (through <features.h>); without one the test below is always
// false and nothing is ever given back.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void ReleaseFreeMemory() noexcept {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace platform
