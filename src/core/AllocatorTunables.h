#pragma once
// How the C library's allocator serves a program that holds a large ledger.
//
// Huge pages: a large ledger holds its rows in hundreds of megabytes, all
// touched for the first time while it opens, and a sort of millions of
// entries fills fresh buffers of tens of megabytes. In pages of 4 KB each
// first touch of a page is a trip into the kernel: on a virtual machine,
// about a second of an open of ten million entries, and most of a sort's
// time. Given transparent huge pages the C library (glibc 2.35 on) hands
// out blocks in pages of 2 MB, a five-hundredth of the trips, when its
// tunable glibc.malloc.hugetlb asks for them.
//
// Large buffers given back: glibc maps a block of its own for an allocation
// above a threshold and unmaps it when freed, but raises that threshold to
// the size of each such block freed (up to 32 MB). After the first sort a
// list of millions of records (20 MB) then comes from the heap, and once
// freed stays there, beside the next sort's buffers: the program grows by
// tens of megabytes per sort. A fixed threshold of 8 MB
// (glibc.malloc.mmap_threshold) gives such buffers back when they go. It is
// not lower: a buffer mapped afresh is paid for in page faults each time,
// which for the lists of a million entries (a few MB, refiltered at every
// click) would cost more than the heap they are kept in.
//
// glibc reads its tunables only as a process starts, so a program that
// wants them starts itself again, in its own place (the same process id),
// with them set.
#include <string>

namespace kestrum {

//! The GLIBC_TUNABLES value that adds the settings above to the present one
//! (null when unset), huge pages only when `hugePages`; empty when the
//! present one decides about each of them already.
std::string AllocatorTunables(const char *present, bool hugePages);

//! Whether this machine offers transparent huge pages (always or on
//! request) to a C library that can ask for them.
bool HugePagesOffered();

//! Replaces the process by the same program with the same arguments, the C
//! library set as above, unless it was started so already. Call it first
//! thing in main, before any thread starts. Returns when the program goes
//! on as it is (also when it cannot restart).
void RestartWithAllocatorTunables(char **argv);

} // namespace kestrum
