// Varnoke.vst3's window as a Linux VST3 host shows it: an IPlugView in the
// host's X11 window, driven by the host's run loop, on an X server where no
// window manager ever ran, in a host that keeps Xlib's default error handler
// (the first X error ends the process). The host also does what hosts do
// wrong: a window id that names no window, destroying its window under the
// view, asking for a huge size, releasing the plug-in before the view.

#include "PrivateXServer.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "Vst3Host.h"
#include "X11HostWindow.h"
#include "XServerResources.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace varnoke::test::vst3
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const PixelRect hostWindowBounds{0, 0, 440, 120};
// The name panel right of the knobs shows the background picture as it is.
const PixelRect namePanel{270, 0, 150, 99};

// The host's side of a view: its frame, and its run loop, which the test
// turns by hand (timers and the plug-in's file descriptors).
class HostFrame final : public HostObject<IPlugFrame, Linux::IRunLoop>
{
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** object) override
    {
        if (answer<IPlugFrame>(iid, object, this) || answer<Linux::IRunLoop>(iid, object, this) ||
            answer<FUnknown>(iid, object, static_cast<IPlugFrame*>(this)))
            return kResultOk;
        *object = nullptr;
        return kNoInterface;
    }

    tresult PLUGIN_API resizeView(IPlugView*, ViewRect*) override { return kResultOk; }

    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) override
    {
        handlers.emplace_back(handler, fd);
        return kResultOk;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override
    {
        handlers.erase(std::remove_if(handlers.begin(), handlers.end(), [&](auto& h) { return h.first == handler; }),
                       handlers.end());
        return kResultOk;
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval) override
    {
        timers.push_back(handler);
        return kResultOk;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override
    {
        timers.erase(std::remove(timers.begin(), timers.end(), handler), timers.end());
        return kResultOk;
    }

    // One turn of the loop: file descriptors that are ready, then the timers.
    void turn()
    {
        for (const auto& [handler, fd] : std::vector(handlers))
        {
            pollfd descriptor{fd, POLLIN, 0};
            if (poll(&descriptor, 1, 0) > 0)
                handler->onFDIsSet(fd);
        }
        for (auto* timer : std::vector(timers))
            timer->onTimer();
        std::this_thread::sleep_for(20ms);
    }

    template <typename Until> bool turnUntil(Until&& done, Clock::duration limit = 10s)
    {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end)
        {
            turn();
            if (done())
                return true;
        }
        return false;
    }

    void turnFor(Clock::duration duration)
    {
        turnUntil([] { return false; }, duration);
    }

    bool hasRegistrations() const { return !handlers.empty() || !timers.empty(); }

private:
    std::vector<std::pair<Linux::IEventHandler*, Linux::FileDescriptor>> handlers;
    std::vector<Linux::ITimerHandler*> timers;
};

// What the host hears of edits in the window, in order.
class RecordingComponentHandler final : public HostObject<Vst::IComponentHandler>
{
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** object) override
    {
        if (answer<Vst::IComponentHandler>(iid, object, this) ||
            answer<FUnknown>(iid, object, static_cast<Vst::IComponentHandler*>(this)))
            return kResultOk;
        *object = nullptr;
        return kNoInterface;
    }
    tresult PLUGIN_API beginEdit(Vst::ParamID id) override { return record("begin", id); }
    tresult PLUGIN_API performEdit(Vst::ParamID id, Vst::ParamValue) override { return record("perform", id); }
    tresult PLUGIN_API endEdit(Vst::ParamID id) override { return record("end", id); }
    tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }

    // The calls with consecutive performs of one parameter counted once.
    std::vector<std::string> calls;

private:
    tresult record(const char* what, Vst::ParamID id)
    {
        const std::string call = std::string(what) + " " + std::to_string(id);
        if (calls.empty() || calls.back() != call || call.rfind("perform", 0) != 0)
            calls.push_back(call);
        return kResultOk;
    }
};

