#include "BackgroundArtwork.h"

#include "ValueNoise.h"

#include <cmath>

namespace
{
constexpr int width = 420;
constexpr int opaqueRows = 99;
constexpr juce::int64 woodSeed = 0x56617277;

struct Rgb
{
    float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Brightness of the wood at (x, y), in [0, 1]. The planks run horizontally:
// growth rings are the contour lines of a slowly warped height, crossed by fine
// fibres and a few dark pores.
float woodTone(const ValueNoise& noise, float x, float y)
{
    const float warp =
        9.0f * noise.fractal(x * 0.0035f, y * 0.011f, 3) + 1.2f * noise.fractal(x * 0.018f, y * 0.06f, 2);
    const float phase = y * 0.13f + warp;
    const float ring = phase - std::floor(phase);
    // Late wood (dark) rises steeply and fades slowly into the light early wood.
    const float lateWood = std::pow(1.0f - ring, 4.0f) * 0.8f + 0.3f * std::exp(-ring * 25.0f);
    const float fibres = noise.fractal(x * 0.02f + 40.0f, y * 0.9f, 4);
    const float pores = std::max(0.0f, noise.at(x * 0.12f + 90.0f, y * 1.6f) - 0.86f) * 2.2f;
    const float broad = noise.fractal(x * 0.005f + 7.0f, y * 0.02f, 2);
    const float tone = 0.74f - 0.5f * lateWood + 0.4f * (fibres - 0.5f) - pores + 0.35f * (broad - 0.5f);
    return juce::jlimit(0.0f, 1.0f, tone);
}

Rgb woodColour(float tone)
{
    const Rgb darkStreak{96.0f, 50.0f, 16.0f};
    const Rgb middle{186.0f, 118.0f, 42.0f};
    const Rgb lightAmber{240.0f, 176.0f, 84.0f};
    return tone < 0.5f ? mix(darkStreak, middle, tone * 2.0f) : mix(middle, lightAmber, tone * 2.0f - 1.0f);
}

// The position in the 1x picture's pixel grid that pixel centre i of a
// picture drawn scale times larger falls on: the same pixel at scale 1.
float designCoordinate(int i, int scale)
{
    return (static_cast<float>(i) + 0.5f) / static_cast<float>(scale) - 0.5f;
}

// The wood, shaded a little darker towards the edges, with its mean pulled to
// the intended warm orange-brown. The grain is sampled in the 1x picture's
// coordinates, so every scale shows the same wood, in finer detail.
void paintWood(juce::Image& image, int scale)
{
    const ValueNoise noise(woodSeed);
    const int pixelWidth = width * scale, pixelRows = opaqueRows * scale;
    std::vector<Rgb> pixels(static_cast<size_t>(pixelWidth * pixelRows));
    for (int y = 0; y < pixelRows; ++y)
        for (int x = 0; x < pixelWidth; ++x)
        {
            const float fx = designCoordinate(x, scale), fy = designCoordinate(y, scale);
            Rgb colour = woodColour(woodTone(noise, fx, fy));
            const float edgeX = std::min(fx + 0.5f, width - fx - 0.5f) / 30.0f;
            const float edgeY = std::min(fy + 0.5f, opaqueRows - fy - 0.5f) / 14.0f;
            const float shade = 0.86f + 0.14f * std::min(1.0f, std::min(edgeX, edgeY));
            pixels[static_cast<size_t>(y * pixelWidth + x)] = {colour.r * shade, colour.g * shade, colour.b * shade};
        }

    const Rgb target{192.0f, 127.0f, 48.0f};
    for (int pass = 0; pass < 4; ++pass)  // clamping moves the mean a little, so repeat
    {
        double sum[3] = {0.0, 0.0, 0.0};
        for (const auto& p : pixels)
        {
            sum[0] += p.r;
            sum[1] += p.g;
            sum[2] += p.b;
        }
        const double count = static_cast<double>(pixels.size());
        const float gain[3] = {target.r / static_cast<float>(sum[0] / count),
                               target.g / static_cast<float>(sum[1] / count),
                               target.b / static_cast<float>(sum[2] / count)};
        for (auto& p : pixels)
            p = {std::min(255.0f, p.r * gain[0]), std::min(255.0f, p.g * gain[1]), std::min(255.0f, p.b * gain[2])};
    }

    for (int y = 0; y < pixelRows; ++y)
        for (int x = 0; x < pixelWidth; ++x)
        {
            const Rgb& p = pixels[static_cast<size_t>(y * pixelWidth + x)];
            image.setPixelAt(x, y,
                             juce::Colour(static_cast<juce::uint8>(std::lround(p.r)),
                                          static_cast<juce::uint8>(std::lround(p.g)),
                                          static_cast<juce::uint8>(std::lround(p.b))));
        }
}

// Each label sits centred under its knob, its capitals on rows 63 to 78,
// spaced out to fill the span given for it.
void paintLabels(juce::Graphics& g, const ArtworkFonts& fonts)
{
    struct Label
    {
        const char* text;
        float left, right;  // ink span, right edge exclusive
    };
    const Label labels[] = {{"LOW", 14.0f, 67.0f}, {"HIGH", 89.0f, 146.0f}, {"OUTPUT", 163.0f, 260.0f}};
    constexpr float capHeight = 16.0f;
    constexpr float baseline = 79.0f;

    g.setColour(juce::Colours::black);
    for (const auto& label : labels)
    {
        const float tracking =
            artwork_text::trackingForWidth(fonts.labels, label.text, capHeight, label.right - label.left);
        g.fillPath(artwork_text::placedOnBaseline(artwork_text::outline(fonts.labels, label.text, capHeight, tracking),
                                                  label.left, baseline));
    }
}

// The black panel with the product name above the maker's name: a green script
// word over a white lower-case word.
void paintPanel(juce::Graphics& g, const ArtworkFonts& fonts)
{
    const juce::Rectangle<float> panel(271.0f, 6.0f, 149.0f, 83.0f);
    g.setColour(juce::Colours::black);
    g.fillRect(panel);
    const float centreX = panel.getCentreX();

    const juce::String productName("VARNOKE");
    constexpr float nameCapHeight = 28.0f;
    const float nameTracking = 2.2f;
    auto name = artwork_text::outline(fonts.productName, productName, nameCapHeight, nameTracking);
    const float nameWidth = name.getBounds().getWidth();
    g.setColour(juce::Colours::white);
    g.fillPath(artwork_text::placedOnBaseline(name, centreX - nameWidth * 0.5f, 15.0f + nameCapHeight));

    // The lower-case word first, so the script word lies over it.
    auto lowerWord = artwork_text::outline(fonts.labels, "lund", 19.0f, 0.6f);
    const auto lowerBounds = lowerWord.getBounds();
    lowerWord = artwork_text::placed(lowerWord, 343.0f, 87.0f - lowerBounds.getHeight());
    g.setColour(juce::Colours::white);
    g.fillPath(lowerWord);

    auto scriptWord = artwork_text::outline(fonts.script, "Ostre", 33.0f);
    scriptWord = artwork_text::placed(scriptWord, 283.0f, 38.0f);
    // A black keyline keeps the green letters clear of the white ones beneath.
    g.setColour(juce::Colours::black);
    g.strokePath(scriptWord, juce::PathStrokeType(3.2f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    // The script's hairlines would vanish at this size: a thin stroke in the
    // same green gives them weight.
    g.setColour(juce::Colour(46, 169, 46));
    g.fillPath(scriptWord);
    g.strokePath(scriptWord, juce::PathStrokeType(0.9f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}
}  // namespace

juce::Image drawBackground(const ArtworkFonts& fonts, int scale)
{
    juce::Image image(juce::Image::ARGB, width * scale, (opaqueRows + 1) * scale, true, juce::SoftwareImageType());
    paintWood(image, scale);
    {
        juce::Graphics g(image);
        // The text and the panel are outlines, drawn at the picture's own resolution.
        if (scale != 1)
            g.addTransform(juce::AffineTransform::scale(static_cast<float>(scale)));
        g.reduceClipRegion(0, 0, width, opaqueRows);
        paintLabels(g, fonts);
        paintPanel(g, fonts);
    }
    return image;
}
