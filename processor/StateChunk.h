#pragma once

#include <juce_core/juce_core.h>

#include <optional>

// The saved state: "VC2!", a 32-bit little-endian text length, a one-line XML
// element <pushState low_contour=".." process=".." output_g=".."/> and a zero
// byte. The bytes are fixed (hosts keep them in projects), so they are written
// here by hand rather than by JUCE's XML writer.
namespace varnoke::state_chunk
{
struct Values
{
    float lowContour = 0.0f;
    float process = 0.0f;
    float output = 0.0f;
};

constexpr juce::uint32 magic = 0x21324356;  // "VC2!" in little-endian byte order

// Replaces the block's content with the chunk for these values.
void write(const Values& values, juce::MemoryBlock& destination);

// The values a chunk carries, or nothing when the chunk is too short, has the
// wrong magic, a non-positive length, or text that yields no XML element.
// Text beyond the reader's limits (64 KiB, 1024 entity references, 1024
// attributes) is refused unread, so any chunk is read in linear time.
// Text the XML parser is not safe with is not parsed at all: more than 256 '<'
// characters (it recurses once per nested element on the host's stack), a
// document type (entities), or a processing instruction after the XML
// declaration (it loops forever on one followed by text inside an element).
std::optional<Values> read(const void* data, int sizeInBytes);

// A double as the chunk writes it: C's "%.20g" (20 significant digits,
// trailing zeros dropped) with "." whatever the locale.
juce::String formatNumber(double value);

// An attribute text as a double: leading white space skipped, then as much of
// a number as there is; 0.0 when the text does not begin with a number.
double parseNumber(const juce::String& text);
}  // namespace varnoke::state_chunk
