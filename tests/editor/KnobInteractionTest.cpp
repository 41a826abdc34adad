// The knobs as a musician handles them, through mouse events delivered to the
// window's peer as the X11 event loop delivers them: double-click to the
// default, fine drag with shift or ctrl, the wheel, the value label while a
// knob is touched, and the touch gestures around the value changes. Needs an
// X display (scripts/test.sh runs the tests under xvfb-run).

#include "KeptXConnection.h"
#include "MessageLoop.h"
#include "ValueText.h"
#include "VarnokeAudioProcessor.h"
#include "VarnokeAudioProcessorEditor.h"
#include "VarnokeKnob.h"
#include "X11Embedding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace varnoke;

namespace
{
using namespace std::chrono_literals;

// The processor with its knob gestures and parameter writes logged in one
// sequence, as a host would hear them.
class GestureLoggingProcessor : public VarnokeAudioProcessor, private KnobGestureListener
{
public:
    GestureLoggingProcessor()
    {
        VarnokeAudioProcessorEditor::installFactory(*this);
        getKnobMirror().setGestureListener(this);
    }
    ~GestureLoggingProcessor() override { getKnobMirror().setGestureListener(nullptr); }

    void setParameter(int index, float newValue) override
    {
        if (logging)
            entries.push_back("set " + std::to_string(index));
        VarnokeAudioProcessor::setParameter(index, newValue);
    }

    // Starts a fresh log.
    void startLogging()
    {
        entries.clear();
        logging = true;
    }
    std::vector<std::string> takeLog() { return std::exchange(entries, {}); }

private:
    void knobGestureBegan(int index) override { entries.push_back("begin " + std::to_string(index)); }
    void knobGestureEnded(int index) override { entries.push_back("end " + std::to_string(index)); }

    bool logging = false;
    std::vector<std::string> entries;
};

// The log with consecutive writes of one parameter counted once.
std::vector<std::string> collapsed(const std::vector<std::string>& log)
{
    std::vector<std::string> result;
    for (const auto& entry : log)
        if (result.empty() || result.back() != entry || entry.rfind("set", 0) != 0)
            result.push_back(entry);
    return result;
}

struct KnobUnderTest
{
    const char* name;
    int index;
};
const KnobUnderTest lowKnob{"low", VarnokeAudioProcessor::lowContourIndex};
const KnobUnderTest highKnob{"high", VarnokeAudioProcessor::processIndex};
const KnobUnderTest outputKnob{"output", VarnokeAudioProcessor::outputIndex};

// Mouse input as the window system reports it: keyboard modifiers in JUCE's
// current modifiers (where the X11 peer keeps them), buttons in the event.
class PeerMouse
{
public:
    explicit PeerMouse(juce::Component& window)
        : component(window)
    {
    }

    void setKeys(juce::ModifierKeys keys) { keyboard = keys; }

    void move(juce::Point<float> at) { send(at, {}); }
    void press(juce::Point<float> at, int button = juce::ModifierKeys::leftButtonModifier)
    {
        held = button;
        send(at, juce::ModifierKeys(button));
    }
    void dragTo(juce::Point<float> at) { send(at, juce::ModifierKeys(held)); }
    void release(juce::Point<float> at)
    {
        held = 0;
        send(at, {});
    }
    void click(juce::Point<float> at, int button = juce::ModifierKeys::leftButtonModifier)
    {
        press(at, button);
        release(at);
    }

    // Notches of the wheel, up for positive counts.
    void turnWheel(juce::Point<float> at, int notches)
    {
        juce::MouseWheelDetails wheel{};
        wheel.deltaY = static_cast<float>(notches) * 50.0f / 256.0f;
        juce::ModifierKeys::currentModifiers = keyboard;
        component.getPeer()->handleMouseWheel(juce::MouseInputSource::InputSourceType::mouse, at, nextTime(), wheel);
    }

