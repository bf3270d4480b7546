#include "pipeline/memory_reuse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define PLYVET_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLYVET_OWN_ALLOCATOR 1
#endif
#endif

namespace {

// A block of some megabytes, as a large ring's tables take, comes from the
// heap rather than a mapping of its own, and stays with the process once
// freed, ready for the next record.
TEST(MemoryReuse, LargeBlocksStayWithTheProcessOnceFreed) {
#if !defined(__GLIBC__) || defined(PLYVET_OWN_ALLOCATOR)
    GTEST_SKIP() << "only the GNU C library's own allocator has these settings";
#else
    plyvet::keepFreedMemoryForReuse();
    constexpr std::size_t kBlock = 12u << 20;
    const struct mallinfo2 before = mallinfo2();
    auto* block = static_cast<unsigned char*>(std::malloc(kBlock));
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, kBlock);
    const struct mallinfo2 held = mallinfo2();
    EXPECT_EQ(held.hblks, before.hblks) << "the block got a mapping of its own";
    std::free(block);
    const struct mallinfo2 after = mallinfo2();
    EXPECT_GE(after.fordblks, kBlock) << "the freed block went back to the system";
#endif
}

}  // namespace
