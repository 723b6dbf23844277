// The seed of a randomised test: GoogleTest's own, which differs from run to run and is replayed with
// --gtest_random_seed=N. Put SeedTrace(seed) in a SCOPED_TRACE so that every failure names it.
#pragma once
#include <cstdint>
#include <gtest/gtest.h>
#include <string>

inline uint32_t TestSeed()
{
    return uint32_t(testing::UnitTest::GetInstance()->random_seed());
}

inline std::string SeedTrace(uint32_t seed)
{
    return "seed " + std::to_string(seed) + " (--gtest_random_seed=" + std::to_string(seed) + " replays it)";
}
