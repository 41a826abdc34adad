// The LV2 UI through the built bundle, handled with the real pointer and
// keyboard (XTEST) on an X server of the test's own: a host that offers
// ui:touch hears each touch of a knob as grabbed, then the port writes of the
// touch, then released; a host without it gets the writes alone.

#include "PrivateXServer.h"
#include "ProductIdentity.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"

#include <X11/keysym.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto idlePeriod = 30ms;
const PixelRect hostWindowBounds{0, 0, 440, 120};
const PixelRect namePanel{270, 0, 150, 99};
constexpr uint32_t outputPort = 6;

enum class Touch
{
    doubleClick,
    shiftDrag,
    wheel,
};

struct TouchCase
{
    const char* name;
    Touch touch;
    bool hostOffersTouch;
    // What the host hears: "grab", "write" (consecutive ones counted once), "release".
    std::vector<const char*> calls;
    float expectedOutput;
};

class Lv2UiTouchTest : public ::testing::TestWithParam<TouchCase>
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        server = PrivateXServer::start(whyNot);
        if (server == nullptr)
            GTEST_SKIP() << "needs Xvfb: " << whyNot;
        XSetErrorHandler(nullptr);  // Xlib's own: any X error ends the test program
        background = RgbImage::readPng(VARNOKE_BACKGROUND_PNG);
        ASSERT_FALSE(background.isEmpty());

        const std::string binary = std::string(VARNOKE_LV2_BUNDLE) + "/Varnoke.so";
        library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, library) << dlerror();
        const auto uiDescriptorOf =
            reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(nullptr, uiDescriptorOf);
        descriptor = uiDescriptorOf(0);
        ASSERT_NE(nullptr, descriptor);
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(nullptr, idleInterface);
        hostWindow = X11HostWindow::open(hostWindowBounds, whyNot);
        ASSERT_NE(nullptr, hostWindow) << whyNot;
    }

    void TearDown() override
    {
        if (ui != nullptr)
            descriptor->cleanup(ui);
        if (library != nullptr)
            dlclose(library);
        hostWindow.reset();
        server.reset();
    }

    void open(bool offerTouch)
    {
        const LV2_Feature parentFeature{LV2_UI__parent, hostWindow->getNativeHandle()};
        const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
        const LV2_Feature touchFeature{LV2_UI__touch, &touchInterface};
        std::vector<const LV2_Feature*> features{&parentFeature, &idleFeature};
        if (offerTouch)
            features.push_back(&touchFeature);
        features.push_back(nullptr);
        const std::string bundle = std::string(VARNOKE_LV2_BUNDLE) + "/";
        LV2UI_Widget widget = nullptr;
        ui =
            descriptor->instantiate(descriptor, product::lv2Uri, bundle.c_str(), write, this, &widget, features.data());
        ASSERT_NE(nullptr, ui);
    }

    void report(uint32_t port, float value) { descriptor->port_event(ui, port, sizeof value, 0, &value); }

    void idleFor(Clock::duration duration)
    {
        const auto end = Clock::now() + duration;
        do
        {
            idleInterface->idle(ui);
            std::this_thread::sleep_for(idlePeriod);
        } while (Clock::now() < end);
    }

    template <typename Done> bool idleUntil(Done&& done, Clock::duration limit = 10s)
    {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end)
        {
            idleInterface->idle(ui);
            if (done())
                return true;
            std::this_thread::sleep_for(idlePeriod);
        }
        return false;
    }

    bool showsEditor() const
    {
        return compareImages(hostWindow->grab(namePanel), background.crop(namePanel),
                             {0, 0, namePanel.width, namePanel.height}, 2)
                   .differingPixels == 0;
    }

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        auto& test = *static_cast<Lv2UiTouchTest*>(controller);
        if (format != 0 || size != sizeof(float))
            return;
        test.lastWritten = *static_cast<const float*>(buffer);
        test.record("write " + std::to_string(port));
    }

    static void touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed)
    {
        static_cast<Lv2UiTouchTest*>(handle)->record(std::string(grabbed ? "grab " : "release ") +
                                                     std::to_string(port));
    }

    void record(const std::string& call)
    {
        if (calls.empty() || calls.back() != call || call.rfind("write", 0) != 0)
            calls.push_back(call);
    }

    std::unique_ptr<PrivateXServer> server;
    std::unique_ptr<X11HostWindow> hostWindow;
    RgbImage background;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    LV2UI_Handle ui = nullptr;
    LV2UI_Touch touchInterface{this, &Lv2UiTouchTest::touch};
    std::vector<std::string> calls;
    float lastWritten = -1.0f;
};

TEST_P(Lv2UiTouchTest, EachTouchIsGrabbedWrittenAndReleased)
{
    const TouchCase& c = GetParam();
    open(c.hostOffersTouch);
    if (HasFatalFailure())
        return;
    report(outputPort, 0.25f);
    ASSERT_TRUE(idleUntil([&] { return showsEditor(); })) << "the UI never painted";
    idleFor(100ms);
    calls.clear();

    const int centreX = 183 + 28, centreY = 13 + 24;
    switch (c.touch)
    {
    case Touch::doubleClick:
        hostWindow->movePointerTo(centreX, centreY);
        idleFor(60ms);
        hostWindow->clickButton();
        hostWindow->clickButton();
        break;
    case Touch::shiftDrag:
        hostWindow->pressKey(XK_Shift_L);
        hostWindow->movePointerTo(centreX - 11, centreY - 11);
        idleFor(60ms);
        hostWindow->pressButton();
        idleFor(60ms);
        for (int step = -10; step <= 11; step += 3)
        {
            hostWindow->movePointerTo(centreX + step, centreY - 11);
            idleFor(40ms);
        }
        saveArtifact(hostWindow->grab({0, 0, 420, 99}),
                     std::string("lv2-ui-output-knob-held-") + (c.hostOffersTouch ? "touch" : "no-touch") + ".png");
        hostWindow->releaseButton();
        hostWindow->releaseKey(XK_Shift_L);
        break;
    case Touch::wheel:
        hostWindow->movePointerTo(centreX, centreY);
        idleFor(60ms);
        for (int notch = 0; notch < 3; ++notch)
        {
            hostWindow->clickButton(4);
            idleFor(40ms);
        }
        break;
    }

    const auto port = std::to_string(outputPort);
    std::vector<std::string> expected;
    for (const char* call : c.calls)
        expected.push_back(std::string(call) + " " + port);
    EXPECT_TRUE(idleUntil([&] { return calls == expected; }, 3s));
    idleFor(600ms);  // nothing more comes, also once the wheel has rested
    EXPECT_EQ(expected, calls);
    EXPECT_NEAR(c.expectedOutput, lastWritten, 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(
    Touches, Lv2UiTouchTest,
    ::testing::Values(
        TouchCase{"doubleClick", Touch::doubleClick, true, {"grab", "release", "grab", "write", "release"}, 0.5f},
        TouchCase{"shiftDrag", Touch::shiftDrag, true, {"grab", "write", "release"}, 0.25f + 0.03125f},
        TouchCase{"wheel", Touch::wheel, true, {"grab", "write", "release"}, 0.28f},
        TouchCase{"doubleClickWithoutTouch", Touch::doubleClick, false, {"write"}, 0.5f},
        TouchCase{"shiftDragWithoutTouch", Touch::shiftDrag, false, {"write"}, 0.25f + 0.03125f},
        TouchCase{"wheelWithoutTouch", Touch::wheel, false, {"write"}, 0.28f}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
}  // namespace varnoke::test
