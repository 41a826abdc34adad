// The editor through the built Varnoke.so, opened in the test host's own X11
// window on a real X server: what the window shows, how a knob reacts to the
// pointer and to the host, and how the editor goes away. The host calls
// effEditIdle from its UI thread (the plug-in's message thread) as Linux hosts
// do; screenshots land in build/test-artifacts/.

#include "HostWindowTestFixture.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"

#include "support/BitPatterns.h"

#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const PixelRect editorArea{0, 0, 420, 99};

struct Knob
{
    const char* name;
    PixelRect bounds;
};
const Knob knobs[] = {{"low", {13, 13, 56, 48}}, {"high", {92, 13, 56, 48}}, {"output", {183, 13, 56, 48}}};
const Knob& lowKnob = knobs[0];

// Together these cover everything outside the knobs, where the window must
// show the background picture as it is.
struct BackgroundArea
{
    const char* name;
    PixelRect area;
};
const BackgroundArea backgroundAreas[] = {
    {"wood above the knobs", {0, 0, 270, 13}},
    {"wood left of the knobs", {0, 13, 13, 48}},
    {"wood between the low and high knobs", {69, 13, 23, 48}},
    {"wood between the high and output knobs", {148, 13, 35, 48}},
    {"wood right of the knobs", {239, 13, 31, 48}},
    {"label text", {0, 61, 270, 38}},
    {"name panel", {270, 0, 150, 99}},
};

// Rendering an opaque picture unscaled into a 24-bit window leaves its colours
// as they are; a little slack covers a server that rounds.
constexpr int colourTolerance = 2;

struct Offset
{
    int dx, dy;
};

class EditorInHostWindowTest : public HostWindowTest
{
protected:
    void SetUp() override
    {
        HostWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        effect = openInstance();
        ASSERT_NE(nullptr, effect);
        idledEffects = {effect};
    }

    void TearDown() override
    {
        HostWindowTest::TearDown();
        otherWindows.clear();
    }

    // Another top-level window of the host, below the others.
    X11HostWindow& openAnotherWindow()
    {
        std::string whyNot;
        const int y = 260 + 140 * static_cast<int>(otherWindows.size() + 1);
        otherWindows.push_back(X11HostWindow::open({0, y, 440, 120}, whyNot));
        return *otherWindows.back();
    }

    static VstIntPtr openEditor(AEffect* target, const X11HostWindow& window)
    {
        return dispatch(target, effEditOpen, 0, 0, window.getNativeHandle());
    }
    VstIntPtr openEditor() { return openEditor(effect, *hostWindow); }
    VstIntPtr closeEditor() { return dispatch(effect, effEditClose); }

    // The host's UI thread idles every open editor.
    void idleOnce()
    {
        for (auto* target : idledEffects)
            dispatch(target, effEditIdle);
    }

    // One round of idle calls every idlePeriod.
    void idleFor(Clock::duration duration)
    {
        const auto end = Clock::now() + duration;
        do
        {
            idleOnce();
            std::this_thread::sleep_for(idlePeriod);
        } while (Clock::now() < end);
    }

