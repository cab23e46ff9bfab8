#pragma once
// A software renderer (Mesa's llvmpipe) allocates and frees tens of
// megabytes for the vertices of a large model every frame. By default the
// C library gives freed memory at the top of the heap back to the system
// and the next frame faults it in again page by page, which took a third of
// the frame time. keepFreedMemoryForReuse() keeps up to 64 MB of freed
// memory for reuse instead. It changes the whole process's allocator, so
// the program calls it once at start, not a library on its own.
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace preview {

inline void keepFreedMemoryForReuse()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

} // namespace preview
