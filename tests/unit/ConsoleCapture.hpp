#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace testsupport
{
// What one action printed on each stream.
struct Output
{
    std::string out;
    std::string err;
};

template <typename Action>
Output capture(Action action)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    action();
    Output output;
    output.out = testing::internal::GetCapturedStdout();
    output.err = testing::internal::GetCapturedStderr();
    return output;
}

// Both streams in one text, to check the order of lines across them.
template <typename Action>
std::string captureMerged(Action action)
{
    std::ostringstream merged;
    std::streambuf* out = std::cout.rdbuf(merged.rdbuf());
    std::streambuf* err = std::cerr.rdbuf(merged.rdbuf());
    action();
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    return merged.str();
}
} // namespace testsupport
