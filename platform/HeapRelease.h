#pragma once
// How the C library's heap gives memory back.

namespace vb::platform {

// Large blocks (the compression workers' results, up to a few MiB each, made on one
// thread and freed on another) are mapped one by one and returned to the system when
// freed. By default glibc raises its threshold for that after the first such block is
// freed and keeps the later ones in the threads' heaps, where freed memory stays with
// the process: the peak then grows with the length of a run rather than its width.
void ReturnLargeBlocksToSystem();

// Gives the pages that freed small blocks left in the heaps back to the system: after
// a search over many files, before the buffers of compression take their place.
void ReturnFreedMemory();

}  // namespace vb::platform
