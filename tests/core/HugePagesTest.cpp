#include "core/HugePages.h"

#include <gtest/gtest.h>

using namespace kestrum;

// The restart asks for huge pages beside what the user set, never against
// it, and never twice (the restarted program finds its own setting).
TEST(HugePages, TunablesAskOnceAndKeepTheUsersOwn)
{
    EXPECT_EQ(HugePageTunables(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(HugePageTunables(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(HugePageTunables("glibc.malloc.arena_max=2"),
              "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    EXPECT_EQ(HugePageTunables("glibc.malloc.hugetlb=0"), "");
    EXPECT_EQ(HugePageTunables(HugePageTunables("glibc.malloc.arena_max=2").c_str()), "");
}