    bool idleUntil(const std::function<bool()>& done, Clock::duration timeout = 10s)
    {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end)
        {
            idleOnce();
            if (done())
                return true;
            std::this_thread::sleep_for(idlePeriod);
        }
        return done();
    }

    static RgbImage screenshot(const X11HostWindow& window) { return window.grab(editorArea); }
    RgbImage screenshot() const { return screenshot(*hostWindow); }

    bool showsBackground(const RgbImage& shot) const
    {
        for (const auto& part : backgroundAreas)
            if (compareImages(shot, background, part.area, colourTolerance).differingPixels != 0)
                return false;
        return true;
    }

    // Idles until the window shows an editor.
    void waitForPaint(const X11HostWindow& window)
    {
        ASSERT_TRUE(idleUntil([&] { return showsBackground(screenshot(window)); })) << "the editor never painted";
        idleFor(5 * idlePeriod);  // the fresh knobs' pending notifications run too
    }

    void openAndWaitForPaint()
    {
        ASSERT_EQ(1, openEditor());
        waitForPaint(*hostWindow);
    }

    // Presses the first button at the first point (relative to the knob's
    // centre), drags through the others and releases, idling between steps.
    void drag(X11HostWindow& window, const Knob& knob, const std::vector<Offset>& path)
    {
        const int centreX = knob.bounds.x + knob.bounds.width / 2;
        const int centreY = knob.bounds.y + knob.bounds.height / 2;
        window.movePointerTo(centreX + path.front().dx, centreY + path.front().dy);
        idleFor(2 * idlePeriod);
        window.pressButton();
        idleFor(2 * idlePeriod);
        for (std::size_t step = 1; step < path.size(); ++step)
        {
            window.movePointerTo(centreX + path[step].dx, centreY + path[step].dy);
            idleFor(2 * idlePeriod);
        }
        window.releaseButton();
        idleFor(3 * idlePeriod);
    }
    void drag(const Knob& knob, const std::vector<Offset>& path) { drag(*hostWindow, knob, path); }

    float parameter(int index) const { return effect->getParameter(effect, index); }

    std::vector<std::unique_ptr<X11HostWindow>> otherWindows;
    AEffect* effect = nullptr;
    std::vector<AEffect*> idledEffects;
    std::chrono::milliseconds idlePeriod{30};
};

// Pressed above-left of a knob's centre and dragged clockwise over the top
// to 45 degrees right of 12 o'clock: the rotary knob follows the pointer's angle,
// which ends at (0.25 pi + 2 pi - 1.2 pi) / 1.6 pi of the way from 0 to 10.
const std::vector<Offset> clockwiseOverTheTop = {{-11, -11}, {-8, -13}, {-4, -15}, {0, -16},
                                                 {4, -15},   {8, -13},  {11, -11}};
constexpr float valueAfterClockwiseDrag = 0.65625f;

// Values whose way through a knob and back (times 10, then divided by 10 in
// double and narrowed) changes their bits, so a write-back shows.
constexpr float lowValue = 0.83f;
constexpr float processValue = 0.456789f;
constexpr float outputValue = 0.876543f;

float throughAKnob(float value)
{
    return static_cast<float>(static_cast<double>(value * 10.0f) / 10.0);
}

//==============================================================================
// How often the host idles the editor: as hosts do (20-40 ms), and rarely.
class EditorIdledEveryTest : public EditorInHostWindowTest,
                             public ::testing::WithParamInterface<std::chrono::milliseconds>
{
protected:
    void SetUp() override
    {
        idlePeriod = GetParam();
        EditorInHostWindowTest::SetUp();
    }
};

TEST_P(EditorIdledEveryTest, ShowsTheBackgroundAndTheKnobsInTheHostWindow)
{
    ERect* rect = nullptr;
    ASSERT_NE(0, dispatch(effect, effEditGetRect, 0, 0, &rect));
    ASSERT_NE(nullptr, rect);
    EXPECT_EQ((std::vector<int>{0, 0, 99, 420}), (std::vector<int>{rect->top, rect->left, rect->bottom, rect->right}));

    ASSERT_EQ(1, openEditor());
    const auto children = hostWindow->queryChildren();
    ASSERT_EQ(1u, children.size()) << "the editor's window is not inside the host's";

    const bool painted = idleUntil([&] { return showsBackground(screenshot()); });
    const RgbImage shot = screenshot();
    saveArtifact(shot, "editor-in-host-window-" + std::to_string(idlePeriod.count()) + "ms.png");
    ASSERT_TRUE(painted) << "the host window never showed the background";

    for (const auto& part : backgroundAreas)
    {
        const auto difference = compareImages(shot, background, part.area, 0);
        EXPECT_LE(difference.largestChannelDifference, colourTolerance) << part.name;
    }
    // The knob pictures cover much of their areas.
    for (const auto& knob : knobs)
    {
        const auto difference = compareImages(shot, background, knob.bounds, 16);
        EXPECT_GT(difference.differingPixels, knob.bounds.width * knob.bounds.height / 4) << knob.name;
    }
}

