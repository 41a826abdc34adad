// The editor through the built Varnoke.so on an X server where no window
// manager ever ran and nothing else has touched (a server of the test's own),
// in a host that keeps Xlib's default error handler, which ends the process at
// the first X error, or one that records every X error and expects none.
// Headless hosts, render farms and CI machines run like that. The host also
// does what hosts do wrong: it destroys its window under an open editor, and
// passes a window that does not exist. Screenshots land in build/test-artifacts/.

#include "HostTestFixture.h"
#include "PrivateXServer.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"
#include "XServerResources.h"
#include "support/HostErrorHandling.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto idlePeriod = 30ms;
const PixelRect hostWindowBounds{0, 0, 440, 120};
// The name panel right of the knobs shows the background picture as it is.
const PixelRect namePanel{270, 0, 150, 99};

class EditorOnBareDisplayTest : public HostTest, public ::testing::WithParamInterface<ErrorHandling>
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        server = PrivateXServer::start(whyNot);
        if (server == nullptr)
            GTEST_SKIP() << "needs Xvfb: " << whyNot;

        HostTest::SetUp();
        if (HasFatalFailure())
            return;
        background = RgbImage::readPng(VARNOKE_BACKGROUND_PNG);
        ASSERT_FALSE(background.isEmpty()) << VARNOKE_BACKGROUND_PNG;
        hostWindow = openHostWindow();
        ASSERT_NE(nullptr, hostWindow);
        effect = openInstance();
        ASSERT_NE(nullptr, effect);

        errorHandling.emplace(GetParam());
    }

    void TearDown() override
    {
        // Closing the last instance closes the plug-in's display connection,
        // which delivers every error still on its way.
        HostTest::TearDown();
        hostWindow.reset();
        otherWindow.reset();
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

    VstIntPtr openEditor(void* window) { return dispatch(effect, effEditOpen, 0, 0, window); }
    VstIntPtr openEditor(const X11HostWindow& window) { return openEditor(window.getNativeHandle()); }

    void idleFor(Clock::duration duration)
    {
        const auto end = Clock::now() + duration;
        do
        {
            dispatch(effect, effEditIdle);
            std::this_thread::sleep_for(idlePeriod);
        } while (Clock::now() < end);
    }

    bool showsEditor(const X11HostWindow& window) const
    {
        return compareImages(window.grab(namePanel), background.crop(namePanel),
                             {0, 0, namePanel.width, namePanel.height}, 2)
                   .differingPixels == 0;
    }

    // Idles until the window shows the editor.
    bool idleUntilPainted(const X11HostWindow& window)
    {
        const auto end = Clock::now() + 10s;
        while (Clock::now() < end)
        {
            dispatch(effect, effEditIdle);
            if (showsEditor(window))
                return true;
            std::this_thread::sleep_for(idlePeriod);
        }
        return false;
    }

    // Opens the editor in the window, waits for it to paint and closes it:
    // the plug-in still works normally.
    void expectWorkingEditorIn(const X11HostWindow& window)
    {
        ASSERT_EQ(1, openEditor(window));
        EXPECT_EQ(1u, window.queryChildren().size());
        EXPECT_TRUE(idleUntilPainted(window)) << "the editor never painted";
        EXPECT_EQ(0, dispatch(effect, effEditClose));
        EXPECT_EQ(std::vector<Window>{}, window.queryChildren());
    }

    std::optional<long> countColormaps() const { return countServerResources(hostWindow->getDisplay(), "COLORMAP"); }

    std::unique_ptr<PrivateXServer> server;
    std::optional<HostErrorHandling> errorHandling;
    std::unique_ptr<X11HostWindow> hostWindow;
    std::unique_ptr<X11HostWindow> otherWindow;
    RgbImage background;
    AEffect* effect = nullptr;
};

