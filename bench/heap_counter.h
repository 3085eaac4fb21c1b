#pragma once
// Heap bytes in use, counted while a measurement window is open: every
// operator new and delete of the process, and the allocators handed to
// libxml2 and gumbo. Sizes are what the C library really reserved
// (malloc_usable_size), so that the figures are comparable across
// allocators. Outside a window the hooks cost a flag test.

#include <cstddef>
#include <cstdint>

namespace heap {

// Starts counting from zero: blocks freed during the window that were made
// before it count as negative, so the peak is the growth of the heap.
void BeginWindow();
// Stops counting; returns the highest growth seen since BeginWindow.
std::int64_t EndWindow();
// Growth at this moment (inside a window).
std::int64_t Current();

// The C-level allocator the peers are given.
void* Malloc(std::size_t size);
void* Realloc(void* p, std::size_t size);
void Free(void* p);
char* Strdup(const char* s);

// Makes libxml2 allocate through the functions above. Must run before
// libxml2 allocates anything.
void InstallForLibxml2();

}  // namespace heap
