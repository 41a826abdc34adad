// The files the build writes for the factory presets: each .fxp holds the
// state chunk the plug-in itself saves for the preset's positions, byte for
// byte, in a program file varnoke-render (and hosts) read back.

#include "FactoryPresets.h"
#include "FxPreset.h"
#include "FxpProgramFile.h"
#include "ProductIdentity.h"
#include "StateChunk.h"
#include "support/BitPatterns.h"

#include <gtest/gtest.h>

namespace varnoke::test
{
namespace
{
std::vector<unsigned char> processorChunk(const core::FactoryPreset& preset)
{
    juce::MemoryBlock block;
    state_chunk::write({preset.positions[0], preset.positions[1], preset.positions[2]}, block);
    const auto* data = static_cast<const unsigned char*>(block.getData());
    return {data, data + block.getSize()};
}

TEST(PresetFilesTest, ChunkIsTheOneThePluginSaves)
{
    for (const auto& preset : core::factoryPresets)
    {
        SCOPED_TRACE(preset.name);
        const auto chunk = presets::stateChunkFor(preset);
        EXPECT_EQ(processorChunk(preset), chunk);
        const auto values = state_chunk::read(chunk.data(), static_cast<int>(chunk.size()));
        ASSERT_TRUE(values.has_value());
        EXPECT_SAME_BITS(preset.positions[0], values->lowContour);
        EXPECT_SAME_BITS(preset.positions[1], values->process);
        EXPECT_SAME_BITS(preset.positions[2], values->output);
    }
}

TEST(PresetFilesTest, FxpIsAChunkProgramOfThisPlugin)
{
    for (const auto& preset : core::factoryPresets)
    {
        SCOPED_TRACE(preset.name);
        const auto bytes = presets::fxpProgramFile(preset);
        const render::FxPreset read = render::readFxPreset(bytes);
        EXPECT_EQ(render::FxPreset::Kind::program, read.kind);
        EXPECT_TRUE(read.hasChunk());
        EXPECT_EQ(product::vst2UniqueId, read.pluginId);
        EXPECT_EQ(product::vendorVersion, read.pluginVersion);
        EXPECT_EQ(preset.name, read.programName);
        EXPECT_EQ(processorChunk(preset), read.chunk);
        // The same bytes as varnoke-render writes for a program holding this chunk and name.
        render::FxPreset written = read;
        EXPECT_EQ(render::writeFxPreset(written, core::numHostParameters, 0), bytes);
    }
}
}  // namespace
}  // namespace varnoke::test
