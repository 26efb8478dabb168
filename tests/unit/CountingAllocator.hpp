#pragma once

// Replaces the global operator new and delete of a test executable so that a test can count the
// heap allocations of a stretch of code. Include it from exactly one source file per executable.

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<bool> countingAllocations{false};
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    if (countingAllocations)
        ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// The GL driver allocates with the nothrow form and frees with the plain delete below, so both
// forms must come from malloc.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (countingAllocations)
        ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}

// GCC pairs the built-in operator new with these and warns about free(); the replacement
// operator new above is the one that runs, and it allocates with malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
#pragma GCC diagnostic pop