    // Lets time pass, so the next press is not part of a double-click.
    void pause() { time += 2000; }

private:
    void send(juce::Point<float> at, juce::ModifierKeys buttons)
    {
        const auto mods = keyboard.withFlags(buttons.getRawFlags());
        juce::ModifierKeys::currentModifiers = mods;
        component.getPeer()->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, at, mods,
                                              juce::MouseInputSource::defaultPressure,
                                              juce::MouseInputSource::defaultOrientation, nextTime());
    }

    juce::int64 nextTime() { return time += 20; }

    juce::Component& component;
    juce::ModifierKeys keyboard;
    int held = 0;
    juce::int64 time = juce::Time::currentTimeMillis();
};

class KnobInteraction : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!test::keepXServerConnection())
            GTEST_SKIP() << "needs an X display (scripts/test.sh runs the tests under xvfb-run)";
        // The window-manager atoms JUCE's windows use, on a server where no window manager ran.
        X11Embedding::prepareDisplay();
    }

    void TearDown() override
    {
        juce::ModifierKeys::currentModifiers = {};
        mouse.reset();
        editor.reset();
    }

    // Opens the window on the desktop, with the parameters at these values.
    void open(float low, float process, float output)
    {
        processor.setParameter(lowKnob.index, low);
        processor.setParameter(highKnob.index, process);
        processor.setParameter(outputKnob.index, output);
        editor.reset(processor.createEditorIfNeeded());
        editor->setTopLeftPosition(40, 700);
        editor->addToDesktop(0);
        editor->setVisible(true);
        ASSERT_NE(nullptr, editor->getPeer());
        mouse = std::make_unique<PeerMouse>(*editor);
        message_loop::runPending();
        processor.startLogging();
    }

    VarnokeKnob& knob(const KnobUnderTest& which)
    {
        for (auto* child : editor->getChildren())
            if (auto* found = dynamic_cast<VarnokeKnob*>(child); found != nullptr && found->getName() == which.name)
                return *found;
        throw std::runtime_error(std::string("no knob ") + which.name);
    }

    // A point at this angle (degrees clockwise from 12 o'clock) and distance from a knob's centre.
    juce::Point<float> onKnob(const KnobUnderTest& which, double degrees, float radius = 16.0f)
    {
        const auto centre = knob(which).getBounds().getCentre().toFloat();
        const double radians = juce::degreesToRadians(degrees);
        return centre + juce::Point<float>(radius * static_cast<float>(std::sin(radians)),
                                           -radius * static_cast<float>(std::cos(radians)));
    }
    juce::Point<float> centreOf(const KnobUnderTest& which) { return knob(which).getBounds().getCentre().toFloat(); }

    // Drags round a knob from one angle to another in 5 degree steps.
    void dragAround(const KnobUnderTest& which, double fromDegrees, double toDegrees)
    {
        const double step = toDegrees > fromDegrees ? 5.0 : -5.0;
        for (double degrees = fromDegrees + step; step > 0 ? degrees <= toDegrees : degrees >= toDegrees;
             degrees += step)
            mouse->dragTo(onKnob(which, degrees));
    }

    // The knob position a plain drag shows at this pointer angle.
    static double knobValueAtAngle(double degrees)
    {
        double fromStart = degrees - 216.0;
        while (fromStart < 0.0)
            fromStart += 360.0;
        return fromStart / 288.0 * 10.0;
    }

    juce::Image snapshot() { return editor->createComponentSnapshot(editor->getLocalBounds()); }

    static bool samePixels(const juce::Image& a, const juce::Image& b)
    {
        if (a.getBounds() != b.getBounds())
            return false;
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt(x, y).getARGB() != b.getPixelAt(x, y).getARGB())
                    return false;
        return true;
    }

    void saveScreenshot(const juce::Image& image, const juce::String& name)
    {
        const juce::File directory(VARNOKE_TEST_ARTIFACTS_DIR);
        directory.createDirectory();
        const juce::File file = directory.getChildFile(name + ".png");
        file.deleteFile();
        juce::FileOutputStream stream(file);
        juce::PNGImageFormat().writeImageToStream(image, stream);
    }

    // The window's value label, when it shows.
    const KnobValueLabel* visibleLabel()
    {
        for (auto* child : editor->getChildren())
            if (auto* label = dynamic_cast<KnobValueLabel*>(child); label != nullptr && label->isVisible())
                return label;
        return nullptr;
    }

    float parameter(const KnobUnderTest& which) { return processor.getParameter(which.index); }

    juce::ScopedJuceInitialiser_GUI gui;
    GestureLoggingProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    std::unique_ptr<PeerMouse> mouse;
};

