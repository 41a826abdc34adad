#include "LookAndFeelVarnoke.h"

#include <BinaryData.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

using namespace varnoke;

namespace
{
constexpr int canvasOrigin = 20;  // room for destinations left of or above the knob

// A filmstrip whose frames are solid, distinct colours: the colour drawn tells
// the frame. It is put into the image cache under the embedded strip's key, so
// drawRotarySlider picks it up exactly as it picks up the real one.
class SyntheticStrip
{
public:
    SyntheticStrip(int width, int height)
        : image(juce::Image::ARGB, width, height, true, juce::SoftwareImageType())
    {
        juce::Graphics g(image);
        for (int frame = 0; width > 0 && frame * width < height; ++frame)
        {
            g.setColour(colourOf(frame));
            g.fillRect(0, frame * width, width, width);
        }
        juce::ImageCache::releaseUnusedImages();
        juce::ImageCache::addImageToCache(image, cacheKey());
    }

    ~SyntheticStrip()
    {
        image = {};
        juce::ImageCache::releaseUnusedImages();
    }

    static juce::Colour colourOf(int frame)
    {
        return juce::Colour(static_cast<juce::uint8>(8 * frame), 100, static_cast<juce::uint8>(200 - 5 * frame));
    }

    static int frameOf(juce::Colour colour) { return colour.getRed() / 8; }

private:
    static juce::int64 cacheKey()
    {
        return static_cast<juce::int64>(reinterpret_cast<juce::pointer_sized_int>(BinaryData::knobstrip_png));
    }

    juce::Image image;
};

struct Drawing
{
    juce::Rectangle<int> square;  // in knob coordinates; empty when nothing was drawn
    std::optional<int> frame;     // read from the square's centre
};

Drawing drawKnob(juce::Slider& slider, juce::Rectangle<int> area)
{
    juce::Image canvas(juce::Image::ARGB, 120, 120, true, juce::SoftwareImageType());
    {
        juce::Graphics g(canvas);
        g.setOrigin(canvasOrigin, canvasOrigin);
        LookAndFeelVarnoke lookAndFeel;
        lookAndFeel.drawRotarySlider(g, area.getX(), area.getY(), area.getWidth(), area.getHeight(), 0.5f,
                                     slider.getRotaryParameters().startAngleRadians,
                                     slider.getRotaryParameters().endAngleRadians, slider);
    }

    juce::Rectangle<int> painted;
    for (int y = 0; y < canvas.getHeight(); ++y)
        for (int x = 0; x < canvas.getWidth(); ++x)
            if (canvas.getPixelAt(x, y).getAlpha() != 0)
                painted = painted.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1)
                                            : painted.getUnion(juce::Rectangle<int>(x, y, 1, 1));

    Drawing drawing{painted.translated(-canvasOrigin, -canvasOrigin), std::nullopt};
    if (!painted.isEmpty())
        drawing.frame = SyntheticStrip::frameOf(canvas.getPixelAt(painted.getCentreX(), painted.getCentreY()));
    return drawing;
}

std::unique_ptr<juce::Slider> makeKnob(double minimum, double maximum, double value)
{
    auto knob = std::make_unique<juce::Slider>();
    knob->setSliderStyle(juce::Slider::Rotary);
    knob->setRange(minimum, maximum, 0.0);
    knob->setValue(value, juce::dontSendNotification);
    return knob;
}

class KnobLookAndFeel : public ::testing::Test
{
protected:
    juce::ScopedJuceInitialiser_GUI gui;
};

struct FrameCase
{
    int stripHeight;  // of a 70 px wide strip
    double minimum, maximum, value;
    int expectedFrame;
};

void PrintTo(const FrameCase& c, std::ostream* os)
{
    *os << "70x" << c.stripHeight << " strip, " << c.minimum << ".." << c.maximum << " at " << c.value;
}

class FrameChoice : public KnobLookAndFeel, public ::testing::WithParamInterface<FrameCase>
{
};

// The frame is the ceiling of the value's fraction of the range times (frames - 1).
TEST_P(FrameChoice, FollowsTheValueWithinTheRange)
{
    const FrameCase& c = GetParam();
    SyntheticStrip strip(70, c.stripHeight);
    auto knob = makeKnob(c.minimum, c.maximum, c.value);
    EXPECT_EQ(c.expectedFrame, drawKnob(*knob, {0, 0, 56, 48}).frame);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameChoice,
    ::testing::Values(FrameCase{2170, 0.0, 10.0, 0.0, 0}, FrameCase{2170, 0.0, 10.0, 0.001, 1},
                      FrameCase{2170, 0.0, 10.0, 1.0 / 3.0, 1}, FrameCase{2170, 0.0, 10.0, 0.34, 2},
                      FrameCase{2170, 0.0, 10.0, 2.0, 6},
                      FrameCase{2170, 0.0, 10.0, 10.0 / 3.0, 11},  // 10.000000000000002 frames: the next one
                      FrameCase{2170, 0.0, 10.0, 5.0, 15}, FrameCase{2170, 0.0, 10.0, 9.6, 29},
                      FrameCase{2170, 0.0, 10.0, 9.99, 30}, FrameCase{2170, 0.0, 10.0, 10.0, 30},
                      FrameCase{2170, -5.0, 5.0, 0.0, 15},  // mapped between the limits, not from zero
                      FrameCase{2170, 100.0, 200.0, 100.0, 0},
                      // Another number of frames, taken from height / width.
                      FrameCase{350, 0.0, 10.0, 0.0, 0}, FrameCase{350, 0.0, 10.0, 0.1, 1},
                      FrameCase{350, 0.0, 10.0, 2.5, 1}, FrameCase{350, 0.0, 10.0, 2.6, 2},
                      FrameCase{350, 0.0, 10.0, 10.0, 4},
                      FrameCase{2200, 0.0, 10.0, 10.0, 30}));  // a partial frame at the bottom is never used

