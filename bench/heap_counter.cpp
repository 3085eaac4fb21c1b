#include "bench/heap_counter.h"

#include <libxml/xmlmemory.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace heap {
namespace {

// The benchmarks run on one thread; libraries that start threads of their
// own (none here) would make these figures approximate, not wrong.
bool counting = false;
std::int64_t live = 0;
std::int64_t peak = 0;

inline void Added(void* p) {
    if (!counting || p == nullptr) return;
    live += static_cast<std::int64_t>(malloc_usable_size(p));
    if (live > peak) peak = live;
}

inline void Removing(void* p) {
    if (!counting || p == nullptr) return;
    live -= static_cast<std::int64_t>(malloc_usable_size(p));
}

void* AllocateOrThrow(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    Added(p);
    return p;
}

void* AllocateAligned(std::size_t size, std::align_val_t align) {
    const std::size_t a = static_cast<std::size_t>(align);
    void* p = nullptr;
    if (posix_memalign(&p, a < sizeof(void*) ? sizeof(void*) : a, size == 0 ? 1 : size) != 0) throw std::bad_alloc();
    Added(p);
    return p;
}

void Release(void* p) noexcept {
    Removing(p);
    std::free(p);
}

}  // namespace

void BeginWindow() {
    live = 0;
    peak = 0;
    counting = true;
}

std::int64_t EndWindow() {
    counting = false;
    return peak;
}

std::int64_t Current() { return live; }

void* Malloc(std::size_t size) {
    void* p = std::malloc(size);
    Added(p);
    return p;
}

void* Realloc(void* p, std::size_t size) {
    Removing(p);
    void* q = std::realloc(p, size);
    // A failed realloc leaves the old block in place.
    Added(q != nullptr ? q : (size == 0 ? nullptr : p));
    return q;
}

void Free(void* p) { Release(p); }

char* Strdup(const char* s) {
    const std::size_t n = std::strlen(s) + 1;
    char* p = static_cast<char*>(Malloc(n));
    if (p != nullptr) std::memcpy(p, s, n);
    return p;
}

void InstallForLibxml2() { xmlMemSetup(Free, Malloc, Realloc, Strdup); }

}  // namespace heap

void* operator new(std::size_t size) { return heap::AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return heap::AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return heap::AllocateOrThrow(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return heap::AllocateOrThrow(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t align) { return heap::AllocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return heap::AllocateAligned(size, align); }
void operator delete(void* p) noexcept { heap::Release(p); }
void operator delete[](void* p) noexcept { heap::Release(p); }
void operator delete(void* p, std::size_t) noexcept { heap::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { heap::Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { heap::Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { heap::Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { heap::Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { heap::Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { heap::Release(p); }
