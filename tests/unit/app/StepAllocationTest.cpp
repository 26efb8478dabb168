#include "StepScene.hpp"

#include "app/Application.hpp"
#include "cutscene/GameCutscene.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
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

#ifdef KESTRUNE_TEST_GL
TEST(StepAllocations, TheWholeStepOfABusySceneDoesNotAllocate)
{
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / "kestrune-step-allocations";
    stepscene::write(fs::path(KESTRUNE_SOURCE_DIR), folder);
    fs::current_path(folder);

    testing::internal::CaptureStdout();
    Application app;
    const bool started = stepscene::start(app, 60);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);

    // 200 tweening objects, 10,000 particles, five texts, about 100,000 script lines a step.
    GameCutscene::instance().flags[stepscene::BusyFlag] = 1;
    app.updateStep(1.f / 60.f);
    countingAllocations = true;
    for (int i = 0; i < 5; ++i)
        app.updateStep(1.f / 60.f);
    countingAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_TRUE(app.running);

    fs::current_path(previous);
    fs::remove_all(folder);
}
#endif
