#pragma once

#include "VstPluginInstance.h"

#include <array>
#include <optional>

namespace varnoke::test
{
// The open editor's knob values (low, high, output), or nothing when no editor
// is open. Message thread only.
inline std::optional<std::array<double, 3>> knobValues(AEffect* effect)
{
    auto* container = varnoke::VstPluginInstance::fromEffect(effect)->getEditorContainer();
    if (container == nullptr)
        return std::nullopt;

    const char* names[] = {"low", "high", "output"};
    std::array<double, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
    {
        juce::Slider* knob = nullptr;
        for (auto* child : container->getEditor().getChildren())
            if (child->getName() == names[i])
                knob = dynamic_cast<juce::Slider*>(child);
        if (knob == nullptr)
            return std::nullopt;
        values[i] = knob->getValue();
    }
    return values;
}

// Each parameter as its knob shows it: times 10 in single precision.
inline std::array<double, 3> expectedKnobValues(AEffect* effect)
{
    std::array<double, 3> values{};
    for (int i = 0; i < 3; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<double>(effect->getParameter(effect, i) * 10.0f);
    return values;
}
}  // namespace varnoke::test
