#pragma once
// A large ledger holds its rows in hundreds of megabytes, all touched for
// the first time while it opens, and a sort of millions of entries fills
// fresh buffers of tens of megabytes. In pages of 4 KB each first touch of
// a page is a trip into the kernel: on a virtual machine, about a second of
// an open of ten million entries, and most of a sort's time. Given
// transparent huge pages the C library (glibc 2.35 on) hands out blocks in
// pages of 2 MB, a five-hundredth of the trips, when its tunable
// glibc.malloc.hugetlb asks for them; it reads its tunables only as a
// process starts, so a program that wants them starts itself again, in its
// own place (the same process id), with the tunable set.
#include <string>

namespace kestrum {

//! The GLIBC_TUNABLES value that asks for huge pages, given the present one
//! (null when unset); empty when the present one decides about them already.
std::string HugePageTunables(const char *present);

//! Whether this machine offers transparent huge pages (always or on
//! request) to a C library that can ask for them.
bool HugePagesOffered();

//! Replaces the process by the same program with the same arguments, the C
//! library asked for huge pages, unless it was started so already or they
//! are not offered. Call it first thing in main, before any thread starts.
//! Returns when the program goes on as it is (also when it cannot restart).
void RestartWithHugePages(char **argv);

} // namespace kestrum
