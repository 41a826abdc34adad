// The LV2 UI through the built bundle on an X server where no window manager
// ever ran (a server of the test's own), in a host that keeps Xlib's default
// error handler (which ends the process at the first X error) or records
// every X error and expects none. The host also does what hosts do wrong:
// destroys its window under the open UI, passes a window that does not
// exist, asks for an absurd size, and frees the plug-in before its UI.
// Release 1.0.0 (JUCE's LV2 wrapper) failed each of these.

#include "Lv2Host.h"
#include "PrivateXServer.h"
#include "ProductIdentity.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"
#include "XServerResources.h"
#include "support/HostErrorHandling.h"

#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <optional>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto idlePeriod = 30ms;
const PixelRect hostWindowBounds{0, 0, 440, 120};
const PixelRect namePanel{270, 0, 150, 99};
constexpr uint32_t lowContourPort = 4;

class Lv2UiOnBareDisplayTest : public ::testing::TestWithParam<ErrorHandling>
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        server = PrivateXServer::start(whyNot);
        if (server == nullptr)
            GTEST_SKIP() << "needs Xvfb: " << whyNot;
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
        resizeInterface = static_cast<const LV2UI_Resize*>(descriptor->extension_data(LV2_UI__resize));
        ASSERT_NE(nullptr, idleInterface);
        ASSERT_NE(nullptr, resizeInterface);

        hostWindow = openHostWindow();
        ASSERT_NE(nullptr, hostWindow);
        errorHandling.emplace(GetParam());
    }

    void TearDown() override
    {
        // Closing the last UI closes the plug-in's display connection, which
        // delivers every error still on its way.
        if (library != nullptr)
            dlclose(library);
        hostWindow.reset();
        if (errorHandling)
        {
            EXPECT_EQ(std::vector<std::string>{}, errorHandling->errorsThatReachedTheHost())
                << "X errors reached the host";
            errorHandling.reset();
        }
        server.reset();
    }

    static std::unique_ptr<X11HostWindow> openHostWindow()
    {
        std::string whyNot;
        auto window = X11HostWindow::open(hostWindowBounds, whyNot);
        EXPECT_NE(nullptr, window) << whyNot;
        return window;
    }

    LV2UI_Handle openUi(void* parent)
    {
        const LV2_Feature parentFeature{LV2_UI__parent, parent};
        const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
        const LV2_Feature* features[] = {&parentFeature, &idleFeature, nullptr};
        const std::string bundle = std::string(VARNOKE_LV2_BUNDLE) + "/";
        LV2UI_Widget widget = nullptr;
        return descriptor->instantiate(descriptor, product::lv2Uri, bundle.c_str(), write, &written, &widget, features);
    }

    void report(LV2UI_Handle ui, uint32_t port, float value)
    {
        descriptor->port_event(ui, port, sizeof value, 0, &value);
    }

    void idleFor(LV2UI_Handle ui, Clock::duration duration)
    {
        const auto end = Clock::now() + duration;
        do
        {
            idleInterface->idle(ui);
            std::this_thread::sleep_for(idlePeriod);
        } while (Clock::now() < end);
    }

    bool idleUntilPainted(LV2UI_Handle ui, const X11HostWindow& window)
    {
        const auto end = Clock::now() + 10s;
        while (Clock::now() < end)
        {
            idleInterface->idle(ui);
            if (compareImages(window.grab(namePanel), background.crop(namePanel),
                              {0, 0, namePanel.width, namePanel.height}, 2)
                    .differingPixels == 0)
                return true;
            std::this_thread::sleep_for(idlePeriod);
        }
        return false;
    }

    void expectWorkingUiIn(const X11HostWindow& window)
    {
        LV2UI_Handle ui = openUi(window.getNativeHandle());
        ASSERT_NE(nullptr, ui);
        EXPECT_EQ(1u, window.queryChildren().size());
        EXPECT_TRUE(idleUntilPainted(ui, window)) << "the UI never painted";
        descriptor->cleanup(ui);
        EXPECT_EQ(std::vector<Window>{}, window.queryChildren());
    }

    std::optional<long> countColormaps() const { return countServerResources(hostWindow->getDisplay(), "COLORMAP"); }

    // The ports the UI wrote, as the host's write_function receives them.
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        if (format == 0 && size == sizeof(float))
            static_cast<std::vector<std::pair<uint32_t, float>>*>(controller)
                ->emplace_back(port, *static_cast<const float*>(buffer));
    }

    std::unique_ptr<PrivateXServer> server;
    std::optional<HostErrorHandling> errorHandling;
    std::unique_ptr<X11HostWindow> hostWindow;
    RgbImage background;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    const LV2UI_Resize* resizeInterface = nullptr;
    std::vector<std::pair<uint32_t, float>> written;
};

