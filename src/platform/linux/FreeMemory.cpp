#include "FreeMemory.h"

#include <cstdlib> // says whether this is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void releaseFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
