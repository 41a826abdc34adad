// The editor opcodes with a real X11 parent window, under Xvfb.

#include "BoundaryTestSupport.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

namespace varnoke::test::boundary
{
namespace
{
class EditorHostingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";

        // Xvfb may still be tearing down the previous test's connections.
        for (int attempt = 0; attempt < 20 && display == nullptr; ++attempt)
            if ((display = XOpenDisplay(nullptr)) == nullptr)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_NE(nullptr, display);
        // Xlib's default error handler stays, as in a real host: an X error
        // the plug-in provokes ends the test.
        hostWindow = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 240, 0, 0, 0);
        XMapWindow(display, hostWindow);
        XFlush(display);

        EditorTestProcessor::giveEditor = true;
        effect = createTestInstance();
        ASSERT_NE(nullptr, effect);
        instance = varnoke::VstPluginInstance::fromEffect(effect);
        dispatch(effect, 0);
        HostRecorder::take();
    }

    void TearDown() override
    {
        if (effect != nullptr)
            dispatch(effect, 1);
        if (display != nullptr)
        {
            if (hostWindow != 0)
                XDestroyWindow(display, hostWindow);
            XCloseDisplay(display);
        }
    }

    // The host's UI thread calling effEditIdle at about 100 Hz.
    void idleFor(std::chrono::milliseconds duration)
    {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end)
        {
            dispatch(effect, 19);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    VstIntPtr openEditor() { return dispatch(effect, 14, 0, 0, reinterpret_cast<void*>(hostWindow)); }

    Window parentOf(Window window)
    {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, window, &root, &parent, &children, &count);
        if (children != nullptr)
            XFree(children);
        return parent;
    }

    Display* display = nullptr;
    Window hostWindow = 0;
    AEffect* effect = nullptr;
    varnoke::VstPluginInstance* instance = nullptr;
};

TEST_F(EditorHostingTest, RectangleBeforeOpenThenOpenBuildsAFreshEditor)
{
    ERect* rect = nullptr;
    const VstIntPtr answer = dispatch(effect, 13, 0, 0, &rect);
    ASSERT_NE(0, answer);
    ASSERT_EQ(reinterpret_cast<VstIntPtr>(rect), answer);
    EXPECT_EQ(0, rect->top);
    EXPECT_EQ(0, rect->left);
    EXPECT_EQ(99, rect->bottom);
    EXPECT_EQ(420, rect->right);
    ASSERT_NE(nullptr, instance->getEditorContainer());
    EXPECT_FALSE(instance->getEditorContainer()->isAttached());
    const int constructedBeforeOpen = TestEditor::constructed;

    ASSERT_EQ(1, openEditor());
    auto* container = instance->getEditorContainer();
    ASSERT_NE(nullptr, container);
    EXPECT_EQ(constructedBeforeOpen + 1, TestEditor::constructed);
    EXPECT_EQ(&container->getEditor(), instance->getProcessor().getActiveEditor());
    EXPECT_TRUE(container->isOnDesktop());
    EXPECT_EQ(420, container->getWidth());
    EXPECT_EQ(99, container->getHeight());
    EXPECT_EQ(hostWindow, parentOf(reinterpret_cast<Window>(container->getWindowHandle())));
    EXPECT_EQ(1, effect->flags & 1);

    EXPECT_EQ(0, dispatch(effect, 15));
    EXPECT_EQ(nullptr, instance->getEditorContainer());
    EXPECT_EQ(nullptr, instance->getProcessor().getActiveEditor());
}

TEST_F(EditorHostingTest, IdlePaintsAndRunsPendingMessages)
{
    ASSERT_EQ(1, openEditor());
    TestEditor::paints = 0;
    std::atomic<bool> messageRan{false};
    std::thread([&] { juce::MessageManager::callAsync([&] { messageRan = true; }); }).join();

    idleFor(std::chrono::milliseconds(400));
    EXPECT_TRUE(messageRan);
    EXPECT_GT(TestEditor::paints.load(), 0);

    const auto snapshot = instance->getEditorContainer()->createComponentSnapshot({0, 0, 420, 99});
    const juce::File artifacts(VARNOKE_TEST_ARTIFACTS);
    artifacts.createDirectory();
    const auto file = artifacts.getChildFile("editor-container.png");
    file.deleteFile();
    juce::FileOutputStream stream(file);
    ASSERT_TRUE(stream.openedOk());
    juce::PNGImageFormat().writeImageToStream(snapshot, stream);
    EXPECT_EQ(juce::Colours::darkorange.getARGB(), snapshot.getPixelAt(10, 10).getARGB());
}