std::string begin(const KnobUnderTest& knob)
{
    return "begin " + std::to_string(knob.index);
}
std::string set(const KnobUnderTest& knob)
{
    return "set " + std::to_string(knob.index);
}
std::string end(const KnobUnderTest& knob)
{
    return "end " + std::to_string(knob.index);
}

//==============================================================================
struct DoubleClick
{
    KnobUnderTest knob;
    float startValue;
    float defaultValue;
    double angle;  // where the clicks land; NAN for the knob's centre
};

void PrintTo(const DoubleClick& c, std::ostream* os)
{
    *os << c.knob.name << " from " << c.startValue << (std::isnan(c.angle) ? " at the centre" : " off centre");
}

class DoubleClickTest : public KnobInteraction, public ::testing::WithParamInterface<DoubleClick>
{
};

// Back to the parameter's default, bit for bit. The first click is a touch
// of its own (it turns the knob to the pointer, as a click always has); the
// second press resets the knob within its own touch.
TEST_P(DoubleClickTest, ReturnsTheKnobToItsDefault)
{
    const DoubleClick& c = GetParam();
    open(c.knob.index == 0 ? c.startValue : 0.0f, c.knob.index == 1 ? c.startValue : 0.0f,
         c.knob.index == 2 ? c.startValue : 0.5f);
    const auto at = std::isnan(c.angle) ? centreOf(c.knob) : onKnob(c.knob, c.angle);

    mouse->click(at);
    mouse->click(at);
    message_loop::runPending();

    const float value = parameter(c.knob);
    EXPECT_EQ(0, std::memcmp(&value, &c.defaultValue, sizeof value)) << value;
    EXPECT_EQ(static_cast<double>(c.defaultValue * 10.0f), knob(c.knob).getValue());

    const auto log = collapsed(processor.takeLog());
    ASSERT_GE(log.size(), 3u);
    // The second touch: begin, the reset, end; nothing of it outside.
    EXPECT_EQ((std::vector<std::string>{begin(c.knob), set(c.knob), end(c.knob)}),
              std::vector<std::string>(log.end() - 3, log.end()));
    EXPECT_EQ(begin(c.knob), log.front());
    EXPECT_FALSE(knob(c.knob).isTouched());
}

INSTANTIATE_TEST_SUITE_P(Knobs, DoubleClickTest,
                         ::testing::Values(DoubleClick{lowKnob, 0.7f, 0.0f, NAN},
                                           DoubleClick{highKnob, 0.3f, 0.0f, NAN},
                                           DoubleClick{outputKnob, 0.2f, 0.5f, NAN},
                                           DoubleClick{outputKnob, 0.9f, 0.5f, 100.0},
                                           DoubleClick{lowKnob, 1.0f, 0.0f, -30.0}));

// Two clicks too far apart in time are two clicks, not a reset.
TEST_F(KnobInteraction, SlowClicksAreNoDoubleClick)
{
    open(0.0f, 0.0f, 0.2f);
    mouse->click(centreOf(outputKnob));
    mouse->pause();
    mouse->click(centreOf(outputKnob));
    message_loop::runPending();
    EXPECT_EQ(0.2f, parameter(outputKnob));
    EXPECT_EQ((std::vector<std::string>{begin(outputKnob), end(outputKnob), begin(outputKnob), end(outputKnob)}),
              processor.takeLog());
}

//==============================================================================
struct FineDrag
{
    const char* modifier;
    int flags;
};

void PrintTo(const FineDrag& f, std::ostream* os)
{
    *os << f.modifier;
}

class FineDragTest : public KnobInteraction, public ::testing::WithParamInterface<FineDrag>
{
};

