#pragma once

#include <juce_graphics/juce_graphics.h>

// The typefaces the artwork is set in, loaded from the font files of Debian's
// packages (fonts-liberation2, fonts-bebas-neue, fonts-dancingscript), so the
// result doesn't depend on the machine's font configuration.
struct ArtworkFonts
{
    juce::Typeface::Ptr labels;       // bold sans for the knob labels and the lower-case word
    juce::Typeface::Ptr productName;  // tall condensed capitals
    juce::Typeface::Ptr script;       // the maker's script word

    // Loads all three from fontDirectory (normally /usr/share/fonts); fails with
    // a message naming the missing file.
    static juce::Result load(const juce::File& fontDirectory, ArtworkFonts& fonts);
};

// Text as a filled outline, measured and placed by its ink rather than by the
// font's line metrics.
namespace artwork_text
{
// The outline of text set in typeface, scaled so that the ink of a capital
// "H" is capHeight pixels tall, with extra tracking between letters.
juce::Path outline(const juce::Typeface::Ptr& typeface, const juce::String& text, float capHeight,
                   float tracking = 0.0f);

// Moves the path so that its ink starts at (left, top).
juce::Path placed(juce::Path path, float left, float top);

// Moves the path so that its ink starts at left and its baseline lies on baseline.
juce::Path placedOnBaseline(juce::Path path, float left, float baseline);

// Tracking that makes the ink of text exactly width pixels wide at capHeight.
float trackingForWidth(const juce::Typeface::Ptr& typeface, const juce::String& text, float capHeight, float width);
}  // namespace artwork_text
