// Giving memory back to the system.
//
// The allocator keeps memory that was freed for later use by the same process; after millions of small
// blocks go at once (a large delete, a closed concordance window) that can be gigabytes that nothing in
// the program will use again soon, and that other programs of the user are short of.
#pragma once

namespace platform {

// Returns the allocator's free memory to the system as far as it can (whole free pages, in every
// arena). Takes a few milliseconds per gigabyte of heap; call it after large frees only. Never raises.
void ReleaseFreeMemory() noexcept;

}  // namespace platform
