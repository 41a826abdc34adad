// The editor of the built Varnoke.so at other scales, in the test host's own
// X11 window: the user right-clicks the window (a real click through XTEST),
// chooses a size from its menu, and the window redraws from the 2x pictures,
// tells the host its new size (audioMasterSizeWindow), really changes size
// on the X server, and opens at that size next time (the choice is kept in
// the user's settings, here under a temporary XDG_CONFIG_HOME). Screenshots
// land in build/test-artifacts/.

#include "HostTestFixture.h"
#include "RgbImage.h"
#include "TemporaryConfigHome.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Parts of the window where no knob lies, in 1x pixels.
const PixelRect backgroundAreas[] = {{0, 0, 270, 13},   {0, 13, 13, 48},  {69, 13, 23, 48}, {148, 13, 35, 48},
                                     {239, 13, 31, 48}, {0, 61, 270, 38}, {270, 0, 150, 99}};

PixelRect scaled(const PixelRect& area, int factor)
{
    return {area.x * factor, area.y * factor, area.width * factor, area.height * factor};
}

struct WindowSize
{
    int width, height;
    bool operator==(const WindowSize& other) const { return width == other.width && height == other.height; }
};

void PrintTo(const WindowSize& size, std::ostream* os)
{
    *os << size.width << " x " << size.height;
}

// The menu's items, top to bottom, all of one height.
enum class MenuItem
{
    hundred,
    hundredFifty,
    twoHundred,
    followHost
};
constexpr int menuItems = 4;

class EditorScaleInHostWindowTest : public HostTest
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        hostWindow = X11HostWindow::open({0, 260, 900, 240}, whyNot);
        if (hostWindow == nullptr)
            GTEST_SKIP() << "needs a 24-bit X display with the XTEST extension: " << whyNot;
        HostTest::SetUp();
        if (HasFatalFailure())
            return;
        background = RgbImage::readPng(VARNOKE_BACKGROUND_PNG);
        background2x = RgbImage::readPng(VARNOKE_BACKGROUND_2X_PNG);
        ASSERT_EQ(420, background.getWidth());
        ASSERT_EQ(840, background2x.getWidth());
        effect = openInstance();
        ASSERT_NE(nullptr, effect);
    }

    void TearDown() override
    {
        HostTest::TearDown();
        hostWindow.reset();
    }

    void idleFor(Clock::duration duration)
    {
        const auto end = Clock::now() + duration;
        do
        {
            dispatch(effect, effEditIdle);
            std::this_thread::sleep_for(20ms);
        } while (Clock::now() < end);
    }

    bool idleUntil(const std::function<bool()>& done, Clock::duration timeout = 10s)
    {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end)
        {
            dispatch(effect, effEditIdle);
            if (done())
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return done();
    }

    WindowSize rectAnswer()
    {
        ERect* rect = nullptr;
        if (dispatch(effect, effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr)
            return {0, 0};
        return {rect->right - rect->left, rect->bottom - rect->top};
    }

    // The size of the plug-in's window inside the host's, as the X server has it.
    WindowSize pluginWindowSize() const
    {
        const auto children = hostWindow->queryChildren();
        if (children.size() != 1)
            return {0, 0};
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(hostWindow->getDisplay(), children.front(), &attributes) == 0)
            return {0, 0};
        return {attributes.width, attributes.height};
    }

    // Whether the window shows the background picture at this scale (1 or 2)
    // everywhere outside the knobs, bit for bit.
    bool showsBackground(int factor) const
    {
        const RgbImage& picture = factor == 1 ? background : background2x;
        const RgbImage shot = hostWindow->grab({0, 0, 420 * factor, 99 * factor});
        if (shot.isEmpty())
            return false;
        for (const auto& area : backgroundAreas)
            if (compareImages(shot, picture, scaled(area, factor), 0).differingPixels != 0)
                return false;
        return true;
    }

    std::set<Window> topLevelWindows() const
    {
        Display* display = hostWindow->getDisplay();
        XSync(display, False);
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::set<Window> result;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0 &&
            children != nullptr)
        {
            for (unsigned int i = 0; i < count; ++i)
            {
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable)
                    result.insert(children[i]);
            }
            XFree(children);
        }
        return result;
    }

    // Right-clicks the window at (x, y), waits for the menu, and clicks the item.
    ::testing::AssertionResult chooseFromMenu(int x, int y, MenuItem item, const std::string& artifact)
    {
        const auto before = topLevelWindows();
        hostWindow->movePointerTo(x, y);
        idleFor(60ms);
        hostWindow->pressButton(3);
        idleFor(60ms);
        hostWindow->releaseButton(3);

        Window menu = 0;
        idleUntil(
            [&]
            {
                for (Window window : topLevelWindows())
                    if (before.count(window) == 0)
                        menu = window;
                return menu != 0;
            });
        if (menu == 0)
            return ::testing::AssertionFailure() << "no menu opened";
        Display* display = hostWindow->getDisplay();
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, menu, &attributes);
        // Until it has painted its items: more than one colour.
        const PixelRect menuArea{attributes.x, attributes.y, attributes.width, attributes.height};
        const auto painted = [&]
        {
            const RgbImage shot = hostWindow->grabScreen(menuArea);
            for (int y = 0; y < shot.getHeight(); ++y)
                for (int x = 0; x < shot.getWidth(); ++x)
                    if (!std::equal(shot.pixel(x, y), shot.pixel(x, y) + 3, shot.pixel(0, 0)))
                        return true;
            return false;
        };
        if (!idleUntil(painted))
            return ::testing::AssertionFailure() << "the menu never painted";
        idleFor(100ms);
        saveArtifact(hostWindow->grabScreen(menuArea), artifact);

        // The item's centre, in root coordinates, then in the host window's.
        const int rootX = attributes.x + attributes.width / 2;
        const int rootY = attributes.y + attributes.height * (2 * static_cast<int>(item) + 1) / (2 * menuItems);
        int windowX = 0, windowY = 0;
        Window child = 0;
        XTranslateCoordinates(display, DefaultRootWindow(display), hostWindow->getWindow(), rootX, rootY, &windowX,
                              &windowY, &child);
        hostWindow->movePointerTo(windowX, windowY);
        idleFor(150ms);
        hostWindow->pressButton();
        idleFor(60ms);
        hostWindow->releaseButton();
        if (!idleUntil([&] { return topLevelWindows().count(menu) == 0; }))
            return ::testing::AssertionFailure() << "the menu stayed open";
        return ::testing::AssertionSuccess();
    }

    std::vector<WindowSize> sizeRequests() const
    {
        std::vector<WindowSize> sizes;
        for (const auto& call : RecordingHost::calls())
            if (call.opcode == audioMasterSizeWindow && call.effect == effect)
                sizes.push_back({call.index, static_cast<int>(call.value)});
        return sizes;
    }

    TemporaryConfigHome configHome;
    std::unique_ptr<X11HostWindow> hostWindow;
    RgbImage background, background2x;
    AEffect* effect = nullptr;
};

