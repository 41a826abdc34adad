#include "LookAndFeelVarnoke.h"

#include <BinaryData.h>

#include <cmath>

namespace varnoke
{
LookAndFeelVarnoke::LookAndFeelVarnoke() = default;

LookAndFeelVarnoke::~LookAndFeelVarnoke() = default;

// The picture shows the position, so the angles and the proportional position
// that the slider passes in are not used: only value, minimum and maximum count.
// The strip (1x, or 2x on a finer screen) comes from the image cache at every call (decoded once, shared by
// all knobs) rather than being held here.
void LookAndFeelVarnoke::drawRotarySlider(juce::Graphics& g, int x, int y, int width, int height,
                                          float /*sliderPosProportional*/, float /*rotaryStartAngle*/,
                                          float /*rotaryEndAngle*/, juce::Slider& slider)
{
    // Above 1x the frames come from the 2x strip, reduced to the knob's size
    // on screen rather than enlarged from the 1x strip.
    const bool fine = g.getInternalContext().getPhysicalPixelScaleFactor() > 1.0f;
    const juce::Image strip =
        fine ? juce::ImageCache::getFromMemory(BinaryData::knobstrip_2x_png, BinaryData::knobstrip_2x_pngSize)
             : juce::ImageCache::getFromMemory(BinaryData::knobstrip_png, BinaryData::knobstrip_pngSize);
    if (fine)
        g.setImageResamplingQuality(juce::Graphics::highResamplingQuality);
    const int frameSide = strip.getWidth();
    if (frameSide <= 0)
        return;

    // The frames are square and stacked from the top; a strip shorter than one
    // frame has nothing to show.
    const int frameCount = strip.getHeight() / frameSide;
    if (frameCount < 1)
        return;

    const double range = slider.getMaximum() - slider.getMinimum();
    const double fraction = range > 0.0 ? (slider.getValue() - slider.getMinimum()) / range : 0.0;

    // The ceiling, not the nearest frame: the first frame shows the minimum
    // only, and anything above it shows at least the second. The limits keep a
    // value outside the range from reading past the strip.
    const double frame = std::ceil(fraction * (frameCount - 1.0));
    const int frameIndex = frame > 0.0 ? static_cast<int>(std::min(frame, frameCount - 1.0)) : 0;

    const float radius = std::min(width * 0.5f, height * 0.5f);
    const float centreX = x + width * 0.5f;
    const float centreY = y + height * 0.5f;
    const int destX = static_cast<int>(centreX - radius - 1.0f);
    const int destY = static_cast<int>(centreY - radius - 1.0f);
    const int side = 2 * static_cast<int>(radius);

    g.drawImage(strip, destX, destY, side, side, 0, frameIndex * frameSide, frameSide, frameSide, false);
}
}  // namespace varnoke
