// How the allocator lays out the process's heap. By default each thread
// that allocates may get a heap of its own, and what a thread frees stays
// in its heap for that heap alone: memory the checker's thread freed after
// building the manifest model cannot serve the unpacker's threads. And a
// large block, once freed, raises the size from which blocks are mapped on
// their own, so the next blocks of several MiB (a manifest's text, an
// archive's index) are cut from the heap and leave holes there when freed.
// One shared heap, and blocks from 256 KiB on always mapped and given back
// when freed, keep the process near what it holds at once.
//
// Called once at the start of the process, before any thread starts.
#pragma once

namespace platform {

void KeepHeapCompact();

}  // namespace platform
