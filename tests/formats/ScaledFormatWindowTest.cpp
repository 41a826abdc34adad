// The VST3 and LV2 windows at the host's scale, through the built bundles as
// hosts load them: the VST3 view follows IPlugViewContentScaleSupport (its
// getSize answer changes, a shown window asks its frame to resizeView), the
// LV2 UI opens at the ui:scaleFactor among the host's options (and asks the
// host's ui:resize for the scaled size); the window really has that size on
// the X server, shows the 1x background as it is at 1x and the 2x background
// pixel for pixel at 2x. A size the user chose from the window's menu wins
// over the host's factor. Screenshots land in the test artifacts.

#include "FormatTestSupport.h"
#include "PrivateXServer.h"
#include "ProductIdentity.h"
#include "RgbImage.h"
#include "TemporaryConfigHome.h"
#include "TestArtifacts.h"
#include "Vst3Host.h"
#include "X11HostWindow.h"

#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xatom.h>
#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <limits>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using namespace Steinberg;

const PixelRect hostWindowBounds{0, 0, 1300, 320};

const PixelRect backgroundAreas[] = {{0, 0, 270, 13},   {0, 13, 13, 48},  {69, 13, 23, 48}, {148, 13, 35, 48},
                                     {239, 13, 31, 48}, {0, 61, 270, 38}, {270, 0, 150, 99}};

struct Size
{
    int width, height;
    bool operator==(const Size& other) const { return width == other.width && height == other.height; }
};

void PrintTo(const Size& size, std::ostream* os)
{
    *os << size.width << " x " << size.height;
}

// The host's frame with its run loop (turned by hand), recording resizeView.
class ScaleFrame final : public vst3::HostObject<IPlugFrame, Linux::IRunLoop>
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
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* rect) override
    {
        if (rect == nullptr)
            return kInvalidArgument;
        resizes.push_back({rect->getWidth(), rect->getHeight()});
        view->onSize(rect);
        return kResultOk;
    }
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

    std::vector<Size> resizes;

private:
    std::vector<std::pair<Linux::IEventHandler*, Linux::FileDescriptor>> handlers;
    std::vector<Linux::ITimerHandler*> timers;
};

class ScaledFormatWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "needs an X display";
        std::string whyNot;
        hostWindow = X11HostWindow::open(hostWindowBounds, whyNot);
        ASSERT_NE(nullptr, hostWindow) << whyNot;
        background = RgbImage::readPng(VARNOKE_BACKGROUND_PNG);
        background2x = RgbImage::readPng(VARNOKE_BACKGROUND_2X_PNG);
        ASSERT_EQ(840, background2x.getWidth());
    }

    // The window's size on the X server (its one child of the host's window).
    Size windowSize() const
    {
        const auto children = hostWindow->queryChildren();
        if (children.size() != 1)
            return {0, 0};
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(hostWindow->getDisplay(), children.front(), &attributes) == 0)
            return {0, 0};
        return {attributes.width, attributes.height};
    }

    // Whether the window shows the background of this scale (1 or 2) outside
    // the knobs, bit for bit.
    bool showsBackground(int factor) const
    {
        const RgbImage& picture = factor == 1 ? background : background2x;
        const RgbImage shot = hostWindow->grab({0, 0, 420 * factor, 99 * factor});
        for (const auto& area : backgroundAreas)
            if (shot.isEmpty() ||
                compareImages(shot, picture,
                              {area.x * factor, area.y * factor, area.width * factor, area.height * factor}, 0)
                        .differingPixels != 0)
                return false;
        return true;
    }

    static bool until(const std::function<void()>& idle, const std::function<bool()>& done)
    {
        const auto end = Clock::now() + 10s;
        while (Clock::now() < end)
        {
            idle();
            if (done())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return done();
    }

    // The window in its picture, and what a whole-pixel scale shows.
    void expectWindow(const std::function<void()>& idle, float factor, Size expected, const std::string& artifact)
    {
        EXPECT_TRUE(until(idle, [&] { return windowSize() == expected; })) << "window size";
        EXPECT_EQ(expected, windowSize());
        if (factor == 1.0f || factor == 2.0f)
        {
            EXPECT_TRUE(until(idle, [&] { return showsBackground(static_cast<int>(factor)); }))
                << "the " << factor << "x background";
        }
        else
        {
            for (int i = 0; i < 20; ++i)
                idle();
        }
        saveArtifact(hostWindow->grab({0, 0, expected.width, expected.height}), artifact);
    }

    TemporaryConfigHome configHome;
    std::unique_ptr<X11HostWindow> hostWindow;
    RgbImage background, background2x;
};

