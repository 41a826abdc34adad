#include <BinaryData.h>

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
constexpr int frameSize = 70;

struct Embedded
{
    const char* name;
    const char* data;
    int size;
    int width, height;
};

const Embedded images[] = {{"background.png", BinaryData::background_png, BinaryData::background_pngSize, 420, 100},
                           {"knobstrip.png", BinaryData::knobstrip_png, BinaryData::knobstrip_pngSize, 70, 2170}};

std::uint32_t bigEndian32(const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

juce::Image decode(const Embedded& image)
{
    return juce::ImageFileFormat::loadFrom(image.data, static_cast<size_t>(image.size));
}

juce::Image knobFrame(int frame)
{
    return decode(images[1]).getClippedImage({0, frame * frameSize, frameSize, frameSize});
}

// The header bytes say what the decoder won't: colour type and interlacing.
TEST(EmbeddedImages, AreTheCommittedFilesAsEightBitRgbaWithoutInterlace)
{
    for (const auto& image : images)
    {
        SCOPED_TRACE(image.name);
        const juce::File file = juce::File(VARNOKE_RESOURCES_DIR).getChildFile(image.name);
        juce::MemoryBlock onDisk;
        ASSERT_TRUE(file.loadFileAsData(onDisk));
        EXPECT_EQ(juce::MemoryBlock(image.data, static_cast<size_t>(image.size)), onDisk);

        ASSERT_GT(image.size, 33);
        EXPECT_EQ(0, std::memcmp(image.data, "\x89PNG\r\n\x1a\n", 8));
        EXPECT_EQ(0, std::memcmp(image.data + 12, "IHDR", 4));
        EXPECT_EQ(static_cast<std::uint32_t>(image.width), bigEndian32(image.data + 16));
        EXPECT_EQ(static_cast<std::uint32_t>(image.height), bigEndian32(image.data + 20));
        EXPECT_EQ(8, image.data[24]) << "bit depth";
        EXPECT_EQ(6, image.data[25]) << "colour type (RGBA)";
        EXPECT_EQ(0, image.data[28]) << "interlace method";

        const juce::Image decoded = decode(image);
        EXPECT_EQ(image.width, decoded.getWidth());
        EXPECT_EQ(image.height, decoded.getHeight());
        EXPECT_TRUE(decoded.hasAlphaChannel());
    }
}

// The 420 x 99 window must show no transparent pixel; the last row lies outside it.
TEST(EmbeddedImages, BackgroundIsOpaqueExceptItsLastRow)
{
    const juce::Image background = decode(images[0]);
    int translucentInWindow = 0, visibleInLastRow = 0;
    for (int y = 0; y < background.getHeight(); ++y)
        for (int x = 0; x < background.getWidth(); ++x)
        {
            const auto alpha = background.getPixelAt(x, y).getAlpha();
            if (y < 99 && alpha != 255)
                ++translucentInWindow;
            if (y == 99 && alpha != 0)
                ++visibleInLastRow;
        }
    EXPECT_EQ(0, translucentInWindow);
    EXPECT_EQ(0, visibleInLastRow);
}

TEST(EmbeddedImages, BackgroundIsWarmWoodWithABlackPanel)
{
    const juce::Image background = decode(images[0]);
    double sum[3] = {0, 0, 0};
    int count = 0;
    // Plain wood: above the labels, left of the panel, off the knob squares' rows.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 270; ++x, ++count)
        {
            const auto c = background.getPixelAt(x, y);
            sum[0] += c.getRed();
            sum[1] += c.getGreen();
            sum[2] += c.getBlue();
        }
    EXPECT_NEAR(192.0, sum[0] / count, 25.0);
    EXPECT_NEAR(127.0, sum[1] / count, 25.0);
    EXPECT_NEAR(48.0, sum[2] / count, 25.0);

    // Panel corners are black.
    for (const auto& corner : {juce::Point<int>{271, 6}, {419, 6}, {271, 88}, {419, 88}})
        EXPECT_EQ(juce::Colours::black, background.getPixelAt(corner.x, corner.y)) << corner.toString();
}

TEST(EmbeddedImages, KnobStripHoldsThirtyOneSquareFrames)
{
    const juce::Image strip = decode(images[1]);
    EXPECT_EQ(0, strip.getHeight() % strip.getWidth());
    EXPECT_EQ(31, strip.getHeight() / strip.getWidth());
}

// Each frame: a body opaque on pixels 14 to 55 across both axes, and nothing
// outside columns 11 to 59 and rows 11 to 62 (edge and shadow included).
TEST(EmbeddedImages, EveryFrameHasAnOpaqueBodyInsideTransparentMargins)
{
    for (int frame = 0; frame < 31; ++frame)
    {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const juce::Image image = knobFrame(frame);
        for (int i = 14; i <= 55; ++i)
        {
            EXPECT_EQ(255, image.getPixelAt(i, 35).getAlpha()) << "column " << i;
            EXPECT_EQ(255, image.getPixelAt(35, i).getAlpha()) << "row " << i;
        }
        int outside = 0;
        for (int y = 0; y < frameSize; ++y)
            for (int x = 0; x < frameSize; ++x)
            {
                const bool inside = x >= 11 && x <= 59 && y >= 11 && y <= 62;
                if (!inside && image.getPixelAt(x, y).getAlpha() != 0)
                    ++outside;
            }
        EXPECT_EQ(0, outside);
    }
}

// The darkest pixel around (x, y): the pointer's tick is thinner than a pixel grid cell.
float darkest(const juce::Image& image, float x, float y)
{
    float result = 1.0f;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            result =
                std::min(result, image.getPixelAt(static_cast<int>(x) + dx, static_cast<int>(y) + dy).getBrightness());
    return result;
}

// Frame k points 138 degrees anticlockwise of 12 o'clock plus 9.2 degrees per
// frame: the dark tick marks the pointing end of the white bar, the far end is white.
TEST(EmbeddedImages, PointerTurnsNinePointTwoDegreesPerFrame)
{
    for (int frame = 0; frame < 31; ++frame)
    {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const juce::Image image = knobFrame(frame);
        const float radians = juce::degreesToRadians(-138.0f + 9.2f * static_cast<float>(frame));
        const float dx = std::sin(radians), dy = -std::cos(radians);
        EXPECT_LT(darkest(image, 35.0f + 14.0f * dx, 35.0f + 14.0f * dy), 0.5f) << "tick at the pointing end";
        const auto tail = image.getPixelAt(static_cast<int>(35.0f - 14.0f * dx), static_cast<int>(35.0f - 14.0f * dy));
        EXPECT_GT(tail.getBrightness(), 0.9f) << "white bar at the other end";
    }
}
}  // namespace
