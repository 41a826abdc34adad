#include "SourceRendering.h"

#include "RenderError.h"
#include "RenderPlugin.h"

#include <cstdio>

namespace varnoke::render
{
namespace
{
std::unique_ptr<host::VstInstance> newRenderingInstance(const std::shared_ptr<const host::PluginLibrary>& library,
                                                        const RenderSettings& settings, int channels, double sampleRate)
{
    auto plugin = newInstance(library);
    if (!plugin->setChannels(channels))
        throw RenderError("the plug-in refused a " + std::to_string(channels) + "-channel layout");
    configure(*plugin, settings.preset, settings.knobs, settings.bypass);
    plugin->start(sampleRate, settings.blockSize);
    return plugin;
}
}  // namespace

RenderedFile renderSource(const std::shared_ptr<const host::PluginLibrary>& library, AudioSource& source,
                          const RenderSettings& settings, const std::string& path,
                          const std::function<void(juce::int64)>& onProgress, std::mutex* lifecycle)
{
    RenderedFile rendered;
    rendered.path = path;
    rendered.sampleRate = source.sampleRate();
    rendered.numChannels = source.numChannels();

    std::unique_lock<std::mutex> lock;
    if (lifecycle != nullptr)
        lock = std::unique_lock<std::mutex>(*lifecycle);
    std::unique_ptr<host::VstInstance> plugin =
        newRenderingInstance(library, settings, rendered.numChannels, rendered.sampleRate);
    if (lock.owns_lock())
        lock.unlock();

    // Closed under the lifecycle lock however the rendering ends.
    const auto close = [&]
    {
        if (lifecycle != nullptr)
            lock.lock();
        plugin.reset();
    };
    try
    {
        rendered.result = renderToWav(source, *plugin, settings.blockSize, settings.bits, path, onProgress);
    }
    catch (...)
    {
        close();
        throw;
    }
    close();
    return rendered;
}

std::string summaryLine(const RenderedFile& rendered)
{
    const RenderResult& result = rendered.result;
    const double duration = static_cast<double>(result.frames) / rendered.sampleRate;
    char numbers[512];
    std::snprintf(numbers, sizeof numbers,
                  "%lld frames at %g Hz (%.2f s, %s) in %.2f s, %.0fx real time; "
                  "in peak %.1f dBFS, RMS %.1f dBFS; out peak %.1f dBFS, RMS %.1f dBFS",
                  static_cast<long long>(result.frames), rendered.sampleRate, duration,
                  rendered.numChannels == 1 ? "mono" : "stereo", result.seconds,
                  result.seconds > 0.0 ? duration / result.seconds : 0.0, result.in.peakDecibels(),
                  result.in.rmsDecibels(), result.out.peakDecibels(), result.out.rmsDecibels());
    return rendered.path + ": " + numbers;
}
}  // namespace varnoke::render
