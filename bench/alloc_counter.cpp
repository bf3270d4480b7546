// Counting allocator: the malloc family is replaced for the whole process and
// forwards to glibc's own entry points, adding up the usable size of each
// block. Linked into benchmark programs only, never into the library.

#include "bench/alloc_counter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace plyvet::bench {
namespace {

std::atomic<std::size_t> inUse{0};
std::atomic<std::size_t> peak{0};
std::atomic<std::size_t> base{0};

void added(void* block) noexcept {
    if (block == nullptr) return;
    const std::size_t now = inUse.fetch_add(malloc_usable_size(block)) + malloc_usable_size(block);
    std::size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void removed(void* block) noexcept {
    if (block != nullptr) inUse.fetch_sub(malloc_usable_size(block));
}

}  // namespace

void resetHeapPeak() noexcept {
    const std::size_t now = inUse.load();
    base.store(now);
    peak.store(now);
}

std::size_t heapPeakSinceReset() noexcept { return peak.load() - base.load(); }

}  // namespace plyvet::bench

using plyvet::bench::added;
using plyvet::bench::removed;

extern "C" {

void* malloc(std::size_t size) {
    void* block = __libc_malloc(size);
    added(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) {
    void* block = __libc_calloc(count, size);
    added(block);
    return block;
}

void* realloc(void* old, std::size_t size) {
    removed(old);
    void* block = __libc_realloc(old, size);
    // A failed realloc keeps the old block.
    added(block != nullptr || size == 0 ? block : old);
    return block;
}

void free(void* block) {
    removed(block);
    __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t size) {
    void* block = __libc_memalign(alignment, size);
    added(block);
    return block;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* block = memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *out = block;
    return 0;
}

}  // extern "C"