struct ScaleCase
{
    float factor;
    Size size;
    const char* name;
};
const ScaleCase scales[] = {{2.0f, {840, 198}, "2x"}, {1.5f, {630, 149}, "1.5x"}, {1.0f, {420, 99}, "1x"}};

//==============================================================================
TEST_F(ScaledFormatWindowTest, Vst3ViewFollowsSetContentScaleFactor)
{
    std::string whyNot;
    auto module = vst3::Module::load(vst3::builtBundleLibrary(), whyNot);
    ASSERT_NE(nullptr, module) << whyNot;
    {
        vst3::Instance instance(*module);
        ASSERT_TRUE(instance.isComplete());
        ScaleFrame frame;
        IPtr<IPlugView> view = owned(instance.controller().createView(Vst::ViewType::kEditor));
        ASSERT_TRUE(view);
        view->setFrame(&frame);
        FUnknownPtr<IPlugViewContentScaleSupport> scaleSupport(view);
        ASSERT_TRUE(scaleSupport);

        for (const float nonsense : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()})
            EXPECT_EQ(kInvalidArgument, scaleSupport->setContentScaleFactor(nonsense)) << nonsense;

        // Before the window is shown: getSize answers the scaled size.
        EXPECT_EQ(kResultTrue, scaleSupport->setContentScaleFactor(2.0f));
        ViewRect rect;
        ASSERT_EQ(kResultOk, view->getSize(&rect));
        EXPECT_EQ((Size{840, 198}), (Size{rect.getWidth(), rect.getHeight()}));
        ASSERT_EQ(kResultOk, view->attached(hostWindow->getNativeHandle(), kPlatformTypeX11EmbedWindowID));
        const auto idle = [&] { frame.turn(); };
        expectWindow(idle, 2.0f, {840, 198}, "vst3-scale-2x.png");
        EXPECT_TRUE(frame.resizes.empty());

        // While it is shown: the frame is asked to resize.
        for (const auto& scale : scales)
        {
            SCOPED_TRACE(scale.name);
            frame.resizes.clear();
            EXPECT_EQ(kResultTrue, scaleSupport->setContentScaleFactor(scale.factor));
            // The first is the scale the window already has: no new size.
            EXPECT_EQ(scale.factor == 2.0f ? std::vector<Size>{} : std::vector<Size>{scale.size}, frame.resizes);
            ASSERT_EQ(kResultOk, view->getSize(&rect));
            EXPECT_EQ(scale.size, (Size{rect.getWidth(), rect.getHeight()}));
            expectWindow(idle, scale.factor, scale.size, std::string("vst3-scale-") + scale.name + ".png");
        }

        // Above 3x the window stays at 3x.
        frame.resizes.clear();
        EXPECT_EQ(kResultTrue, scaleSupport->setContentScaleFactor(8.0f));
        EXPECT_EQ(std::vector<Size>{(Size{1260, 297})}, frame.resizes);
        EXPECT_EQ(kResultOk, view->removed());
    }

    // A size the user chose wins over the host's factor.
    {
        std::filesystem::create_directories(configHome.settingsFile().parent_path());
        std::ofstream(configHome.settingsFile())
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n  <VALUE name=\"windowScale\" "
               "val=\"1.5\"/>\n</PROPERTIES>\n";
        vst3::Instance instance(*module);
        ScaleFrame frame;
        IPtr<IPlugView> view = owned(instance.controller().createView(Vst::ViewType::kEditor));
        ASSERT_TRUE(view);
        view->setFrame(&frame);
        FUnknownPtr<IPlugViewContentScaleSupport> scaleSupport(view);
        EXPECT_EQ(kResultTrue, scaleSupport->setContentScaleFactor(2.0f));
        ViewRect rect;
        ASSERT_EQ(kResultOk, view->getSize(&rect));
        EXPECT_EQ((Size{630, 149}), (Size{rect.getWidth(), rect.getHeight()}));
    }
}

