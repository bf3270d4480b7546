#pragma once
// Heap accounting for the benchmarks: every malloc-family call of the process
// (operator new included, in this program and in the libraries it loads) is
// counted, so a benchmark can report the peak of heap bytes one run needed
// above what was allocated before it.

#include <cstddef>

namespace plyvet::bench {

// Starts a new measurement: the peak is set to the bytes in use now.
void resetHeapPeak() noexcept;

// Highest heap use since the last reset, minus the use at that reset.
std::size_t heapPeakSinceReset() noexcept;

}  // namespace plyvet::bench
