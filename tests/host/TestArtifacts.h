#pragma once

#include "RgbImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace varnoke::test
{
// Saves a screenshot as build/test-artifacts/NAME (VARNOKE_TEST_ARTIFACTS),
// where anyone can look at it after the run.
inline void saveArtifact(const RgbImage& image, const std::string& name)
{
    const std::filesystem::path directory(VARNOKE_TEST_ARTIFACTS);
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(image.writePng((directory / name).string())) << name;
}
}  // namespace varnoke::test