TEST_P(EditorOnBareDisplayTest, OpensPaintsFollowsTheHostAndCloses)
{
    for (int round = 0; round < 2; ++round)
    {
        ASSERT_EQ(1, openEditor(*hostWindow)) << "round " << round;
        ASSERT_EQ(1u, hostWindow->queryChildren().size());
        ASSERT_TRUE(idleUntilPainted(*hostWindow)) << "round " << round;

        // The host moves a knob and changes its window's size both ways.
        effect->setParameter(effect, 0, 0.7f);
        hostWindow->resize(640, 200);
        idleFor(150ms);
        hostWindow->resize(300, 80);
        idleFor(150ms);
        hostWindow->resize(hostWindowBounds.width, hostWindowBounds.height);
        idleFor(150ms);
        ERect* rect = nullptr;
        ASSERT_NE(0, dispatch(effect, effEditGetRect, 0, 0, &rect));
        EXPECT_EQ(420, rect->right);
        if (round == 0)
        {
            saveArtifact(hostWindow->grab({0, 0, 420, 99}), "editor-on-bare-display.png");
        }

        EXPECT_EQ(0, dispatch(effect, effEditClose));
        EXPECT_EQ(std::vector<Window>{}, hostWindow->queryChildren());
    }
}

// What the host does after it destroyed its window under the open editor.
struct AfterDestroyingTheWindow
{
    const char* name;
    bool idles;            // goes on idling (the knob moves, so the editor repaints)
    bool closesTheEditor;  // effEditClose, or straight to effClose
};
const AfterDestroyingTheWindow afterDestroyingTheWindow[] = {
    {"idles, then closes the editor", true, true},
    {"closes the editor at once", false, true},
    {"idles, then closes the instance", true, false},
    {"closes the instance at once", false, false},
};

TEST_P(EditorOnBareDisplayTest, HostDestroyingItsWindowUnderTheEditor)
{
    for (const auto& step : afterDestroyingTheWindow)
    {
        SCOPED_TRACE(step.name);
        auto window = openHostWindow();
        ASSERT_NE(nullptr, window);
        ASSERT_EQ(1, openEditor(*window));
        ASSERT_TRUE(idleUntilPainted(*window));

        window->destroy();
        if (step.idles)
        {
            effect->setParameter(effect, 0, 0.3f);
            idleFor(400ms);
            effect->setParameter(effect, 0, 0.6f);
            idleFor(200ms);
        }
        if (step.closesTheEditor)
        {
            EXPECT_EQ(0, dispatch(effect, effEditClose));
        }
        else
        {
            closeInstance(effect);
            effect = openInstance();
            ASSERT_NE(nullptr, effect);
        }

        expectWorkingEditorIn(*hostWindow);
    }
}

TEST_P(EditorOnBareDisplayTest, EditorOpenedIntoAWindowThatDoesNotExist)
{
    // A window the host had and destroyed, and an identifier no client owns.
    auto gone = openHostWindow();
    ASSERT_NE(nullptr, gone);
    const Window destroyed = gone->getWindow();
    gone->destroy();
    for (const Window missing : {destroyed, Window{0x1fffffff}})
    {
        SCOPED_TRACE(missing);
        EXPECT_EQ(0, openEditor(reinterpret_cast<void*>(missing)));
        idleFor(200ms);
        EXPECT_EQ(0, dispatch(effect, effEditClose));
        expectWorkingEditorIn(*hostWindow);
    }
}

// JUCE gives each of its windows an X colormap and never frees it.
TEST_P(EditorOnBareDisplayTest, OpeningAndClosingLeavesNoColormapsBehind)
{
    expectWorkingEditorIn(*hostWindow);  // the plug-in's display connection is open from here on
    const auto before = countColormaps();
    ASSERT_TRUE(before.has_value()) << "the X server has no X-Resource extension";

    constexpr int cycles = 10;
    for (int i = 0; i < cycles; ++i)
    {
        ASSERT_EQ(1, openEditor(*hostWindow));
        idleFor(2 * idlePeriod);
        EXPECT_EQ(0, dispatch(effect, effEditClose));
    }
    EXPECT_EQ(*before, countColormaps().value_or(-1)) << "after " << cycles << " editors";

    // An editor whose host window was destroyed under it.
    auto window = openHostWindow();
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(1, openEditor(*window));
    idleFor(2 * idlePeriod);
    window->destroy();
    idleFor(300ms);
    EXPECT_EQ(0, dispatch(effect, effEditClose));
    EXPECT_EQ(*before, countColormaps().value_or(-1)) << "after an editor whose window the host destroyed";
}

INSTANTIATE_TEST_SUITE_P(BareDisplay, EditorOnBareDisplayTest,
                         ::testing::Values(ErrorHandling::xlibDefault, ErrorHandling::recording),
                         [](const auto& info) { return nameOf(info.param); });
}  // namespace
}  // namespace varnoke::test
