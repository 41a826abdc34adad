// The window of the VST3 and LV2 plug-ins, each opened the way its hosts open
// it, compared pixel for pixel with the VST 2.4 plug-in's window at the same
// settings: it opens, paints, follows the host's parameter changes, closes and
// opens again. Needs an X display (the test command provides one); the
// screenshots land in the test artifacts.

// JUCE before Xlib, whose macros its headers do not survive.
#include <juce_audio_processors/juce_audio_processors.h>

#include "FormatTestSupport.h"
#include "Lv2Host.h"
#include "ProductIdentity.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"

#include <lv2/ui/ui.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Side by side: a window grab shows only what is not covered.
const PixelRect vst2WindowBounds{0, 0, 440, 120};
const PixelRect formatWindowBounds{0, 200, 440, 120};
const PixelRect editorArea{0, 0, 420, 99};

bool same(const RgbImage& a, const RgbImage& b)
{
    return a.getWidth() == b.getWidth() && a.getHeight() == b.getHeight() &&
           compareImages(a, b, {0, 0, editorArea.width, editorArea.height}, 0).differingPixels == 0;
}

// Lets the host drive the editor until the window shows a picture that
// satisfies the condition (or ten seconds pass), and answers the last picture.
RgbImage idleUntil(const X11HostWindow& window, const std::function<void()>& idle,
                   const std::function<bool(const RgbImage&)>& condition)
{
    RgbImage shown;
    const auto end = Clock::now() + 10s;
    do
    {
        idle();
        std::this_thread::sleep_for(20ms);
        shown = window.grab(editorArea);
    } while (!condition(shown) && Clock::now() < end);
    return shown;
}

RgbImage idleUntilShowing(const X11HostWindow& window, const std::function<void()>& idle, const RgbImage& expected,
                          int tolerance = 0)
{
    return idleUntil(window, idle,
                     [&](const RgbImage& shown)
                     {
                         return shown.getWidth() == expected.getWidth() &&
                                compareImages(shown, expected, {0, 0, editorArea.width, editorArea.height}, tolerance)
                                        .differingPixels == 0;
                     });
}

// The first paint is the same to the pixel. After the host turns a knob, a few
// dozen of the knob's smoothed edge pixels may come out one step apart: a
// window repaints the knob alone or more of itself, depending on what else
// asked for a repaint, and the edges round differently.
constexpr int repaintRounding = 1;

// Until the window has painted the wood (its name panel is never covered by a
// knob) and two pictures in a row differ from the one before the change.
RgbImage idleUntilSettled(const X11HostWindow& window, const std::function<void()>& idle, const RgbImage& before)
{
    static const RgbImage background = RgbImage::readPng(VARNOKE_BACKGROUND_PNG);
    const PixelRect namePanel{270, 0, 150, 99};
    RgbImage previous;
    return idleUntil(window, idle,
                     [&](const RgbImage& shown)
                     {
                         const bool painted = compareImages(shown.crop(namePanel), background.crop(namePanel),
                                                            {0, 0, namePanel.width, namePanel.height}, 0)
                                                  .differingPixels == 0;
                         const bool settled = painted && !same(shown, before) && same(shown, previous);
                         previous = shown;
                         return settled;
                     });
}

::testing::AssertionResult samePixels(const RgbImage& expected, const RgbImage& actual, int tolerance = 0)
{
    if (actual.getWidth() != expected.getWidth() || actual.getHeight() != expected.getHeight())
        return ::testing::AssertionFailure() << "the window grab failed";
    const auto difference = compareImages(expected, actual, {0, 0, editorArea.width, editorArea.height}, tolerance);
    if (difference.differingPixels == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << difference.differingPixels << " pixels differ, by up to "
                                         << difference.largestChannelDifference;
}

class FormatEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "needs an X display";
        vst2Window = openWindow(vst2WindowBounds);
        formatWindow = openWindow(formatWindowBounds);
        ASSERT_TRUE(vst2Window != nullptr && formatWindow != nullptr);
    }

    static std::unique_ptr<X11HostWindow> openWindow(const PixelRect& bounds)
    {
        std::string whyNot;
        auto window = X11HostWindow::open(bounds, whyNot);
        EXPECT_NE(nullptr, window) << whyNot;
        return window;
    }

    // The VST 2.4 plug-in's window at these settings, then after the host moved Process.
    std::pair<RgbImage, RgbImage> vst2Pictures(const KnobSettings& knobs, float processLater)
    {
        auto instance = vst2.instanceWith(knobs);
        EXPECT_NE(nullptr, instance);
        if (instance == nullptr)
            return {};
        EXPECT_EQ(1, instance->dispatch(effEditOpen, 0, 0, vst2Window->getNativeHandle()));
        const auto idle = [&] { instance->dispatch(effEditIdle); };
        auto first = idleUntilSettled(*vst2Window, idle, {});
        instance->setParameter(1, processLater);
        auto second = idleUntilSettled(*vst2Window, idle, first);
        instance->dispatch(effEditClose);
        return {first, second};
    }

    std::unique_ptr<X11HostWindow> vst2Window, formatWindow;
    Vst2Reference vst2;
    const KnobSettings knobs{0.3f, 0.6f, 0.8f};
    const float processLater = 0.1f;
};