// The same path turns the knob a tenth as far as a plain drag does, from
// where the knob stood (no jump to the pointer).
TEST_P(FineDragTest, MovesATenthOfAPlainDrag)
{
    open(0.0f, 0.4f, 0.5f);
    const double from = -60.0, to = 60.0;

    // Plain: the knob follows the pointer's angle.
    mouse->press(onKnob(highKnob, from));
    dragAround(highKnob, from, to);
    mouse->release(onKnob(highKnob, to));
    const double plainStart = knobValueAtAngle(from), plainEnd = knobValueAtAngle(to);
    EXPECT_NEAR(plainEnd, knob(highKnob).getValue(), 1e-5);
    const double plainMove = plainEnd - plainStart;

    // Fine, from a known position.
    mouse->pause();
    processor.setParameter(highKnob.index, 0.4f);
    const double startValue = knob(highKnob).getValue();
    processor.takeLog();
    mouse->setKeys(juce::ModifierKeys(GetParam().flags));
    mouse->press(onKnob(highKnob, from));
    EXPECT_EQ(startValue, knob(highKnob).getValue()) << "the press made the knob jump";
    dragAround(highKnob, from, to);
    mouse->release(onKnob(highKnob, to));
    mouse->setKeys({});

    EXPECT_NEAR(startValue + plainMove / 10.0, knob(highKnob).getValue(), 1e-5);
    EXPECT_NEAR(static_cast<float>((startValue + plainMove / 10.0) / 10.0), parameter(highKnob), 1e-6f);
    EXPECT_EQ((std::vector<std::string>{begin(highKnob), set(highKnob), end(highKnob)}),
              collapsed(processor.takeLog()));
}

INSTANTIATE_TEST_SUITE_P(Modifiers, FineDragTest,
                         ::testing::Values(FineDrag{"shift", juce::ModifierKeys::shiftModifier},
                                           FineDrag{"ctrl", juce::ModifierKeys::ctrlModifier}),
                         [](const auto& info) { return std::string(info.param.modifier); });

// Pressing shift mid-drag and letting go of it again never makes the knob
// jump: each part of the path moves it by its own share, finely or not.
TEST_F(KnobInteraction, ModifierPressedAndReleasedMidDragMakesNoJump)
{
    open(0.0f, 0.0f, 0.5f);
    mouse->press(onKnob(lowKnob, -60.0));
    dragAround(lowKnob, -60.0, -30.0);
    const double beforeShift = knob(lowKnob).getValue();
    EXPECT_NEAR(knobValueAtAngle(-30.0), beforeShift, 1e-5);

    mouse->setKeys(juce::ModifierKeys(juce::ModifierKeys::shiftModifier));
    mouse->dragTo(onKnob(lowKnob, -30.0));  // the key alone moves nothing
    EXPECT_NEAR(beforeShift, knob(lowKnob).getValue(), 1e-6);
    dragAround(lowKnob, -30.0, 30.0);
    const double afterFine = knob(lowKnob).getValue();
    EXPECT_NEAR(beforeShift + 60.0 / 288.0, afterFine, 1e-5);

    mouse->setKeys({});
    mouse->dragTo(onKnob(lowKnob, 30.0));
    EXPECT_NEAR(afterFine, knob(lowKnob).getValue(), 1e-6) << "letting go of shift made the knob jump";
    dragAround(lowKnob, 30.0, 60.0);
    mouse->release(onKnob(lowKnob, 60.0));
    EXPECT_NEAR(afterFine + 30.0 / 288.0 * 10.0, knob(lowKnob).getValue(), 1e-5);
}

// A fine drag stops at the ends of the range.
TEST_F(KnobInteraction, FineDragStopsAtTheEnds)
{
    open(0.0f, 0.995f, 0.5f);
    mouse->setKeys(juce::ModifierKeys(juce::ModifierKeys::shiftModifier));
    mouse->press(onKnob(highKnob, -90.0));
    dragAround(highKnob, -90.0, 90.0);
    mouse->release(onKnob(highKnob, 90.0));
    EXPECT_EQ(1.0f, parameter(highKnob));
}

