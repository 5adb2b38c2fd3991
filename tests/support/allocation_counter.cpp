#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t t_allocations = 0;
void* CountedAlloc(std::size_t size) {
    ++t_allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* CountedAllocOrThrow(std::size_t size) {
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}
// Kept out of line so the compiler never sees a malloc'd pointer meet free() through an inlined
// operator delete (which it would flag as a new/free mismatch).
[[gnu::noinline]] void CountedFree(void* p) noexcept {
    std::free(p);
}
}  // namespace

std::size_t velta::testing::AllocationsOnThisThread() {
    return t_allocations;
}

void* operator new(std::size_t size) {
    return CountedAllocOrThrow(size);
}
void* operator new[](std::size_t size) {
    return CountedAllocOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    CountedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    CountedFree(p);
}