TEST_F(EditorScaleInHostWindowTest, TheMenuScalesTheWindowAndTheNextWindowOpensAtThatScale)
{
    ASSERT_EQ((WindowSize{420, 99}), rectAnswer());
    ASSERT_EQ(1, dispatch(effect, effEditOpen, 0, 0, hostWindow->getNativeHandle()));
    ASSERT_TRUE(idleUntil([&] { return showsBackground(1); })) << "the editor never painted at 1x";
    saveArtifact(hostWindow->grab({0, 0, 420, 99}), "vst2-scale-1x.png");
    EXPECT_EQ((WindowSize{420, 99}), pluginWindowSize());

    // On the name panel, right of the knobs.
    ASSERT_TRUE(chooseFromMenu(340, 50, MenuItem::twoHundred, "vst2-scale-menu.png"));
    EXPECT_TRUE(idleUntil([&] { return showsBackground(2); })) << "the window never showed the 2x picture";
    saveArtifact(hostWindow->grab({0, 0, 840, 198}), "vst2-scale-2x.png");
    EXPECT_EQ((std::vector<WindowSize>{{840, 198}}), sizeRequests());
    EXPECT_EQ((WindowSize{840, 198}), pluginWindowSize());
    EXPECT_EQ((WindowSize{840, 198}), rectAnswer());
    EXPECT_NE(std::string::npos, configHome.settings().find("windowScale")) << configHome.settings();

    // A new window: the host asks its size first, then opens it.
    dispatch(effect, effEditClose);
    idleFor(100ms);
    RecordingHost::reset();
    EXPECT_EQ((WindowSize{840, 198}), rectAnswer());
    ASSERT_EQ(1, dispatch(effect, effEditOpen, 0, 0, hostWindow->getNativeHandle()));
    EXPECT_TRUE(idleUntil([&] { return showsBackground(2); })) << "the new window is not at 2x";
    saveArtifact(hostWindow->grab({0, 0, 840, 198}), "vst2-scale-2x-reopened.png");
    EXPECT_EQ((WindowSize{840, 198}), pluginWindowSize());
    EXPECT_TRUE(sizeRequests().empty());

    ASSERT_TRUE(chooseFromMenu(700, 100, MenuItem::hundredFifty, "vst2-scale-menu-at-2x.png"));
    EXPECT_TRUE(idleUntil([&] { return pluginWindowSize() == WindowSize{630, 149}; }));
    idleFor(200ms);
    saveArtifact(hostWindow->grab({0, 0, 630, 149}), "vst2-scale-1.5x.png");
    EXPECT_EQ((std::vector<WindowSize>{{630, 149}}), sizeRequests());
    EXPECT_EQ((WindowSize{630, 149}), rectAnswer());

    // Following the host again: a VST 2.4 host gives no factor, and the bare
    // X server has no desktop scale, so 1x with today's pixels.
    ASSERT_TRUE(chooseFromMenu(520, 75, MenuItem::followHost, "vst2-scale-menu-at-1.5x.png"));
    EXPECT_TRUE(idleUntil([&] { return showsBackground(1) && pluginWindowSize() == WindowSize{420, 99}; }));
    EXPECT_EQ((WindowSize{420, 99}), rectAnswer());
    EXPECT_EQ(std::string::npos, configHome.settings().find("windowScale")) << configHome.settings();
    dispatch(effect, effEditClose);
}
}  // namespace
}  // namespace varnoke::test
