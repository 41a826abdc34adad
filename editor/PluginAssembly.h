#pragma once

#include "VarnokeAudioProcessor.h"

#include <memory>

namespace varnoke
{
// The processor as every plug-in format ships it: a new, default-constructed
// VarnokeAudioProcessor whose createEditor builds the Varnoke window.
std::unique_ptr<VarnokeAudioProcessor> createPluginProcessor();
}  // namespace varnoke
