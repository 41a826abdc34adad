#pragma once

#include "PluginLibrary.h"
#include "RenderJob.h"
#include "RenderSettings.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace varnoke::render
{
struct RenderedFile
{
    std::string path;
    RenderResult result;
    double sampleRate = 0.0;
    int numChannels = 0;
};

// Renders the source into a WAV file at path through a fresh instance of the
// plug-in, set up as the settings say: the one way every output is made, so a
// file rendered among others is the same as one rendered alone. When given a
// lifecycle mutex, the instance is created and closed while holding it, one
// at a time, as a host's loader does. Throws RenderError.
RenderedFile renderSource(const std::shared_ptr<const host::PluginLibrary>& library, AudioSource& source,
                          const RenderSettings& settings, const std::string& path,
                          const std::function<void(juce::int64)>& onProgress, std::mutex* lifecycle = nullptr);

// "PATH: FRAMES frames at RATE Hz (SECONDS s, stereo) in ..., ...x real time; in peak ..."
std::string summaryLine(const RenderedFile& rendered);
}  // namespace varnoke::render
