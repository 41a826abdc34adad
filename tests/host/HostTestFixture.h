#pragma once

#include "BuiltPlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace varnoke::test
{
// Loads Varnoke.so once per test suite and closes every instance a test opened.
class HostTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { library = new PluginLibrary(builtPluginPath()); }
    static void TearDownTestSuite()
    {
        delete library;
        library = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(library->isLoaded()) << library->error();
        RecordingHost::reset();
    }

    void TearDown() override
    {
        for (auto* effect : live)
            dispatch(effect, effClose);
        live.clear();
    }

    // VSTPluginMain followed by effOpen.
    AEffect* openInstance(audioMasterCallback callback = RecordingHost::callback)
    {
        AEffect* effect = library->create(callback);
        if (effect != nullptr)
        {
            dispatch(effect, effOpen);
            live.push_back(effect);
        }
        return effect;
    }

    void closeInstance(AEffect* effect)
    {
        live.erase(std::remove(live.begin(), live.end(), effect), live.end());
        EXPECT_EQ(1, dispatch(effect, effClose));
    }

    static PluginLibrary* library;
    std::vector<AEffect*> live;
};

inline PluginLibrary* HostTest::library = nullptr;

struct StereoOutput
{
    std::vector<float> left, right;
};

// One processReplacing call with separate input and output buffers.
inline StereoOutput processStereo(AEffect* effect, std::vector<float> left, std::vector<float> right)
{
    const auto frames = left.size();
    StereoOutput out{std::vector<float>(frames, 99.0f), std::vector<float>(frames, 99.0f)};
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {out.left.data(), out.right.data()};
    effect->processReplacing(effect, inputs, outputs, static_cast<int>(frames));
    return out;
}

inline std::vector<float> impulse(std::size_t frames, float height = 1.0f)
{
    std::vector<float> samples(frames, 0.0f);
    samples[0] = height;
    return samples;
}
}  // namespace varnoke::test