class Vst3ViewTest : public ::testing::Test
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
        hostWindow = X11HostWindow::open(hostWindowBounds, whyNot);
        ASSERT_NE(nullptr, hostWindow) << whyNot;
        module = Module::load(builtBundleLibrary(), whyNot);
        ASSERT_NE(nullptr, module) << whyNot;
        instance = std::make_unique<Instance>(*module);
        ASSERT_TRUE(instance->isComplete());
    }

    void TearDown() override
    {
        // The plug-in's display connection closes with its last instance, before the server goes.
        instance.reset();
        module.reset();
        hostWindow.reset();
        server.reset();
    }

    IPtr<IPlugView> createView()
    {
        IPtr<IPlugView> view = owned(instance->controller().createView(Vst::ViewType::kEditor));
        if (view)
            view->setFrame(&frame);
        return view;
    }

    static void* handleOf(unsigned long window) { return reinterpret_cast<void*>(window); }

    bool showsEditor() const
    {
        return compareImages(hostWindow->grab(namePanel), background.crop(namePanel),
                             {0, 0, namePanel.width, namePanel.height}, 2)
                   .differingPixels == 0;
    }

    std::optional<long> countColormaps() const { return countServerResources(hostWindow->getDisplay(), "COLORMAP"); }

    std::unique_ptr<PrivateXServer> server;
    std::unique_ptr<X11HostWindow> hostWindow;
    RgbImage background;
    std::unique_ptr<Module> module;
    std::unique_ptr<Instance> instance;
    HostFrame frame;
};

TEST_F(Vst3ViewTest, OpensOnABareDisplayAndPaintsFromTheHostsRunLoop)
{
    auto view = createView();
    ASSERT_TRUE(view);
    EXPECT_EQ(kResultTrue, view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID));
    EXPECT_EQ(kResultFalse, view->isPlatformTypeSupported(kPlatformTypeHWND));
    ViewRect size;
    ASSERT_EQ(kResultOk, view->getSize(&size));
    EXPECT_EQ(420, size.getWidth());
    EXPECT_EQ(99, size.getHeight());

    ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    EXPECT_TRUE(frame.hasRegistrations());
    EXPECT_FALSE(hostWindow->queryChildren().empty());
    EXPECT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    saveArtifact(hostWindow->grab(hostWindowBounds), "vst3-view-on-bare-display");

    // A host asking for a huge size gets the window's one size.
    ViewRect huge(0, 0, 40000, 40000);
    EXPECT_EQ(kResultOk, view->onSize(&huge));
    frame.turnFor(100ms);
    ASSERT_EQ(kResultOk, view->getSize(&size));
    EXPECT_EQ(420, size.getWidth());
    EXPECT_EQ(99, size.getHeight());

    EXPECT_EQ(kResultOk, view->removed());
    EXPECT_FALSE(frame.hasRegistrations());
    frame.turnFor(100ms);
}

TEST_F(Vst3ViewTest, AWindowIdThatNamesNoWindowIsRefused)
{
    auto view = createView();
    ASSERT_TRUE(view);
    EXPECT_EQ(kResultFalse, view->attached(handleOf(0x7fffff0), kPlatformTypeX11EmbedWindowID));
    EXPECT_NE(kResultOk, view->attached(nullptr, kPlatformTypeX11EmbedWindowID));
    frame.turnFor(100ms);
    // The view still opens in a real window afterwards.
    EXPECT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    EXPECT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    EXPECT_EQ(kResultOk, view->removed());
}

// The host's contract is to remove the view first; the plug-in survives a host that does not.
TEST_F(Vst3ViewTest, TheHostDestroyingItsWindowUnderTheViewRaisesNoError)
{
    auto view = createView();
    ASSERT_TRUE(view);
    ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    ASSERT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    hostWindow->destroy();
    frame.turnFor(500ms);
    EXPECT_EQ(kResultOk, view->removed());
    frame.turnFor(100ms);
}