// Only value, minimum and maximum count: not the drag angles, not the skew.
TEST_F(KnobLookAndFeel, FrameIgnoresRotaryAnglesAndSkew)
{
    SyntheticStrip strip(70, 2170);
    auto knob = makeKnob(0.0, 10.0, 5.0);
    knob->setRotaryParameters(0.0f, 1.0f, true);
    knob->setSkewFactor(0.3);
    EXPECT_EQ(15, drawKnob(*knob, {0, 0, 56, 48}).frame);
}

struct SquareCase
{
    juce::Rectangle<int> area;
    juce::Rectangle<int> expectedSquare;
};

void PrintTo(const SquareCase& c, std::ostream* os)
{
    *os << "area " << c.area.toString();
}

class DestinationSquare : public KnobLookAndFeel, public ::testing::WithParamInterface<SquareCase>
{
};

// A square of twice the truncated radius, one pixel up and left of centred,
// its corner truncated toward zero.
TEST_P(DestinationSquare, SitsOnePixelUpAndLeftOfCentre)
{
    const SquareCase& c = GetParam();
    SyntheticStrip strip(70, 2170);
    auto knob = makeKnob(0.0, 10.0, 5.0);
    const Drawing drawing = drawKnob(*knob, c.area);
    EXPECT_EQ(c.expectedSquare, drawing.square);
    EXPECT_EQ(15, drawing.frame);
}

INSTANTIATE_TEST_SUITE_P(Cases, DestinationSquare,
                         ::testing::Values(SquareCase{{0, 0, 56, 48}, {3, -1, 48, 48}},
                                           SquareCase{{0, 0, 48, 56}, {-1, 3, 48, 48}},
                                           SquareCase{{0, 0, 48, 49}, {-1, 0, 48, 48}},  // -0.5 truncates to 0
                                           SquareCase{{0, 0, 57, 49}, {3, -1, 48, 48}},  // radius 24.5 draws 48
                                           SquareCase{{2, 5, 30, 31}, {1, 4, 30, 30}}));

// Every pixel of the square shows the chosen frame: no neighbouring frame bleeds in.
TEST_F(KnobLookAndFeel, DrawsExactlyOneFrameScaledIntoTheSquare)
{
    SyntheticStrip strip(70, 2170);
    auto knob = makeKnob(0.0, 10.0, 2.0);
    juce::Image canvas(juce::Image::ARGB, 56, 48, true, juce::SoftwareImageType());
    {
        juce::Graphics g(canvas);
        LookAndFeelVarnoke lookAndFeel;
        lookAndFeel.drawRotarySlider(g, 0, 0, 56, 48, 0.0f, 0.0f, 1.0f, *knob);
    }
    for (int y = 0; y < 47; ++y)
        for (int x = 3; x < 51; ++x)
            ASSERT_EQ(SyntheticStrip::colourOf(6), canvas.getPixelAt(x, y)) << x << ", " << y;
}

TEST_F(KnobLookAndFeel, DrawsNothingForAStripShorterThanOneFrame)
{
    SyntheticStrip strip(70, 50);
    auto knob = makeKnob(0.0, 10.0, 5.0);
    EXPECT_TRUE(drawKnob(*knob, {0, 0, 56, 48}).square.isEmpty());
}

// With the embedded strip: the knob body lands centred in the square.
TEST_F(KnobLookAndFeel, DrawsTheEmbeddedStrip)
{
    auto knob = makeKnob(0.0, 10.0, 5.0);
    juce::Image canvas(juce::Image::ARGB, 56, 48, true, juce::SoftwareImageType());
    {
        juce::Graphics g(canvas);
        LookAndFeelVarnoke lookAndFeel;
        lookAndFeel.drawRotarySlider(g, 0, 0, 56, 48, 0.0f, 0.0f, 1.0f, *knob);
    }
    EXPECT_EQ(255, canvas.getPixelAt(26, 23).getAlpha()) << "body at the square's centre";
    EXPECT_EQ(0, canvas.getPixelAt(0, 0).getAlpha());
    EXPECT_EQ(0, canvas.getPixelAt(55, 47).getAlpha());
}
}  // namespace