TEST_F(EditorHostingTest, EditorFlagFollowsWhatTheProcessorGives)
{
    EditorTestProcessor::giveEditor = false;
    EXPECT_EQ(0, dispatch(effect, 13, 0, 0, nullptr));
    EXPECT_EQ(0, effect->flags & 1);
    EXPECT_EQ(0, openEditor());
    EXPECT_EQ(0, effect->flags & 1);

    dispatch(effect, 0);  // effOpen asks hasEditor again
    EXPECT_EQ(1, effect->flags & 1);

    EditorTestProcessor::giveEditor = true;
    EXPECT_EQ(0, dispatch(effect, 15));
    EXPECT_EQ(1, openEditor());
    EXPECT_EQ(1, effect->flags & 1);
}

TEST_F(EditorHostingTest, ResizingTellsTheHost)
{
    ASSERT_EQ(1, openEditor());
    HostRecorder::take();
    instance->getEditorContainer()->getEditor().setSize(500, 120);
    EXPECT_EQ((std::vector<int>{37, 15}), HostRecorder::take());
    EXPECT_EQ(500, instance->getEditorContainer()->getWidth());
}

// A host that destroys its window under the open editor: the container
// notices at the next repaint and takes its own window down, so nothing is
// drawn into the vanished window after that; closing still works.
TEST_F(EditorHostingTest, HostDestroyingItsWindowTakesTheEditorsWindowDown)
{
    ASSERT_EQ(1, openEditor());
    idleFor(std::chrono::milliseconds(200));
    auto* container = instance->getEditorContainer();
    ASSERT_NE(nullptr, container);
    container->getEditor().repaint();
    idleFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(container->isOnDesktop()) << "taken down while the host's window exists";

    XDestroyWindow(display, hostWindow);
    XSync(display, False);
    hostWindow = 0;
    container->getEditor().repaint();
    idleFor(std::chrono::milliseconds(300));
    EXPECT_FALSE(container->isOnDesktop());
    EXPECT_FALSE(container->isAttached());

    const int paintsAfterwards = TestEditor::paints;
    container->getEditor().repaint();
    idleFor(std::chrono::milliseconds(300));
    EXPECT_EQ(paintsAfterwards, TestEditor::paints.load()) << "painted without a window";
    EXPECT_EQ(0, dispatch(effect, 15));
    EXPECT_EQ(nullptr, instance->getEditorContainer());
}

// Another thread must not hang when the message thread is not dispatching:
// the call gives up, and a close is finished by the timer later.
TEST_F(EditorHostingTest, OtherThreadNeverWaitsForAnIdleMessageThread)
{
    ASSERT_EQ(1, openEditor());

    const auto started = std::chrono::steady_clock::now();
    auto otherOpen = std::async(std::launch::async, [&] { return openEditor(); });
    ASSERT_EQ(std::future_status::ready, otherOpen.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(0, otherOpen.get());
    auto otherClose = std::async(std::launch::async, [&] { return dispatch(effect, 15); });
    ASSERT_EQ(std::future_status::ready, otherClose.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(0, otherClose.get());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_NE(nullptr, instance->getEditorContainer());

    idleFor(std::chrono::milliseconds(600));
    EXPECT_EQ(nullptr, instance->getEditorContainer());
}

TEST_F(EditorHostingTest, OtherThreadIsServedWhileTheHostIdles)
{
    auto otherRect = std::async(std::launch::async,
                                [&]
                                {
                                    ERect* rect = nullptr;
                                    dispatch(effect, 13, 0, 0, &rect);
                                    return rect;
                                });
    while (otherRect.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        dispatch(effect, 19);
    const ERect* rect = otherRect.get();
    ASSERT_NE(nullptr, rect);
    EXPECT_EQ(420, rect->right);
}
}  // namespace
}  // namespace varnoke::test::boundary