TEST_F(Vst3ViewTest, OpeningAndClosingLeavesTheServersColormapsAsTheyWere)
{
    const auto before = countColormaps();
    if (!before)
        GTEST_SKIP() << "the X server has no X-Resource extension";
    for (int cycle = 0; cycle < 200; ++cycle)
    {
        auto view = createView();
        ASSERT_TRUE(view);
        ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
        frame.turn();
        ASSERT_EQ(kResultOk, view->removed());
    }
    frame.turnFor(200ms);
    EXPECT_EQ(*before, countColormaps().value_or(-1));
}

// The host's contract is to remove the view before it releases the plug-in;
// a host that does not still gets a view that closes cleanly.
TEST_F(Vst3ViewTest, ReleasingThePluginBeforeRemovingTheViewIsSafe)
{
    auto view = createView();
    ASSERT_TRUE(view);
    ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    ASSERT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    instance->releaseComponent();
    instance->releaseController();
    frame.turnFor(200ms);
    EXPECT_TRUE(showsEditor());
    EXPECT_EQ(kResultOk, view->removed());
    view = nullptr;
    frame.turnFor(100ms);
}

// A value the host sets on the controller moves the knob in the open window.
TEST_F(Vst3ViewTest, ValuesTheHostSetsMoveTheKnobs)
{
    auto view = createView();
    ASSERT_TRUE(view);
    ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    ASSERT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    const PixelRect outputKnob{183, 13, 56, 48};
    const auto before = hostWindow->grab(outputKnob);
    instance->controller().setParamNormalized(released_ids::output, 1.0);
    EXPECT_TRUE(frame.turnUntil(
        [&] {
            return compareImages(hostWindow->grab(outputKnob), before, {0, 0, 56, 48}, 2).differingPixels > 0;
        }));
    saveArtifact(hostWindow->grab(hostWindowBounds), "vst3-view-output-at-full");
    EXPECT_EQ(kResultOk, view->removed());
}

// A drag on a knob reaches the host as one gesture of edits of its parameter,
// and the component plays the new value even while the host does not process.
TEST_F(Vst3ViewTest, DraggingAKnobIsOneGestureOfEdits)
{
    RecordingComponentHandler handler;
    ASSERT_EQ(kResultOk, instance->controller().setComponentHandler(&handler));
    auto view = createView();
    ASSERT_TRUE(view);
    ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    ASSERT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    const auto stateBefore = instance->componentState();

    const int centreX = 183 + 28, centreY = 13 + 24;
    hostWindow->movePointerTo(centreX - 11, centreY - 11);
    frame.turnFor(60ms);
    hostWindow->pressButton();
    frame.turnFor(60ms);
    for (int step = -10; step <= 11; step += 3)
    {
        hostWindow->movePointerTo(centreX + step, centreY - 11);
        frame.turnFor(40ms);
    }
    hostWindow->releaseButton();
    frame.turnFor(300ms);

    const auto id = std::to_string(released_ids::output);
    EXPECT_EQ((std::vector<std::string>{"begin " + id, "perform " + id, "end " + id}), handler.calls);
    EXPECT_NE(0.5, instance->controller().getParamNormalized(released_ids::output));
    EXPECT_NE(stateBefore, instance->componentState());
    EXPECT_EQ(kResultOk, view->removed());
    instance->controller().setComponentHandler(nullptr);
}
}  // namespace
}  // namespace varnoke::test::vst3

