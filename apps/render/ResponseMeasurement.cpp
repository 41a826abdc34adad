#include "ResponseMeasurement.h"

#include "RenderError.h"
#include "RenderPlugin.h"

#include <cmath>
#include <vector>

namespace varnoke::render
{
namespace
{
constexpr int responseLength = 65536;
constexpr int responseWarmUp = 131072;  // lets the high band's fade-in settle
}  // namespace

ResponseCurve measureResponse(const std::shared_ptr<const host::PluginLibrary>& library,
                              const std::optional<FxPreset>& preset, const KnobSettings& knobs, bool bypass,
                              double sampleRate)
{
    auto plugin = newInstance(library);
    plugin->setChannels(2);
    configure(*plugin, preset, knobs, bypass);
    const int block = 4096;
    plugin->start(sampleRate, block);

    std::vector<float> inL(block, 0.0f), inR(block, 0.0f), outL(block), outR(block);
    float* inputs[] = {inL.data(), inR.data()};
    float* outputs[] = {outL.data(), outR.data()};
    const auto requireFinite = [&outL, &outR]
    {
        for (int i = 0; i < block; ++i)
            if (!std::isfinite(outL[static_cast<size_t>(i)]) || !std::isfinite(outR[static_cast<size_t>(i)]))
                throw RenderError(
                    "cannot measure the response: the plug-in output a non-finite sample (NaN or infinity)");
    };
    for (int done = 0; done < responseWarmUp; done += block)
    {
        plugin->process(inputs, outputs, block);
        requireFinite();
    }

    std::vector<float> impulseResponse;
    inL[0] = inR[0] = 1.0f;
    for (int done = 0; done < responseLength; done += block)
    {
        plugin->process(inputs, outputs, block);
        requireFinite();
        impulseResponse.insert(impulseResponse.end(), outL.begin(), outL.end());
        inL[0] = inR[0] = 0.0f;
    }
    ResponseCurve curve = responseFromImpulse(impulseResponse, sampleRate);
    curve.label = settingsLabel(*plugin, bypass);
    return curve;
}
}  // namespace varnoke::render
