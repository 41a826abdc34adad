// Creation and the process-wide GUI layer, driven through the boundary library.

#include "BoundaryTestSupport.h"

#include "ProcessLifetime.h"

#include <stdexcept>

namespace varnoke::test::boundary
{
namespace
{
TEST(InstanceCreation, ExceptionDuringCreationGivesNullAndReleasesTheGuiLayer)
{
    AEffect* effect = varnoke::VstPluginInstance::create(HostRecorder::callback,
                                                         []() -> std::unique_ptr<juce::AudioProcessor>
                                                         { throw std::runtime_error("no processor today"); });
    EXPECT_EQ(nullptr, effect);
    EXPECT_EQ(nullptr, juce::MessageManager::getInstanceWithoutCreating());
    EXPECT_EQ(0, varnoke::ProcessLifetime::getNumLiveInstances());
}

TEST(InstanceCreation, ProcessorIsMarkedAsVstAndTheMarkerIsReset)
{
    AEffect* effect = createTestInstance();
    ASSERT_NE(nullptr, effect);
    auto& processor = varnoke::VstPluginInstance::fromEffect(effect)->getProcessor();
    EXPECT_EQ(juce::AudioProcessor::wrapperType_VST, processor.wrapperType);
    EXPECT_EQ(2, processor.getTotalNumInputChannels());

    VarnokeAudioProcessor plain;
    EXPECT_EQ(juce::AudioProcessor::wrapperType_Undefined, plain.wrapperType);
    dispatch(effect, 1);
}

TEST(InstanceCreation, GuiLayerLivesFromFirstToLastInstance)
{
    EXPECT_EQ(nullptr, juce::MessageManager::getInstanceWithoutCreating());
    AEffect* first = createTestInstance();
    ASSERT_NE(nullptr, first);
    EXPECT_TRUE(juce::MessageManager::existsAndIsCurrentThread());
    AEffect* second = createTestInstance();
    EXPECT_EQ(2, varnoke::ProcessLifetime::getNumLiveInstances());

    dispatch(first, 1);
    EXPECT_NE(nullptr, juce::MessageManager::getInstanceWithoutCreating());
    dispatch(second, 1);
    EXPECT_EQ(nullptr, juce::MessageManager::getInstanceWithoutCreating());
    EXPECT_EQ(0, varnoke::ProcessLifetime::getNumLiveInstances());
}

TEST(InstanceCreation, UpdateHostDisplayReachesTheHost)
{
    AEffect* effect = createTestInstance();
    ASSERT_NE(nullptr, effect);
    HostRecorder::take();
    varnoke::VstPluginInstance::fromEffect(effect)->getProcessor().updateHostDisplay();
    EXPECT_EQ((std::vector<int>{13, 42}), HostRecorder::take());
    EXPECT_EQ(0, effect->initialDelay);
    dispatch(effect, 1);
}

TEST(InstanceCreation, ArrangementNamesFollowTheHost)
{
    AEffect* effect = createTestInstance();
    ASSERT_NE(nullptr, effect);
    auto* instance = varnoke::VstPluginInstance::fromEffect(effect);

    struct Arrangement
    {
        int type;
        int numChannels;
        char speakers[8 * 112];
    };
    Arrangement mono{0, 1, {}}, stereo{1, 2, {}}, six{15, 6, {}};
    EXPECT_EQ(1, dispatch(effect, 42, 0, reinterpret_cast<VstIntPtr>(&mono), &mono));
    EXPECT_EQ(juce::String("M"), instance->getInputArrangementName());
    EXPECT_EQ(1, instance->getProcessor().getTotalNumInputChannels());
    EXPECT_EQ(1, dispatch(effect, 42, 0, reinterpret_cast<VstIntPtr>(&stereo), &stereo));
    EXPECT_EQ(juce::String("L R"), instance->getOutputArrangementName());
    EXPECT_EQ(2, instance->getProcessor().getTotalNumOutputChannels());
    EXPECT_EQ(0, dispatch(effect, 42, 0, reinterpret_cast<VstIntPtr>(&six), &six));
    EXPECT_EQ(juce::String(""), instance->getInputArrangementName());
    EXPECT_EQ(juce::String(""), instance->getOutputArrangementName());
    EXPECT_EQ(2, instance->getProcessor().getTotalNumOutputChannels());
    dispatch(effect, 1);
}
}  // namespace
}  // namespace varnoke::test::boundary