namespace varnoke::test::vst3
{
namespace
{
// The knob's other handling reaches the host as gestures too: each touch is
// one beginEdit, the edits it makes, one endEdit, for the touched knob only.
enum class Touch
{
    doubleClick,
    shiftDrag,
    wheel,
};

struct GestureCase
{
    const char* name;
    Touch touch;
    // The host's calls, each "begin", "perform" (consecutive ones counted once) or "end".
    std::vector<const char*> calls;
    double expectedOutput;
};

class Vst3KnobGestureTest : public Vst3ViewTest, public ::testing::WithParamInterface<GestureCase>
{
};

TEST_P(Vst3KnobGestureTest, EachTouchIsOneGestureOfEdits)
{
    const GestureCase& c = GetParam();
    RecordingComponentHandler handler;
    ASSERT_EQ(kResultOk, instance->controller().setComponentHandler(&handler));
    instance->controller().setParamNormalized(released_ids::output, 0.25);
    auto view = createView();
    ASSERT_TRUE(view);
    ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
    ASSERT_TRUE(frame.turnUntil([&] { return showsEditor(); }));
    frame.turnFor(100ms);
    const auto untouched = hostWindow->grab({0, 0, 420, 99});
    handler.calls.clear();

    const int centreX = 183 + 28, centreY = 13 + 24;
    switch (c.touch)
    {
    case Touch::doubleClick:
        hostWindow->movePointerTo(centreX, centreY);
        frame.turnFor(60ms);
        hostWindow->clickButton();
        hostWindow->clickButton();
        frame.turnFor(200ms);
        break;
    case Touch::shiftDrag:
        hostWindow->pressKey(XK_Shift_L);
        hostWindow->movePointerTo(centreX - 11, centreY - 11);
        frame.turnFor(60ms);
        hostWindow->pressButton();
        frame.turnFor(60ms);
        for (int step = -10; step <= 11; step += 3)
        {
            hostWindow->movePointerTo(centreX + step, centreY - 11);
            frame.turnFor(40ms);
        }
        {
            // Held: the value label shows below the knob's caption.
            const auto held = hostWindow->grab({0, 0, 420, 99});
            saveArtifact(held, "vst3-view-output-knob-held.png");
            EXPECT_GT(compareImages(held, untouched, {183, 81, 56, 16}, 2).differingPixels, 0)
                << "no value label while the knob is held";
        }
        hostWindow->releaseButton();
        hostWindow->releaseKey(XK_Shift_L);
        frame.turnFor(200ms);
        break;
    case Touch::wheel:
        hostWindow->movePointerTo(centreX, centreY);
        frame.turnFor(60ms);
        for (int notch = 0; notch < 3; ++notch)
        {
            hostWindow->clickButton(4);
            frame.turnFor(40ms);
        }
        break;
    }
    // The wheel's touch ends once the wheel has rested.
    const auto id = std::to_string(released_ids::output);
    std::vector<std::string> expected;
    for (const char* call : c.calls)
        expected.push_back(std::string(call) + " " + id);
    EXPECT_TRUE(frame.turnUntil([&] { return handler.calls == expected; }, 3s));
    EXPECT_EQ(expected, handler.calls);
    EXPECT_NEAR(c.expectedOutput, instance->controller().getParamNormalized(released_ids::output), 1e-5);

    // Released, the window is as before the touch wherever the knob is not.
    frame.turnFor(100ms);
    EXPECT_EQ(0, compareImages(hostWindow->grab({0, 0, 420, 99}), untouched, {0, 61, 270, 38}, 0).differingPixels)
        << "the value label outlived the touch";
    EXPECT_EQ(kResultOk, view->removed());
    instance->controller().setComponentHandler(nullptr);
}

// The double-click lands on the knob's centre, where the first click turns nothing.
INSTANTIATE_TEST_SUITE_P(
    Touches, Vst3KnobGestureTest,
    ::testing::Values(GestureCase{"doubleClick", Touch::doubleClick, {"begin", "end", "begin", "perform", "end"}, 0.5},
                      GestureCase{
                          "shiftDrag", Touch::shiftDrag, {"begin", "perform", "end"}, 0.25 + 90.0 / 288.0 / 10.0},
                      GestureCase{"wheel", Touch::wheel, {"begin", "perform", "end"}, 0.28}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
}  // namespace varnoke::test::vst3