// Where the host gives no factor, the desktop's: GDK_SCALE, else the X
// resources' Xft.dpi over 96, read from the X server the window opens on (a
// private one here, whose root window gets the resources a desktop sets).
TEST(DesktopScale, Vst3ViewWithoutAHostFactorTakesTheDesktops)
{
    struct Case
    {
        const char* resources;
        const char* gdkScale;
        Size expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, {420, 99}},
        {"Xft.dpi:\t144\n", nullptr, {630, 149}},
        {"Xft.antialias:\t1\nXft.dpi:\t192\nXft.rgba:\trgb\n", nullptr, {840, 198}},
        {"Xft.dpi:\t192\n", "1", {420, 99}},
        {nullptr, "2", {840, 198}},
    };
    const TemporaryConfigHome configHome;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("resources ") + (c.resources ? c.resources : "none") + ", GDK_SCALE " +
                     (c.gdkScale ? c.gdkScale : "unset"));
        if (c.gdkScale != nullptr)
            setenv("GDK_SCALE", c.gdkScale, 1);
        else
            unsetenv("GDK_SCALE");
        std::string whyNot;
        auto server = PrivateXServer::start(whyNot);
        if (server == nullptr)
            GTEST_SKIP() << "needs Xvfb: " << whyNot;
        // The desktop's connection, which keeps the server's resources while it stays open.
        Display* desktop = XOpenDisplay(server->getDisplayName().c_str());
        ASSERT_NE(nullptr, desktop);
        if (c.resources != nullptr)
        {
            XChangeProperty(desktop, DefaultRootWindow(desktop), XInternAtom(desktop, "RESOURCE_MANAGER", False),
                            XA_STRING, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(c.resources),
                            static_cast<int>(std::strlen(c.resources)));
            XSync(desktop, False);
        }
        {
            auto module = vst3::Module::load(vst3::builtBundleLibrary(), whyNot);
            ASSERT_NE(nullptr, module) << whyNot;
            auto instance = std::make_unique<vst3::Instance>(*module);
            {
                IPtr<IPlugView> view = owned(instance->controller().createView(Vst::ViewType::kEditor));
                ASSERT_TRUE(view);
                ViewRect rect;
                ASSERT_EQ(kResultOk, view->getSize(&rect));
                EXPECT_EQ(c.expected, (Size{rect.getWidth(), rect.getHeight()}));
            }
            // The plug-in's display connection closes with its last instance, before the server goes.
            instance.reset();
        }
        XCloseDisplay(desktop);
    }
    unsetenv("GDK_SCALE");
}

