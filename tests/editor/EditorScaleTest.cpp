// Where the window's scale comes from (the user's remembered choice, the
// host's factor, the desktop's), and what the window draws at a scale: at 1x
// the 1x pictures as they are, at 2x the 2x pictures one pixel per pixel, at
// 1.5x a window of the scaled size drawn from the finer pictures.
#include "EditorScale.h"
#include "EditorContainer.h"
#include "MessageLoop.h"
#include "ScopedConfigHome.h"
#include "UserScaleSetting.h"
#include "VarnokeAudioProcessor.h"
#include "VarnokeAudioProcessorEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

using namespace varnoke;

namespace
{
struct XResourcesCase
{
    const char* resources;
    std::optional<float> factor;
};

class XftDpi : public ::testing::TestWithParam<XResourcesCase>
{
};

TEST_P(XftDpi, GivesTheDesktopFactor)
{
    EXPECT_EQ(GetParam().factor, editor_scale::factorFromXResources(GetParam().resources));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XftDpi,
    ::testing::Values(XResourcesCase{"Xft.dpi:\t192\n", 2.0f},
                      XResourcesCase{"Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n", 1.5f},
                      XResourcesCase{"Xft.dpi: 96", 1.0f}, XResourcesCase{"Xft.dpi: 48", 1.0f},  // below 1x: 1x
                      XResourcesCase{"Xft.dpi: 960", 3.0f},                                      // above 3x: 3x
                      XResourcesCase{"", std::nullopt}, XResourcesCase{"Xcursor.size: 48\n", std::nullopt},
                      XResourcesCase{"Xft.dpis: 192", std::nullopt}, XResourcesCase{"Xft.dpi: many", std::nullopt},
                      XResourcesCase{"Xft.dpi: 0", std::nullopt}, XResourcesCase{"Xft.dpi: -192", std::nullopt}));

struct GdkScaleCase
{
    const char* text;
    std::optional<float> factor;
};

class GdkScale : public ::testing::TestWithParam<GdkScaleCase>
{
};

TEST_P(GdkScale, GivesTheDesktopFactor)
{
    EXPECT_EQ(GetParam().factor, editor_scale::factorFromGdkScale(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Cases, GdkScale,
                         ::testing::Values(GdkScaleCase{"2", 2.0f}, GdkScaleCase{" 1.5\n", 1.5f},
                                           GdkScaleCase{"1", 1.0f}, GdkScaleCase{"4", 3.0f},
                                           GdkScaleCase{"", std::nullopt}, GdkScaleCase{"0", std::nullopt},
                                           GdkScaleCase{"-2", std::nullopt}, GdkScaleCase{"two", std::nullopt}));

TEST(EditorScaleClamp, KeepsFactorsBetweenOneAndThree)
{
    const std::pair<float, float> cases[] = {{1.0f, 1.0f},
                                             {1.25f, 1.25f},
                                             {3.0f, 3.0f},
                                             {0.5f, 1.0f},
                                             {0.0f, 1.0f},
                                             {-2.0f, 1.0f},
                                             {7.0f, 3.0f},
                                             {std::numeric_limits<float>::infinity(), 3.0f},
                                             {std::numeric_limits<float>::quiet_NaN(), 1.0f}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(out, editor_scale::clamp(in)) << in;
}

//==============================================================================
TEST(UserScaleSetting, IsWrittenUnderXdgConfigHomeAndReadBack)
{
    const ScopedConfigHome home;
    EXPECT_EQ(home.settingsFile(), user_scale_setting::file());
    EXPECT_EQ(std::nullopt, user_scale_setting::read());

    ASSERT_TRUE(user_scale_setting::write(1.5f));
    EXPECT_TRUE(home.settingsFile().existsAsFile());
    EXPECT_EQ(std::optional<float>(1.5f), user_scale_setting::read());

    ASSERT_TRUE(user_scale_setting::write(2.0f));
    EXPECT_EQ(std::optional<float>(2.0f), user_scale_setting::read());

    ASSERT_TRUE(user_scale_setting::write(std::nullopt));
    EXPECT_EQ(std::nullopt, user_scale_setting::read());
}

TEST(UserScaleSetting, ADamagedOrStrangeFileGivesNoChoiceOrALimitedOne)
{
    const ScopedConfigHome home;
    const std::pair<const char*, std::optional<float>> cases[] = {
        {"\x01\x02 not a settings file", std::nullopt},
        {"<?xml version=\"1.0\"?><PROPERTIES><VALUE name=\"windowScale\" val=\"NaN\"/></PROPERTIES>", std::nullopt},
        {"<?xml version=\"1.0\"?><PROPERTIES><VALUE name=\"windowScale\" val=\"-1\"/></PROPERTIES>", std::nullopt},
        {"<?xml version=\"1.0\"?><PROPERTIES><VALUE name=\"windowScale\" val=\"12\"/></PROPERTIES>", 3.0f},
        {"<?xml version=\"1.0\"?><PROPERTIES><VALUE name=\"windowScale\" val=\"1.5\"/></PROPERTIES>", 1.5f},
    };
    for (const auto& [content, expected] : cases)
    {
        home.settingsFile().getParentDirectory().createDirectory();
        ASSERT_TRUE(home.settingsFile().replaceWithText(content));
        EXPECT_EQ(expected, user_scale_setting::read()) << content;
    }
}

TEST(UserScaleSetting, ARelativeXdgConfigHomeIsIgnored)
{
    const ScopedConfigHome home;
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(
        juce::File::getSpecialLocation(juce::File::userHomeDirectory).getChildFile(".config/Varnoke/Varnoke.settings"),
        user_scale_setting::file());
}

// The user's choice, else the host's factor, else the desktop's.
TEST(EditorScalePrecedence, UserChoiceThenHostThenDesktop)
{
    struct Case
    {
        std::optional<float> user;
        std::optional<float> host;
        std::optional<std::string> gdkScale;
        float expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, 1.0f},  // a bare X server has no Xft.dpi
        {std::nullopt, std::nullopt, "2", 2.0f},
        {std::nullopt, 1.5f, "2", 1.5f},
        {std::nullopt, 5.0f, std::nullopt, 3.0f},
        {2.0f, 1.5f, "3", 2.0f},
        {1.0f, 2.0f, "2", 1.0f},
    };
    const juce::ScopedJuceInitialiser_GUI gui;
    for (const auto& c : cases)
    {
        const ScopedConfigHome home(c.gdkScale);
        if (c.user.has_value())
        {
            ASSERT_TRUE(user_scale_setting::write(*c.user));
        }
        EXPECT_EQ(c.expected, editor_scale::forNewWindow(c.host))
            << "user " << c.user.value_or(0) << ", host " << c.host.value_or(0) << ", GDK_SCALE "
            << c.gdkScale.value_or("unset");
    }
}

//==============================================================================
struct SizeRecorder : EditorHostLink
{
    void editorSizeChanged(int width, int height) override { sizes.emplace_back(width, height); }
    void editorRepainted() override {}
    std::vector<std::pair<int, int>> sizes;
};

juce::Image readResource(const char* name)
{
    return juce::ImageFileFormat::loadFrom(juce::File(VARNOKE_RESOURCES_DIR).getChildFile(name));
}

// Parts of the window where no knob lies: the picture shows as it is there.
const juce::Rectangle<int> backgroundAreas[] = {{0, 0, 270, 13},   {0, 13, 13, 48},   {69, 13, 23, 48},
                                                {148, 13, 35, 48}, {239, 13, 31, 48}, {0, 61, 270, 38},
                                                {270, 0, 150, 99}};
const juce::Rectangle<int> knobAreas[] = {{13, 13, 56, 48}, {92, 13, 56, 48}, {183, 13, 56, 48}};

// Pixels of the window that differ in any bit from the picture (composed over
// black, as the opaque window shows it) inside area, in the picture's pixels.
int differingPixels(const juce::Image& window, const juce::Image& picture, juce::Rectangle<int> area)
{
    int differing = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto shown = window.getPixelAt(x, y);
            const auto drawn = juce::Colours::black.overlaidWith(picture.getPixelAt(x, y));
            if (shown.getRed() != drawn.getRed() || shown.getGreen() != drawn.getGreen() ||
                shown.getBlue() != drawn.getBlue())
                ++differing;
        }
    return differing;
}

// How much the brightness changes from pixel to pixel inside area: a picture
// enlarged from a coarser one changes more gently than one drawn finely.
double edgeEnergy(const juce::Image& image, juce::Rectangle<int> area)
{
    double sum = 0.0;
    for (int y = area.getY(); y < area.getBottom() - 1; ++y)
        for (int x = area.getX(); x < area.getRight() - 1; ++x)
        {
            const float here = image.getPixelAt(x, y).getBrightness();
            sum += std::abs(image.getPixelAt(x + 1, y).getBrightness() - here) +
                   std::abs(image.getPixelAt(x, y + 1).getBrightness() - here);
        }
    return sum;
}

void saveArtifact(const juce::Image& image, const juce::String& name)
{
    const juce::File directory(VARNOKE_TEST_ARTIFACTS_DIR);
    directory.createDirectory();
    const juce::File file = directory.getChildFile(name);
    file.deleteFile();
    juce::FileOutputStream stream(file);
    juce::PNGImageFormat().writeImageToStream(image, stream);
}

class ScaledWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VarnokeAudioProcessorEditor::installFactory(processor);
        processor.setParameter(0, 0.25f);
        processor.setParameter(1, 0.6f);
        processor.setParameter(2, 0.5f);
    }