TEST_P(EditorIdledEveryTest, DraggingAKnobChangesItsParameterAsADisplayRefresh)
{
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    const RgbImage before = screenshot();
    RecordingHost::reset();

    drag(lowKnob, clockwiseOverTheTop);

    EXPECT_NEAR(valueAfterClockwiseDrag, parameter(0), 1e-4f);
    EXPECT_SAME_BITS(0.0f, parameter(1));
    EXPECT_SAME_BITS(0.5f, parameter(2));

    // Each change of the knob: audioMasterIOChanged then audioMasterUpdateDisplay,
    // never automation. While the button is down the plug-in may ask for idle.
    std::vector<int> refreshes;
    int idleRequests = 0;
    for (const int opcode : RecordingHost::opcodes(effect))
        if (opcode == audioMasterIdle)
            ++idleRequests;
        else
            refreshes.push_back(opcode);
    RecordProperty("idle_requests_while_held", idleRequests);
    ASSERT_GE(refreshes.size(), 2u);
    ASSERT_EQ(0u, refreshes.size() % 2);
    for (std::size_t i = 0; i < refreshes.size(); i += 2)
    {
        EXPECT_EQ(audioMasterIOChanged, refreshes[i]) << "call " << i;
        EXPECT_EQ(audioMasterUpdateDisplay, refreshes[i + 1]) << "call " << i + 1;
    }
    EXPECT_EQ(0, RecordingHost::count(audioMasterAutomate));

    ASSERT_TRUE(idleUntil([&] { return compareImages(screenshot(), before, lowKnob.bounds, 0).differingPixels > 0; }))
        << "the knob picture did not change";
    const RgbImage after = screenshot();
    saveArtifact(after, "editor-after-knob-drag-" + std::to_string(idlePeriod.count()) + "ms.png");
    EXPECT_TRUE(showsBackground(after));
    for (const auto& knob : {knobs[1], knobs[2]})
        EXPECT_EQ(0, compareImages(after, before, knob.bounds, 0).differingPixels) << knob.name;
}

INSTANTIATE_TEST_SUITE_P(HostIdle, EditorIdledEveryTest, ::testing::Values(20ms, 40ms, 100ms),
                         [](const auto& info) { return std::to_string(info.param.count()) + "ms"; });

//==============================================================================
// The knob's other handling (double-click to the default, fine drag with shift
// or ctrl, the wheel) reaches a VST 2.4 host as its drags do: each change of
// value as audioMasterIOChanged then audioMasterUpdateDisplay, never as
// automation or an edit gesture.
constexpr int audioMasterBeginEdit = 43;
constexpr int audioMasterEndEdit = 44;

enum class Interaction
{
    doubleClick,
    shiftDrag,
    ctrlDrag,
    wheel,
    shiftWheel,
};

struct KnobInteractionCase
{
    const char* name;
    Interaction interaction;
    int parameterIndex;
    float startValue;
    float expectedValue;
};

class KnobInteractionInHostTest : public EditorInHostWindowTest,
                                  public ::testing::WithParamInterface<KnobInteractionCase>
{
protected:
    void perform(const KnobInteractionCase& c)
    {
        const Knob& knob = knobs[c.parameterIndex];
        const int centreX = knob.bounds.x + knob.bounds.width / 2;
        const int centreY = knob.bounds.y + knob.bounds.height / 2;
        switch (c.interaction)
        {
        case Interaction::doubleClick:
            hostWindow->movePointerTo(centreX, centreY);
            idleFor(2 * idlePeriod);
            hostWindow->clickButton();
            hostWindow->clickButton();
            idleFor(3 * idlePeriod);
            break;
        case Interaction::shiftDrag:
        case Interaction::ctrlDrag:
        {
            const KeySym key = c.interaction == Interaction::shiftDrag ? XK_Shift_L : XK_Control_L;
            hostWindow->pressKey(key);
            drag(knob, clockwiseOverTheTop);
            hostWindow->releaseKey(key);
            break;
        }
        case Interaction::wheel:
        case Interaction::shiftWheel:
            if (c.interaction == Interaction::shiftWheel)
                hostWindow->pressKey(XK_Shift_L);
            hostWindow->movePointerTo(centreX, centreY);
            idleFor(2 * idlePeriod);
            for (int notch = 0; notch < 2; ++notch)
            {
                hostWindow->clickButton(4);
                idleFor(idlePeriod);
            }
            if (c.interaction == Interaction::shiftWheel)
                hostWindow->releaseKey(XK_Shift_L);
            break;
        }
    }
};

