#include "core/AllocatorTunables.h"

#include <gtest/gtest.h>

using namespace kestrum;

// The restart adds its settings beside what the user set, never against it,
// and never twice (the restarted program finds its own settings).
TEST(AllocatorTunables, AddedOnceBesideTheUsersOwn)
{
    const std::string both = "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=8388608";
    EXPECT_EQ(AllocatorTunables(nullptr, true), both);
    EXPECT_EQ(AllocatorTunables("", true), both);
    EXPECT_EQ(AllocatorTunables(nullptr, false), "glibc.malloc.mmap_threshold=8388608");
    EXPECT_EQ(AllocatorTunables("glibc.malloc.arena_max=2", true), "glibc.malloc.arena_max=2:" + both);
    EXPECT_EQ(AllocatorTunables("glibc.malloc.hugetlb=0", true),
              "glibc.malloc.hugetlb=0:glibc.malloc.mmap_threshold=8388608");
    EXPECT_EQ(AllocatorTunables("glibc.malloc.mmap_threshold=65536", true),
              "glibc.malloc.mmap_threshold=65536:glibc.malloc.hugetlb=1");
    EXPECT_EQ(AllocatorTunables(both.c_str(), true), "");
    EXPECT_EQ(AllocatorTunables(AllocatorTunables("glibc.malloc.arena_max=2", true).c_str(), true), "");
    EXPECT_EQ(AllocatorTunables("glibc.malloc.mmap_threshold=65536", false), "");
}