    EditorContainer& open(std::optional<float> hostFactor)
    {
        container = std::make_unique<EditorContainer>(
            std::unique_ptr<juce::AudioProcessorEditor>(processor.createEditorIfNeeded()), link);
        container->followScale(hostFactor);
        message_loop::runPending();
        return *container;
    }

    juce::Image picture() { return container->createComponentSnapshot(container->getLocalBounds(), true, 1.0f); }

    void TearDown() override { container.reset(); }

    ScopedConfigHome home;
    juce::ScopedJuceInitialiser_GUI gui;
    VarnokeAudioProcessor processor;
    SizeRecorder link;
    std::unique_ptr<EditorContainer> container;
};

TEST_F(ScaledWindow, AtOneTimesShowsTheOneTimesPictureAsItIs)
{
    open(1.0f);
    ASSERT_EQ(juce::Rectangle<int>(0, 0, 420, 99), container->getLocalBounds());
    const juce::Image shown = picture();
    saveArtifact(shown, "editor-scale-1x.png");
    const juce::Image background = readResource("background.png");
    for (const auto& area : backgroundAreas)
        EXPECT_EQ(0, differingPixels(shown, background, area)) << area.toString();
    // The same window with no container and no scale: today's pixels.
    std::unique_ptr<juce::AudioProcessorEditor> bare(new VarnokeAudioProcessorEditor(&processor));
    message_loop::runPending();
    const juce::Image unscaled = bare->createComponentSnapshot(bare->getLocalBounds(), true, 1.0f);
    bare.reset();
    EXPECT_EQ(0, differingPixels(shown, unscaled, {0, 0, 420, 99}));
}

