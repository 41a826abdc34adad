#pragma once

#include "VarnokeAudioProcessor.h"
#include "VstPluginInstance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace varnoke::test::boundary
{
// A plain editor standing in for the plug-in's window.
class TestEditor : public juce::AudioProcessorEditor
{
public:
    explicit TestEditor(juce::AudioProcessor& owner)
        : juce::AudioProcessorEditor(owner)
    {
        ++constructed;
        setOpaque(true);
        setSize(420, 99);
    }

    void paint(juce::Graphics& g) override
    {
        ++paints;
        g.fillAll(juce::Colours::darkorange);
        g.setColour(juce::Colours::black);
        g.fillRect(271, 6, 149, 83);
    }

    static inline std::atomic<int> paints{0};
    static inline std::atomic<int> constructed{0};
};

// The processor with an editor that tests control.
class EditorTestProcessor : public VarnokeAudioProcessor
{
public:
    juce::AudioProcessorEditor* createEditor() override { return giveEditor ? new TestEditor(*this) : nullptr; }

    static inline std::atomic<bool> giveEditor{true};
};

// Records host calls per opcode.
struct HostRecorder
{
    static VstIntPtr callback(AEffect*, int opcode, int, VstIntPtr, void* ptr, float)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        opcodes.push_back(opcode);
        if (opcode == 1)
            return 2400;
        if (opcode == 37 && ptr != nullptr)
            return std::string(static_cast<const char*>(ptr)) == "sizeWindow" ? 1 : 0;
        return 0;
    }

    static std::vector<int> take()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        auto result = opcodes;
        opcodes.clear();
        return result;
    }

    static inline std::mutex mutex;
    static inline std::vector<int> opcodes;
};

inline AEffect* createTestInstance()
{
    return varnoke::VstPluginInstance::create(HostRecorder::callback,
                                              [] { return std::make_unique<EditorTestProcessor>(); });
}

inline VstIntPtr dispatch(AEffect* effect, int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
}  // namespace varnoke::test::boundary
