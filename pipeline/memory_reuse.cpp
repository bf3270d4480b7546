#include "pipeline/memory_reuse.h"

#include <cstdlib>  // defines __GLIBC__ where that is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace plyvet {

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Setting either turns off the library's own adjustment of both.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace plyvet
