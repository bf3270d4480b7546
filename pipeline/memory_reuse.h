#pragma once
// How the program's heap hands memory back to the system. Internal to the
// program and its benchmarks, which run the same loops.

namespace plyvet {

// Keeps freed memory for the next record instead of returning it to the
// system at once. A large ring makes the cleaners and searches allocate
// tables of megabytes per record; the C library would map each of them
// afresh and unmap it when freed, so every record faulted all those pages
// in again, which on a virtual machine cost more than the work on them.
// Up to 64 MiB of freed memory stays with the process; single blocks above
// 32 MiB are still mapped and unmapped on their own. Call once, first thing
// in main. Does nothing where the C library offers no such setting.
void keepFreedMemoryForReuse();

}  // namespace plyvet