TEST_F(FormatEditorTest, Vst3WindowMatchesTheVst2WindowAndFollowsTheHost)
{
    const auto [vst2Before, vst2After] = vst2Pictures(knobs, processLater);
    saveArtifact(vst2Before, "editor-vst2.png");

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile(types, VARNOKE_VST3_BUNDLE);
    ASSERT_EQ(1, types.size());
    juce::String error;
    auto instance = format.createInstanceFromDescription(*types[0], 48000.0, 512, error);
    ASSERT_NE(nullptr, instance) << error;
    auto parameters = instance->getParameters();
    parameters[0]->setValue(knobs.lowContour);
    parameters[1]->setValue(knobs.process);
    parameters[2]->setValue(knobs.output);

    const auto idle = [] { juce::MessageManager::getInstance()->runDispatchLoopUntil(20); };
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round == 0 ? "first opening" : "opened again");
        std::unique_ptr<juce::AudioProcessorEditor> editor(instance->createEditor());
        ASSERT_NE(nullptr, editor);
        EXPECT_EQ(editorArea.width, editor->getWidth());
        EXPECT_EQ(editorArea.height, editor->getHeight());
        editor->setVisible(true);
        editor->addToDesktop(0, formatWindow->getNativeHandle());

        const auto shown = idleUntilShowing(*formatWindow, idle, vst2Before);
        EXPECT_TRUE(samePixels(vst2Before, shown));
        if (round == 0)
            saveArtifact(shown, "editor-vst3.png");

        parameters[1]->setValue(processLater);  // automation from the host
        const auto after = idleUntilShowing(*formatWindow, idle, vst2After, repaintRounding);
        EXPECT_TRUE(samePixels(vst2After, after, repaintRounding));
        if (round == 0)
        {
            saveArtifact(vst2After, "editor-vst2-after-automation.png");
            saveArtifact(after, "editor-vst3-after-automation.png");
        }
        parameters[1]->setValue(knobs.process);

        editor.reset();
        idle();
        EXPECT_EQ(std::vector<Window>{}, formatWindow->queryChildren());
    }
}

// The UI sees no plug-in instance: it shows what the host reports of the
// control ports (port_event), as LV2 hosts report them when the UI opens and
// whenever a port changes.
TEST_F(FormatEditorTest, Lv2UiMatchesTheVst2WindowAndFollowsTheHost)
{
    const auto [vst2Before, vst2After] = vst2Pictures(knobs, processLater);

    const std::string uri = product::lv2Uri;
    const std::string binary = std::string(VARNOKE_LV2_BUNDLE) + "/Varnoke.so";
    void* library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << dlerror();
    const auto uiDescriptorOf =
        reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(nullptr, uiDescriptorOf);
    const LV2UI_Descriptor* descriptor = uiDescriptorOf(0);
    ASSERT_NE(nullptr, descriptor);
    EXPECT_EQ(uri + ":UI", descriptor->URI);

    const LV2_Feature parentFeature{LV2_UI__parent, formatWindow->getNativeHandle()};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    const LV2_Feature* features[] = {&parentFeature, &idleFeature, nullptr};
    const auto* idleInterface =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(nullptr, idleInterface);
    const auto write = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
    const auto report = [&](LV2UI_Handle ui, uint32_t port, float value)
    { descriptor->port_event(ui, port, sizeof value, 0, &value); };
    constexpr uint32_t lowContourPort = 4, processPort = 5, outputPort = 6;

    const std::string bundle = std::string(VARNOKE_LV2_BUNDLE) + "/";
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round == 0 ? "first opening" : "opened again");
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle ui =
            descriptor->instantiate(descriptor, uri.c_str(), bundle.c_str(), write, nullptr, &widget, features);
        ASSERT_NE(nullptr, ui);
        const auto idle = [&] { idleInterface->idle(ui); };
        report(ui, lowContourPort, knobs.lowContour);
        report(ui, processPort, knobs.process);
        report(ui, outputPort, knobs.output);

        const auto shown = idleUntilShowing(*formatWindow, idle, vst2Before);
        EXPECT_TRUE(samePixels(vst2Before, shown));
        if (round == 0)
            saveArtifact(shown, "editor-lv2.png");

        report(ui, processPort, processLater);  // automation from the host
        EXPECT_TRUE(
            samePixels(vst2After, idleUntilShowing(*formatWindow, idle, vst2After, repaintRounding), repaintRounding));

        descriptor->cleanup(ui);
        EXPECT_EQ(std::vector<Window>{}, formatWindow->queryChildren());
    }
    dlclose(library);
}
}  // namespace
}  // namespace varnoke::test