//==============================================================================
struct WheelSteps
{
    KnobUnderTest knob;
    float startValue;
    int notches;
    bool shift;
    float expectedValue;
    bool changes;
};

void PrintTo(const WheelSteps& w, std::ostream* os)
{
    *os << w.knob.name << " from " << w.startValue << ", " << w.notches << " notches" << (w.shift ? " with shift" : "");
}

class WheelTest : public KnobInteraction, public ::testing::WithParamInterface<WheelSteps>
{
};

// A notch is a hundredth of the range (a thousandth with shift); the steps
// of a burst are one touch, which ends once the wheel has rested.
TEST_P(WheelTest, StepsTheKnobWithinOneTouch)
{
    const WheelSteps& w = GetParam();
    open(w.knob.index == 0 ? w.startValue : 0.0f, w.knob.index == 1 ? w.startValue : 0.0f,
         w.knob.index == 2 ? w.startValue : 0.5f);
    mouse->move(centreOf(w.knob));
    if (w.shift)
        mouse->setKeys(juce::ModifierKeys(juce::ModifierKeys::shiftModifier));
    const int direction = w.notches > 0 ? 1 : -1;
    for (int i = 0; i != w.notches; i += direction)
        mouse->turnWheel(centreOf(w.knob), direction);
    mouse->setKeys({});

    EXPECT_NEAR(w.expectedValue, parameter(w.knob), 1e-6f);
    EXPECT_TRUE(knob(w.knob).isTouched());
    ASSERT_TRUE(message_loop::runUntil([&] { return !knob(w.knob).isTouched(); }, 2s));
    const auto log = collapsed(processor.takeLog());
    if (w.changes)
        EXPECT_EQ((std::vector<std::string>{begin(w.knob), set(w.knob), end(w.knob)}), log);
    else
        EXPECT_EQ((std::vector<std::string>{begin(w.knob), end(w.knob)}), log);
}

INSTANTIATE_TEST_SUITE_P(Steps, WheelTest,
                         ::testing::Values(WheelSteps{outputKnob, 0.5f, 1, false, 0.51f, true},
                                           WheelSteps{outputKnob, 0.5f, -3, false, 0.47f, true},
                                           WheelSteps{lowKnob, 0.2f, 5, true, 0.205f, true},
                                           WheelSteps{highKnob, 0.0f, -1, false, 0.0f, false},  // at the end already
                                           WheelSteps{outputKnob, 0.995f, 2, false, 1.0f, true}));

//==============================================================================
// While a knob is touched the label shows its value as hosts show it, below
// the knob's caption; afterwards the window is pixel for pixel as before.
TEST_F(KnobInteraction, ValueLabelShowsTheHostsTextWhileTouched)
{
    open(0.0f, 0.0f, 0.5f);
    const juce::Image untouched = snapshot();
    EXPECT_EQ(nullptr, visibleLabel());

    mouse->press(onKnob(outputKnob, 0.0));
    const auto* label = visibleLabel();
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(juce::String(core::valueText(core::ValueScale::outputGainDb, 0.5f)), label->getText());
    EXPECT_EQ(juce::String("0.0 dB"), label->getText());
    dragAround(outputKnob, 0.0, 60.0);
    EXPECT_EQ(juce::String(core::valueText(core::ValueScale::outputGainDb, parameter(outputKnob))), label->getText());
    EXPECT_TRUE(label->getText().startsWith("+")) << label->getText();

    // Within the window, clear of every knob.
    const auto area = label->getBounds();
    EXPECT_TRUE(editor->getLocalBounds().contains(area));
    for (const auto& other : {lowKnob, highKnob, outputKnob})
        EXPECT_FALSE(area.intersects(knob(other).getBounds())) << other.name;

    const juce::Image touched = snapshot();
    saveScreenshot(touched, "editor-output-knob-touched");
    EXPECT_FALSE(samePixels(untouched, touched));

    mouse->release(onKnob(outputKnob, 60.0));
    EXPECT_EQ(nullptr, visibleLabel());
    mouse->click(centreOf(lowKnob));  // touched and released again without a move
    processor.setParameter(outputKnob.index, 0.5f);
    message_loop::runPending();
    EXPECT_TRUE(samePixels(untouched, snapshot())) << "the window differs after the touch";
}

