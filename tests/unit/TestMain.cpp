#include <gtest/gtest.h>

#ifdef KESTRUNE_TEST_GL
#include <SFML/Window/Context.hpp>
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef KESTRUNE_TEST_GL
    // One GL context held for the whole process keeps the display connection and the GL driver
    // loaded: the X server cannot reset under a test between two textures, and the driver's
    // allocations are not unloaded at exit where the leak checker would report them. Listing
    // the tests needs no display.
    if (!::testing::GTEST_FLAG(list_tests))
        static_cast<void>(new sf::Context);
#endif
    return RUN_ALL_TESTS();
}
