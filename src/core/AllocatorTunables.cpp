#include "core/AllocatorTunables.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#if defined(__linux__) && defined(__GLIBC__)
#include <gnu/libc-version.h>
#include <unistd.h>
#define KESTRUM_GLIBC_LINUX 1
#endif

namespace kestrum {

namespace {

constexpr std::string_view HugePagesTunable = "glibc.malloc.hugetlb";
constexpr std::string_view ThresholdTunable = "glibc.malloc.mmap_threshold";
constexpr std::string_view Threshold = "8388608";

//! Sanitizers bring their own allocator, which the tunables do not reach.
constexpr bool OwnAllocator =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

} // namespace

std::string AllocatorTunables(const char *present, bool hugePages)
{
    const std::string current = present ? present : "";
    std::string wanted = current;
    const auto add = [&](std::string_view tunable, std::string_view value) {
        if (current.find(tunable) == std::string::npos)
            wanted += (wanted.empty() ? "" : ":") + std::string(tunable) + "=" + std::string(value);
    };
    if (hugePages)
        add(HugePagesTunable, "1");
    add(ThresholdTunable, Threshold);
    return wanted == current ? std::string() : wanted;
}

bool HugePagesOffered()
{
#ifdef KESTRUM_GLIBC_LINUX
    int major = 0, minor = 0;
    const std::string version = gnu_get_libc_version();
    if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2 || major < 2 || (major == 2 && minor < 35))
        return false;
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    return modes.find("[always]") != std::string::npos || modes.find("[madvise]") != std::string::npos;
#else
    return false;
#endif
}

void RestartWithAllocatorTunables(char **argv)
{
#ifdef KESTRUM_GLIBC_LINUX
    if (OwnAllocator || !argv || !argv[0])
        return;
    const char *present = std::getenv("GLIBC_TUNABLES");
    const std::string wanted = AllocatorTunables(present, HugePagesOffered());
    if (wanted.empty())
        return;
    const std::string previous = present ? present : "";
    if (setenv("GLIBC_TUNABLES", wanted.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Still here: go on with the pages there are, the environment as it was.
    if (present)
        setenv("GLIBC_TUNABLES", previous.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
#else
    (void)argv;
#endif
}

} // namespace kestrum