TEST_P(KnobInteractionInHostTest, ReachesTheHostAsDisplayRefreshesOnly)
{
    const KnobInteractionCase& c = GetParam();
    effect->setParameter(effect, c.parameterIndex, c.startValue);
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    RecordingHost::reset();

    perform(c);
    ASSERT_TRUE(idleUntil([&] { return std::abs(parameter(c.parameterIndex) - c.expectedValue) < 1e-4f; }))
        << parameter(c.parameterIndex);
    idleFor(600ms);  // the wheel's touch ends once it has rested
    if (c.interaction == Interaction::doubleClick)
    {
        EXPECT_SAME_BITS(c.expectedValue, parameter(c.parameterIndex));
    }

    std::vector<int> refreshes;
    for (const int opcode : RecordingHost::opcodes(effect))
        if (opcode != audioMasterIdle)
            refreshes.push_back(opcode);
    ASSERT_GE(refreshes.size(), 2u);
    ASSERT_EQ(0u, refreshes.size() % 2);
    for (std::size_t i = 0; i < refreshes.size(); i += 2)
    {
        EXPECT_EQ(audioMasterIOChanged, refreshes[i]) << "call " << i;
        EXPECT_EQ(audioMasterUpdateDisplay, refreshes[i + 1]) << "call " << i + 1;
    }
    for (const int opcode : {static_cast<int>(audioMasterAutomate), audioMasterBeginEdit, audioMasterEndEdit})
        EXPECT_EQ(0, RecordingHost::count(opcode)) << "opcode " << opcode;

    // Released, the window shows no value label: the background is as it was.
    const RgbImage after = screenshot();
    saveArtifact(after, std::string("editor-after-") + c.name + ".png");
    EXPECT_TRUE(showsBackground(after));
}