TEST_F(ScaledWindow, AtTwoTimesShowsTheTwoTimesPicturePixelForPixel)
{
    open(2.0f);
    ASSERT_EQ(juce::Rectangle<int>(0, 0, 840, 198), container->getLocalBounds());
    const juce::Image shown = picture();
    saveArtifact(shown, "editor-scale-2x.png");
    const juce::Image background = readResource("background_2x.png");
    ASSERT_EQ(840, background.getWidth());
    for (const auto& area : backgroundAreas)
        EXPECT_EQ(0, differingPixels(shown, background, area * 2)) << area.toString();

    // The knobs come from the 2x strip: finer than the 1x window enlarged.
    container->setScaleFactor(1.0f);
    const juce::Image enlarged =
        picture().rescaled(840, 198, juce::Graphics::highResamplingQuality).convertedToFormat(juce::Image::ARGB);
    for (const auto& knob : knobAreas)
    {
        const double fine = edgeEnergy(shown, knob * 2), coarse = edgeEnergy(enlarged, knob * 2);
        EXPECT_GT(fine, 1.3 * coarse) << knob.toString();
        std::cout << "knob at " << knob.toString() << ": 2x edge energy " << fine << ", enlarged 1x " << coarse << "\n";
    }
}

TEST_F(ScaledWindow, AtOneAndAHalfCoversTheScaledSize)
{
    open(1.5f);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 630, 149), container->getLocalBounds());
    saveArtifact(picture(), "editor-scale-1.5x.png");
}

// A container not yet shown resizes without telling the host; the user's
// choice wins over the host's factor, and forgetting it follows the host again.
TEST_F(ScaledWindow, FollowsTheHostUnlessTheUserChose)
{
    open(std::nullopt);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 420, 99), container->getLocalBounds());
    container->hostScaleChanged(2.0f);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 840, 198), container->getLocalBounds());

    ASSERT_TRUE(user_scale_setting::write(1.5f));
    container->userChoseScale(1.5f);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 630, 149), container->getLocalBounds());
    container->hostScaleChanged(1.0f);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 630, 149), container->getLocalBounds());

    ASSERT_TRUE(user_scale_setting::write(std::nullopt));
    container->userChoseScale(0.0f);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 420, 99), container->getLocalBounds());
    EXPECT_TRUE(link.sizes.empty());

    // The knobs still sit where the pointer finds them at the new scale.
    container->setScaleFactor(2.0f);
    container->setVisible(true);
    auto* knob = container->getComponentAt(juce::Point<int>(2 * 41, 2 * 37));
    ASSERT_NE(nullptr, knob);
    EXPECT_EQ(juce::String("low"), knob->getName());
}
}  // namespace