// Also: the host asks for absurd sizes (release 1.0.0 crashed at 40000 by
// 40000); the window keeps its own and says no.
TEST_P(Lv2UiOnBareDisplayTest, OpensPaintsFollowsThePortsAndCloses)
{
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        LV2UI_Handle ui = openUi(hostWindow->getNativeHandle());
        ASSERT_NE(nullptr, ui);
        ASSERT_EQ(1u, hostWindow->queryChildren().size());
        ASSERT_TRUE(idleUntilPainted(ui, *hostWindow));
        report(ui, lowContourPort, 0.7f);
        for (const auto& [width, height] : {std::pair{40000, 40000}, {0, 0}, {-1, -1}, {INT32_MAX, INT32_MAX}})
            EXPECT_NE(0, resizeInterface->ui_resize(ui, width, height)) << width << "x" << height;
        EXPECT_EQ(0, resizeInterface->ui_resize(ui, 420, 99));
        idleFor(ui, 150ms);
        if (round == 0)
            saveArtifact(hostWindow->grab({0, 0, 420, 99}), "lv2-ui-on-bare-display.png");
        descriptor->cleanup(ui);
        EXPECT_EQ(std::vector<Window>{}, hostWindow->queryChildren());
    }
    EXPECT_EQ((std::vector<std::pair<uint32_t, float>>{}), written) << "the UI wrote ports nobody moved";
}

TEST_P(Lv2UiOnBareDisplayTest, HostDestroyingItsWindowUnderTheUi)
{
    for (const bool idles : {true, false})
    {
        SCOPED_TRACE(idles ? "idles, then cleans up" : "cleans up at once");
        auto window = openHostWindow();
        ASSERT_NE(nullptr, window);
        LV2UI_Handle ui = openUi(window->getNativeHandle());
        ASSERT_NE(nullptr, ui);
        ASSERT_TRUE(idleUntilPainted(ui, *window));
        window->destroy();
        if (idles)
        {
            report(ui, lowContourPort, 0.3f);
            idleFor(ui, 400ms);
            report(ui, lowContourPort, 0.6f);
            idleFor(ui, 200ms);
        }
        descriptor->cleanup(ui);
        expectWorkingUiIn(*hostWindow);
    }
}

TEST_P(Lv2UiOnBareDisplayTest, UiOpenedIntoAWindowThatDoesNotExist)
{
    auto gone = openHostWindow();
    ASSERT_NE(nullptr, gone);
    const Window destroyed = gone->getWindow();
    gone->destroy();
    for (const Window missing : {destroyed, Window{0x1fffffff}})
    {
        SCOPED_TRACE(missing);
        EXPECT_EQ(nullptr, openUi(reinterpret_cast<void*>(missing)));
        expectWorkingUiIn(*hostWindow);
    }
}

// JUCE gives each of its windows an X colormap and never frees it: release
// 1.0.0 left one behind per opening.
TEST_P(Lv2UiOnBareDisplayTest, OpeningAndClosing200TimesLeavesNoColormapsBehind)
{
    // A UI kept open holds the plug-in's display connection open throughout.
    LV2UI_Handle keeper = openUi(hostWindow->getNativeHandle());
    ASSERT_NE(nullptr, keeper);
    ASSERT_TRUE(idleUntilPainted(keeper, *hostWindow));
    auto window = openHostWindow();
    ASSERT_NE(nullptr, window);
    const auto before = countColormaps();
    ASSERT_TRUE(before.has_value()) << "the X server has no X-Resource extension";

    constexpr int cycles = 200;
    for (int i = 0; i < cycles; ++i)
    {
        LV2UI_Handle ui = openUi(window->getNativeHandle());
        ASSERT_NE(nullptr, ui);
        idleInterface->idle(ui);
        descriptor->cleanup(ui);
    }
    idleFor(keeper, 2 * idlePeriod);
    EXPECT_EQ(*before, countColormaps().value_or(-1)) << "after " << cycles << " openings";
    descriptor->cleanup(keeper);
}

// The UI never touches the plug-in instance, so the host may free them in
// either order (release 1.0.0 used the freed instance).
TEST_P(Lv2UiOnBareDisplayTest, PluginFreedBeforeItsUi)
{
    Lv2Host host(VARNOKE_LV2_BUNDLE);
    const auto* plugin = host.findPlugin(product::lv2Uri);
    ASSERT_NE(nullptr, plugin);
    auto instance = std::make_unique<Lv2Instance>(host, plugin, 48000.0, 512);
    ASSERT_TRUE(instance->isValid());
    LV2UI_Handle ui = openUi(hostWindow->getNativeHandle());
    ASSERT_NE(nullptr, ui);
    ASSERT_TRUE(idleUntilPainted(ui, *hostWindow));
    instance.reset();
    report(ui, lowContourPort, 0.8f);
    idleFor(ui, 200ms);
    descriptor->cleanup(ui);
    EXPECT_EQ(std::vector<Window>{}, hostWindow->queryChildren());
}

INSTANTIATE_TEST_SUITE_P(BareDisplay, Lv2UiOnBareDisplayTest,
                         ::testing::Values(ErrorHandling::xlibDefault, ErrorHandling::recording),
                         [](const auto& info) { return nameOf(info.param); });
}  // namespace
}  // namespace varnoke::test
