#include "ArtworkFonts.h"

namespace
{
juce::Typeface::Ptr loadTypeface(const juce::File& file, juce::String& error)
{
    juce::MemoryBlock data;
    if (!file.loadFileAsData(data))
    {
        error << "cannot read " << file.getFullPathName() << "\n";
        return nullptr;
    }
    auto typeface = juce::Typeface::createSystemTypefaceFor(data.getData(), data.getSize());
    if (typeface == nullptr)
        error << "cannot load the font " << file.getFullPathName() << "\n";
    return typeface;
}

juce::Path rawOutline(const juce::Typeface::Ptr& typeface, const juce::String& text, float fontHeight, float tracking)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText(juce::Font(typeface).withHeight(fontHeight), text, 0.0f, 0.0f);
    for (int i = 1; i < glyphs.getNumGlyphs(); ++i)
        glyphs.moveRangeOfGlyphs(i, 1, tracking * static_cast<float>(i), 0.0f);
    juce::Path path;
    glyphs.createPath(path);
    return path;
}

// Font heights in JUCE count ascent plus descent; the artwork is laid out by cap height.
float fontHeightForCapHeight(const juce::Typeface::Ptr& typeface, float capHeight)
{
    constexpr float probeHeight = 100.0f;
    const float probeCapHeight = rawOutline(typeface, "H", probeHeight, 0.0f).getBounds().getHeight();
    return probeHeight * capHeight / probeCapHeight;
}
}  // namespace

juce::Result ArtworkFonts::load(const juce::File& fontDirectory, ArtworkFonts& fonts)
{
    juce::String error;
    fonts.labels = loadTypeface(fontDirectory.getChildFile("truetype/liberation2/LiberationSans-Bold.ttf"), error);
    fonts.productName = loadTypeface(fontDirectory.getChildFile("opentype/bebas-neue/BebasNeue-Bold.otf"), error);
    fonts.script = loadTypeface(fontDirectory.getChildFile("opentype/dancingscript/DancingScript-Bold.otf"), error);
    return error.isEmpty() ? juce::Result::ok() : juce::Result::fail(error);
}

namespace artwork_text
{
juce::Path outline(const juce::Typeface::Ptr& typeface, const juce::String& text, float capHeight, float tracking)
{
    return rawOutline(typeface, text, fontHeightForCapHeight(typeface, capHeight), tracking);
}

juce::Path placed(juce::Path path, float left, float top)
{
    const auto bounds = path.getBounds();
    path.applyTransform(juce::AffineTransform::translation(left - bounds.getX(), top - bounds.getY()));
    return path;
}

juce::Path placedOnBaseline(juce::Path path, float left, float baseline)
{
    // The outline was set with its baseline at y = 0.
    path.applyTransform(juce::AffineTransform::translation(left - path.getBounds().getX(), baseline));
    return path;
}

float trackingForWidth(const juce::Typeface::Ptr& typeface, const juce::String& text, float capHeight, float width)
{
    const float naturalWidth = outline(typeface, text, capHeight).getBounds().getWidth();
    const int gaps = std::max(1, text.length() - 1);
    return (width - naturalWidth) / static_cast<float>(gaps);
}
}  // namespace artwork_text