struct LabelText
{
    KnobUnderTest knob;
    float value;
    const char* text;
};

void PrintTo(const LabelText& l, std::ostream* os)
{
    *os << l.knob.name << " at " << l.value;
}

class LabelTextTest : public KnobInteraction, public ::testing::WithParamInterface<LabelText>
{
};

TEST_P(LabelTextTest, IsTheHostsValueText)
{
    const LabelText& l = GetParam();
    open(l.knob.index == 0 ? l.value : 0.0f, l.knob.index == 1 ? l.value : 0.0f, l.knob.index == 2 ? l.value : 0.5f);
    mouse->press(centreOf(l.knob));
    const auto* label = visibleLabel();
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(juce::String(l.text), label->getText());
    mouse->release(centreOf(l.knob));
}

INSTANTIATE_TEST_SUITE_P(Values, LabelTextTest,
                         ::testing::Values(LabelText{outputKnob, 0.0f, "-inf dB"},
                                           LabelText{outputKnob, 1.0f, "+6.0 dB"}, LabelText{lowKnob, 0.0f, "0.0 dB"},
                                           LabelText{highKnob, 1.0f, "+15.6 dB"}));

// The wheel shows the label too, until the wheel rests.
TEST_F(KnobInteraction, ValueLabelFollowsTheWheelUntilItRests)
{
    open(0.0f, 0.0f, 0.5f);
    mouse->move(centreOf(highKnob));
    mouse->turnWheel(centreOf(highKnob), 10);
    const auto* label = visibleLabel();
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(juce::String(core::valueText(core::ValueScale::bandBoostDb, parameter(highKnob))), label->getText());
    EXPECT_TRUE(message_loop::runUntil([&] { return visibleLabel() == nullptr; }, 2s));
}

//==============================================================================
// A window closed while a knob is held still ends the touch for the host.
TEST_F(KnobInteraction, ClosingTheWindowMidTouchEndsTheGesture)
{
    open(0.0f, 0.0f, 0.5f);
    mouse->press(onKnob(lowKnob, 0.0));
    mouse.reset();
    editor.reset();
    const auto log = collapsed(processor.takeLog());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(begin(lowKnob), log.front());
    EXPECT_EQ(end(lowKnob), log.back());
}

//==============================================================================
// A parent that records the presses it is given.
struct RecordingParent : juce::Component
{
    void mouseDown(const juce::MouseEvent& e) override { presses.push_back(e.position); }
    std::vector<juce::Point<float>> presses;
};

// Right-clicks are the window's (its menu): the knob hands them on unchanged,
// neither moving nor counting as a touch.
TEST_F(KnobInteraction, PopupMenuClicksGoToTheParent)
{
    RecordingParent parent;
    parent.setBounds(40, 700, 120, 80);
    VarnokeKnob child("child", 5.0);
    child.setSliderStyle(juce::Slider::Rotary);
    child.setRange(0.0, 10.0, 0.0);
    child.setTextBoxStyle(juce::Slider::NoTextBox, false, 80, 20);
    child.setValue(2.0, juce::dontSendNotification);
    child.setBounds(20, 10, 56, 48);
    int touches = 0;
    child.onTouchBegin = [&] { ++touches; };
    parent.addAndMakeVisible(child);
    parent.addToDesktop(0);
    parent.setVisible(true);

    PeerMouse parentMouse(parent);
    const juce::Point<float> at{20.0f + 40.0f, 10.0f + 8.0f};  // right of the knob's top
    parentMouse.press(at, juce::ModifierKeys::rightButtonModifier);
    parentMouse.dragTo(at + juce::Point<float>(6.0f, 10.0f));
    parentMouse.release(at + juce::Point<float>(6.0f, 10.0f));

    ASSERT_EQ(1u, parent.presses.size());
    EXPECT_EQ(at, parent.presses.front()) << "in the parent's coordinates";
    EXPECT_EQ(2.0, child.getValue());
    EXPECT_EQ(0, touches);
}
}  // namespace