// The drags turn the low knob from 0.5 over 90 degrees: a tenth of 90/288 of the range.
INSTANTIATE_TEST_SUITE_P(
    Interactions, KnobInteractionInHostTest,
    ::testing::Values(KnobInteractionCase{"double-click", Interaction::doubleClick, 0, 0.7f, 0.0f},
                      KnobInteractionCase{"double-click-output", Interaction::doubleClick, 2, 0.1f, 0.5f},
                      KnobInteractionCase{"shift-drag", Interaction::shiftDrag, 0, 0.5f, 0.5f + 0.03125f},
                      KnobInteractionCase{"ctrl-drag", Interaction::ctrlDrag, 0, 0.5f, 0.5f + 0.03125f},
                      KnobInteractionCase{"wheel", Interaction::wheel, 2, 0.5f, 0.52f},
                      KnobInteractionCase{"shift-wheel", Interaction::shiftWheel, 1, 0.5f, 0.502f}),
    [](const auto& info)
    {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

//==============================================================================
// The host sets parameters on its UI thread and, as automation, on another
// thread while the UI thread idles; the knobs end at the latest values, with
// nothing written back and nothing told to the host.
TEST_F(EditorInHostWindowTest, HostChangesOnAnyThreadMoveTheKnobs)
{
    for (const float value : {lowValue, processValue, outputValue})
        ASSERT_NE(bitsOf(value), bitsOf(throughAKnob(value))) << value;

    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    const RgbImage before = screenshot();
    RecordingHost::reset();

    // The UI thread has the last word on the low knob, the automation on the others.
    effect->setParameter(effect, 0, 0.2f);
    effect->setParameter(effect, 1, 0.9f);
    effect->setParameter(effect, 0, lowValue);
    std::atomic<bool> automationDone{false};
    std::thread automation(
        [&]
        {
            for (int step = 0; step <= 100; ++step)
            {
                const float ramp = static_cast<float>(step) / 100.0f;
                effect->setParameter(effect, 1, ramp);
                effect->setParameter(effect, 2, 1.0f - ramp);
                std::this_thread::sleep_for(1ms);
            }
            effect->setParameter(effect, 1, processValue);
            effect->setParameter(effect, 2, outputValue);
            automationDone = true;
        });
    const bool automationFinished = idleUntil([&] { return automationDone.load(); });
    automation.join();
    ASSERT_TRUE(automationFinished);
    idleFor(400ms);

    EXPECT_EQ(std::vector<int>{}, RecordingHost::opcodes(effect));
    EXPECT_SAME_BITS(lowValue, parameter(0));
    EXPECT_SAME_BITS(processValue, parameter(1));
    EXPECT_SAME_BITS(outputValue, parameter(2));

    const RgbImage moved = screenshot();
    saveArtifact(moved, "editor-after-host-changes.png");
    EXPECT_TRUE(showsBackground(moved));
    for (const auto& knob : knobs)
        EXPECT_GT(compareImages(moved, before, knob.bounds, 0).differingPixels, 0) << knob.name << " did not move";

    // A freshly opened editor reads the same values; its knobs are the reference.
    EXPECT_EQ(0, closeEditor());
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    const RgbImage reference = screenshot();
    saveArtifact(reference, "editor-reopened-after-host-changes.png");
    for (const auto& knob : knobs)
    {
        const auto difference = compareImages(moved, reference, knob.bounds, colourTolerance);
        EXPECT_EQ(0, difference.differingPixels) << knob.name << " differs from a fresh editor at the same value";
    }
}

// Values set while the window is closed show when it opens again: the new
// editor writes its non-zero knobs back once, as display refreshes.
TEST_F(EditorInHostWindowTest, ClosingRemovesTheWindowAndReopeningShowsCurrentValues)
{
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(1u, hostWindow->queryChildren().size());
    const RgbImage first = screenshot();

    EXPECT_EQ(0, closeEditor());
    EXPECT_EQ(std::vector<Window>{}, hostWindow->queryChildren()) << "the editor's window outlived effEditClose";

    RecordingHost::reset();
    effect->setParameter(effect, 0, lowValue);
    effect->setParameter(effect, 1, processValue);
    EXPECT_EQ(std::vector<int>{}, RecordingHost::opcodes(effect));

    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(1u, hostWindow->queryChildren().size());
    const RgbImage reopened = screenshot();
    saveArtifact(reopened, "editor-reopened.png");
    EXPECT_GT(compareImages(reopened, first, knobs[0].bounds, 0).differingPixels, 0);
    EXPECT_GT(compareImages(reopened, first, knobs[1].bounds, 0).differingPixels, 0);
    EXPECT_EQ(0, compareImages(reopened, first, knobs[2].bounds, 0).differingPixels);

    EXPECT_EQ(3, RecordingHost::count(audioMasterIOChanged));
    EXPECT_EQ(3, RecordingHost::count(audioMasterUpdateDisplay));
    EXPECT_EQ(0, RecordingHost::count(audioMasterAutomate));
    EXPECT_SAME_BITS(throughAKnob(lowValue), parameter(0));
    EXPECT_SAME_BITS(throughAKnob(processValue), parameter(1));
    EXPECT_SAME_BITS(0.5f, parameter(2));
}

// Hosts often close the instance with its window still open. The window goes
// with it; as that was the last instance, JUCE's GUI layer goes down, and a
// later instance brings it up again with a working window.
TEST_F(EditorInHostWindowTest, ClosingTheInstanceTakesTheWindowAndALaterOneWorks)
{
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    closeInstance(effect);
    EXPECT_EQ(std::vector<Window>{}, hostWindow->queryChildren()) << "the editor's window outlived effClose";

    effect = openInstance();
    ASSERT_NE(nullptr, effect);
    idledEffects = {effect};
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    EXPECT_EQ(1u, hostWindow->queryChildren().size());
    RecordingHost::reset();
    drag(lowKnob, clockwiseOverTheTop);
    EXPECT_NEAR(valueAfterClockwiseDrag, parameter(0), 1e-4f);
}

// A host may ask for the size first; that editor goes when the window opens,
// before the message loop ran, and must write nothing back.
TEST_F(EditorInHostWindowTest, EditorBuiltForTheRectangleWritesNothingBack)
{
    effect->setParameter(effect, 0, lowValue);
    RecordingHost::reset();

    ERect* rect = nullptr;
    ASSERT_NE(0, dispatch(effect, effEditGetRect, 0, 0, &rect));
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    idleFor(300ms);

    // One refresh each for the open editor's low and output knobs.
    EXPECT_EQ(2, RecordingHost::count(audioMasterIOChanged));
    EXPECT_EQ(2, RecordingHost::count(audioMasterUpdateDisplay));
    EXPECT_EQ(1u, hostWindow->queryChildren().size());

    // Asking again while it is open reuses the open editor.
    ERect* again = nullptr;
    ASSERT_NE(0, dispatch(effect, effEditGetRect, 0, 0, &again));
    EXPECT_EQ((std::vector<int>{0, 0, 99, 420}),
              (std::vector<int>{again->top, again->left, again->bottom, again->right}));
    idleFor(300ms);
    EXPECT_EQ(2, RecordingHost::count(audioMasterUpdateDisplay));
}

// A host that never idles the editor: nothing of JUCE's runs, so nothing
// paints and pointer input waits, but opening and closing must neither hang
// nor crash, and a later window works normally.
TEST_F(EditorInHostWindowTest, EditorNeverIdledNeitherHangsNorCrashes)
{
    ASSERT_EQ(1, openEditor());
    std::this_thread::sleep_for(400ms);
    const RgbImage unidled = screenshot();
    saveArtifact(unidled, "editor-never-idled.png");
    RecordProperty("painted_without_idle", showsBackground(unidled) ? 1 : 0);

    const int centreX = lowKnob.bounds.x + lowKnob.bounds.width / 2;
    const int centreY = lowKnob.bounds.y + lowKnob.bounds.height / 2;
    hostWindow->movePointerTo(centreX - 11, centreY - 11);
    hostWindow->pressButton();
    hostWindow->movePointerTo(centreX + 11, centreY - 11);
    hostWindow->releaseButton();
    std::this_thread::sleep_for(300ms);
    RecordProperty("low_after_unidled_drag", std::to_string(parameter(0)));

    const auto started = Clock::now();
    EXPECT_EQ(0, closeEditor());
    EXPECT_LT(Clock::now() - started, 1s);
    EXPECT_EQ(std::vector<Window>{}, hostWindow->queryChildren());

    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    RecordProperty("low_after_reopening", std::to_string(parameter(0)));
    const auto started2 = Clock::now();
    EXPECT_EQ(0, closeEditor());
    EXPECT_LT(Clock::now() - started2, 1s);
}

// Two instances share the plug-in's message thread; each editor follows its
// own instance only, and the host hears of a knob move from that instance.
TEST_F(EditorInHostWindowTest, TwoEditorsFollowTheirOwnInstances)
{
    X11HostWindow& secondWindow = openAnotherWindow();
    AEffect* second = openInstance();
    ASSERT_NE(nullptr, second);
    idledEffects.push_back(second);
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(1, openEditor(second, secondWindow));
    waitForPaint(secondWindow);
    if (HasFatalFailure())
        return;
    const RgbImage firstBefore = screenshot();
    const RgbImage secondBefore = screenshot(secondWindow);
    RecordingHost::reset();

    std::thread([&] { second->setParameter(second, 1, processValue); }).join();
    drag(lowKnob, clockwiseOverTheTop);
    idleFor(200ms);

    EXPECT_NEAR(valueAfterClockwiseDrag, parameter(0), 1e-4f);
    EXPECT_SAME_BITS(0.0f, parameter(1));
    EXPECT_SAME_BITS(0.0f, second->getParameter(second, 0));
    EXPECT_SAME_BITS(processValue, second->getParameter(second, 1));
    EXPECT_GT(RecordingHost::count(audioMasterUpdateDisplay, effect), 0);
    // The second may ask for idle while the button is held, wherever it is.
    for (const int opcode : RecordingHost::opcodes(second))
        EXPECT_EQ(audioMasterIdle, opcode);

    const RgbImage firstAfter = screenshot();
    const RgbImage secondAfter = screenshot(secondWindow);
    saveArtifact(secondAfter, "second-editor-after-automation.png");
    EXPECT_GT(compareImages(firstAfter, firstBefore, knobs[0].bounds, 0).differingPixels, 0);
    EXPECT_EQ(0, compareImages(firstAfter, firstBefore, knobs[1].bounds, 0).differingPixels);
    EXPECT_EQ(0, compareImages(secondAfter, secondBefore, knobs[0].bounds, 0).differingPixels);
    EXPECT_GT(compareImages(secondAfter, secondBefore, knobs[1].bounds, 0).differingPixels, 0);
    EXPECT_EQ(0, dispatch(second, effEditClose));
}

// Hosts commonly answer audioMasterIdle by idling their plug-ins' editors,
// which calls back into the plug-in while it is painting or in its timer.
VstIntPtr hostThatIdlesWhenAsked(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    const VstIntPtr answer = RecordingHost::callback(effect, opcode, index, value, ptr, opt);
    if (opcode == audioMasterIdle && effect != nullptr)
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    return answer;
}

TEST_F(EditorInHostWindowTest, HostIdlingFromItsIdleAnswerStillDrags)
{
    closeInstance(effect);
    effect = openInstance(hostThatIdlesWhenAsked);
    ASSERT_NE(nullptr, effect);
    idledEffects = {effect};
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    RecordingHost::reset();

    drag(lowKnob, clockwiseOverTheTop);

    EXPECT_GT(RecordingHost::count(audioMasterIdle), 0) << "the plug-in never asked, so nothing was re-entered";
    EXPECT_NEAR(valueAfterClockwiseDrag, parameter(0), 1e-4f);
    idleFor(100ms);
    EXPECT_TRUE(showsBackground(screenshot()));
}

// A host whose UI runs on another thread than the one that created the
// instance: the editor opcodes reach the message thread while it idles, and
// the editor then paints and follows that thread's parameter changes.
TEST_F(EditorInHostWindowTest, EditorOpenedFromAnotherHostThreadPaintsAndFollows)
{
    std::atomic<int> opened{-1};
    std::thread hostUi(
        [&]
        {
            const auto answer = openEditor();
            effect->setParameter(effect, 0, lowValue);
            effect->setParameter(effect, 2, outputValue);
            opened = static_cast<int>(answer);
        });
    const bool answered = idleUntil([&] { return opened.load() != -1; });
    hostUi.join();
    ASSERT_TRUE(answered);
    ASSERT_EQ(1, opened.load());
    waitForPaint(*hostWindow);
    if (HasFatalFailure())
        return;
    idleFor(200ms);
    const RgbImage followed = screenshot();
    saveArtifact(followed, "editor-opened-from-another-thread.png");

    std::thread closer([&] { dispatch(effect, effEditClose); });
    const bool closed = idleUntil([&] { return hostWindow->queryChildren().empty(); });
    closer.join();
    ASSERT_TRUE(closed);
    openAndWaitForPaint();
    if (HasFatalFailure())
        return;
    const RgbImage reference = screenshot();
    for (const auto& knob : knobs)
        EXPECT_EQ(0, compareImages(followed, reference, knob.bounds, colourTolerance).differingPixels) << knob.name;
}
}  // namespace
}  // namespace varnoke::test
