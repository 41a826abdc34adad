#include "KnobStripArtwork.h"

#include "ValueNoise.h"

#include <cmath>

namespace
{
constexpr int frameSize = 70;
constexpr int frameCount = 31;
constexpr float centre = 35.0f;
constexpr float bodyRadius = 21.0f;  // fully opaque inside, so pixels 14 to 55 across
constexpr float edgeRadius = 23.0f;  // the soft edge fades out here
constexpr float shadowDrop = 3.0f;
constexpr float shadowRadius = 24.0f;
constexpr juce::int64 brushSeed = 0x4b6e6f62;

float smoothStep(float edge0, float edge1, float x)
{
    const float t = juce::jlimit(0.0f, 1.0f, (x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

// Brightness of the knob's top at offset (dx, dy) from its centre: circular
// brushing (fine concentric rings), the two bright wedges that a light from the
// upper left makes on such a surface, and a bevel at the rim.
float metalBrightness(const ValueNoise& noise, float dx, float dy)
{
    const float r = std::sqrt(dx * dx + dy * dy);
    const float angle = std::atan2(dy, dx);
    const float brushing = noise.fractal(r * 2.3f, 3.0f + angle * 0.4f, 3) - 0.5f;
    const float wedges = std::pow(std::abs(std::cos(angle + juce::MathConstants<float>::pi * 0.25f)), 6.0f);
    const float rim = smoothStep(17.0f, 20.5f, r);
    const float towardsLight = -(dx + dy) / std::max(r, 0.001f) * 0.7071f;  // 1 at the upper left
    const float bevel = rim * towardsLight * 55.0f;
    const float verticalLight = -dy / bodyRadius * 10.0f;
    const float outerDarkening = smoothStep(20.0f, 22.0f, r) * 45.0f;
    return 172.0f + 22.0f * brushing + 58.0f * wedges + bevel + verticalLight - outerDarkening;
}

// The body and its drop shadow, which don't turn with the pointer. Each pixel
// is shaded at its centre's place in the 1x frame's coordinates, so every
// scale shows the same knob.
juce::Image drawBody(int scale)
{
    const ValueNoise noise(brushSeed);
    const int side = frameSize * scale;
    const auto designOffset = [scale](int i)
    { return (static_cast<float>(i) + 0.5f) / static_cast<float>(scale) - centre; };
    juce::Image body(juce::Image::ARGB, side, side, true, juce::SoftwareImageType());
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
        {
            const float dx = designOffset(x);
            const float dy = designOffset(y);
            const float r = std::sqrt(dx * dx + dy * dy);
            const float shadowR = std::sqrt(dx * dx + (dy - shadowDrop) * (dy - shadowDrop));

            const float bodyAlpha = 1.0f - smoothStep(bodyRadius, edgeRadius, r);
            const float shadowAlpha = 0.6f * (1.0f - smoothStep(18.0f, shadowRadius, shadowR));
            const float alpha = bodyAlpha + shadowAlpha * (1.0f - bodyAlpha);
            if (alpha <= 0.0f)
                continue;

            const float grey = juce::jlimit(0.0f, 255.0f, metalBrightness(noise, dx, dy)) * bodyAlpha / alpha;
            const auto level = static_cast<juce::uint8>(std::lround(grey));
            // A faint cool tint reads as steel rather than plastic.
            const auto blue = static_cast<juce::uint8>(std::min(255L, std::lround(grey * 1.03f)));
            body.setPixelAt(x, y, juce::Colour(level, level, blue).withAlpha(alpha));
        }
    return body;
}

// The pointer: a white bar across the whole top, raised a little by its own
// shadow, with a short dark tick at the end that points.
void drawPointer(juce::Graphics& g, float degreesFromTwelve)
{
    const auto turn = juce::AffineTransform::rotation(juce::degreesToRadians(degreesFromTwelve), centre, centre);
    const float halfLength = bodyRadius - 1.6f;
    const float barWidth = 4.4f;
    juce::Path bar;
    bar.addRoundedRectangle(centre - barWidth * 0.5f, centre - halfLength, barWidth, 2.0f * halfLength, 1.2f);

    g.setColour(juce::Colours::black.withAlpha(0.35f));
    g.fillPath(bar, turn.translated(0.0f, 1.0f));
    g.setColour(juce::Colour(250, 250, 248));
    g.fillPath(bar, turn);

    juce::Path tick;
    tick.addRoundedRectangle(centre - 0.8f, centre - halfLength + 2.0f, 1.6f, 6.5f, 0.7f);
    g.setColour(juce::Colour(70, 70, 72));
    g.fillPath(tick, turn);
}
}  // namespace

juce::Image drawKnobStrip(int scale)
{
    const juce::Image body = drawBody(scale);
    const int side = frameSize * scale;
    juce::Image strip(juce::Image::ARGB, side, side * frameCount, true, juce::SoftwareImageType());
    juce::Graphics g(strip);
    for (int frame = 0; frame < frameCount; ++frame)
    {
        const juce::Graphics::ScopedSaveState state(g);
        g.setOrigin(0, frame * side);
        g.reduceClipRegion(0, 0, side, side);
        g.drawImageAt(body, 0, 0);
        // The pointer is an outline, drawn at the strip's own resolution.
        if (scale != 1)
            g.addTransform(juce::AffineTransform::scale(static_cast<float>(scale)));
        drawPointer(g, -138.0f + 9.2f * static_cast<float>(frame));
    }
    return strip;
}