//==============================================================================
// A URID map of the host's own.
class UriMap
{
public:
    LV2_URID map(const char* uri)
    {
        const auto found = std::find(uris.begin(), uris.end(), uri);
        if (found != uris.end())
            return static_cast<LV2_URID>(found - uris.begin() + 1);
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    LV2_URID_Map feature{this, [](LV2_URID_Map_Handle self, const char* uri)
                         { return static_cast<UriMap*>(self)->map(uri); }};

private:
    std::deque<std::string> uris;
};

struct Lv2ScaleCase
{
    const char* name;
    const char* type;  // the option's atom type
    double value;
    Size expected;
};

void PrintTo(const Lv2ScaleCase& scale, std::ostream* os)
{
    *os << scale.name;
}

class Lv2UiScale : public ScaledFormatWindowTest, public ::testing::WithParamInterface<Lv2ScaleCase>
{
};

TEST_P(Lv2UiScale, OpensAtTheHostsScaleFactor)
{
    const Lv2ScaleCase& scale = GetParam();
    const std::string uri = product::lv2Uri;
    const std::string bundle = std::string(VARNOKE_LV2_BUNDLE) + "/";
    void* library = dlopen((bundle + "Varnoke.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << dlerror();
    const auto descriptorOf =
        reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(nullptr, descriptorOf);
    const LV2UI_Descriptor* descriptor = descriptorOf(0);
    ASSERT_NE(nullptr, descriptor);
    const auto* idleInterface =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(nullptr, idleInterface);

    UriMap uris;
    const float floatValue = static_cast<float>(scale.value);
    const std::int32_t intValue = static_cast<std::int32_t>(scale.value);
    const bool isFloat = std::string(scale.type) == LV2_ATOM__Float;
    const bool isInt = std::string(scale.type) == LV2_ATOM__Int;
    const void* value = isFloat ? static_cast<const void*>(&floatValue)
                        : isInt ? static_cast<const void*>(&intValue)
                                : static_cast<const void*>(&scale.value);
    const uint32_t size = isFloat ? sizeof floatValue : isInt ? sizeof intValue : sizeof scale.value;
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, uris.map(LV2_UI__updateRate), sizeof floatValue, uris.map(LV2_ATOM__Float),
         &floatValue},
        {LV2_OPTIONS_INSTANCE, 0, uris.map(LV2_UI__scaleFactor), size, uris.map(scale.type), value},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};

    struct Resizes
    {
        std::vector<Size> sizes;
    } resizes;
    LV2UI_Resize resize{&resizes, [](LV2UI_Feature_Handle handle, int width, int height)
                        {
                            static_cast<Resizes*>(handle)->sizes.push_back({width, height});
                            return 0;
                        }};
    const LV2_Feature parentFeature{LV2_UI__parent, hostWindow->getNativeHandle()};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    const LV2_Feature mapFeature{LV2_URID__map, &uris.feature};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&parentFeature,  &idleFeature,   &mapFeature,
                                     &optionsFeature, &resizeFeature, nullptr};

    LV2UI_Widget widget = nullptr;
    const auto write = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
    LV2UI_Handle ui =
        descriptor->instantiate(descriptor, uri.c_str(), bundle.c_str(), write, nullptr, &widget, features);
    ASSERT_NE(nullptr, ui);
    EXPECT_EQ(std::vector<Size>{scale.expected}, resizes.sizes);
    const float factor = scale.expected.width == 840 ? 2.0f : scale.expected.width == 420 ? 1.0f : 1.5f;
    expectWindow([&] { idleInterface->idle(ui); }, factor, scale.expected,
                 std::string("lv2-scale-") + scale.name + ".png");
    descriptor->cleanup(ui);
    dlclose(library);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Lv2UiScale,
    ::testing::Values(Lv2ScaleCase{"2x", LV2_ATOM__Float, 2.0, {840, 198}},
                      Lv2ScaleCase{"1_5x", LV2_ATOM__Float, 1.5, {630, 149}},
                      Lv2ScaleCase{"1x", LV2_ATOM__Float, 1.0, {420, 99}},
                      Lv2ScaleCase{"2x_as_double", LV2_ATOM__Double, 2.0, {840, 198}},
                      // A type the option does not take, and a factor that is no number: the desktop's, 1x here.
                      Lv2ScaleCase{"int_ignored", LV2_ATOM__Int, 2.0, {420, 99}},
                      Lv2ScaleCase{"nan_ignored", LV2_ATOM__Float, std::nan(""), {420, 99}}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
}  // namespace varnoke::test
