#include "MessageLoop.h"
#include "VarnokeAudioProcessor.h"
#include "VarnokeAudioProcessorEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace varnoke;

namespace
{
using namespace std::chrono_literals;

// The processor with every setParameter call and display refresh logged, in order.
class LoggingProcessor : public VarnokeAudioProcessor, private juce::AudioProcessorListener
{
public:
    LoggingProcessor()
    {
        VarnokeAudioProcessorEditor::installFactory(*this);
        addListener(this);
    }
    ~LoggingProcessor() override { removeListener(this); }

    void setParameter(int index, float newValue) override
    {
        log("setParameter(" + std::to_string(index) + ", " + juce::String(newValue).toStdString() + ")");
        VarnokeAudioProcessor::setParameter(index, newValue);
    }

    std::vector<std::string> takeLog()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(entries, {});
    }

private:
    void log(std::string entry)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(std::move(entry));
    }

    void audioProcessorParameterChanged(juce::AudioProcessor*, int, float) override { log("automation"); }
    void audioProcessorChanged(juce::AudioProcessor*, const juce::AudioProcessorListener::ChangeDetails&) override
    {
        log("updateHostDisplay");
    }

    std::mutex mutex;
    std::vector<std::string> entries;
};

// Counts the knobs' change callbacks, beside the editor's own listener.
struct KnobCallbackCounter : juce::Slider::Listener
{
    void sliderValueChanged(juce::Slider*) override { ++calls; }
    int calls = 0;
};

class EditorWindow : public ::testing::Test
{
protected:
    void setInitialParameters(float low, float process, float output)
    {
        processor.setParameter(0, low);
        processor.setParameter(1, process);
        processor.setParameter(2, output);
        processor.takeLog();
    }

    // Opens the window as the host does, through the processor.
    juce::AudioProcessorEditor& open()
    {
        editor.reset(processor.createEditorIfNeeded());
        for (const char* name : {"low", "high", "output"})
            knob(name).addListener(&knobCallbacks);
        return *editor;
    }

    void close()
    {
        for (const char* name : {"low", "high", "output"})
            knob(name).removeListener(&knobCallbacks);
        editor.reset();
    }

    juce::Slider& knob(const juce::String& name)
    {
        for (auto* child : editor->getChildren())
            if (auto* slider = dynamic_cast<juce::Slider*>(child); slider != nullptr && slider->getName() == name)
                return *slider;
        throw std::runtime_error("no knob " + name.toStdString());
    }

    std::vector<double> knobValues()
    {
        return {knob("low").getValue(), knob("high").getValue(), knob("output").getValue()};
    }

    void saveScreenshot(const juce::String& name)
    {
        const juce::File directory(VARNOKE_TEST_ARTIFACTS_DIR);
        directory.createDirectory();
        const juce::File file = directory.getChildFile(name + ".png");
        file.deleteFile();
        juce::FileOutputStream stream(file);
        juce::PNGImageFormat().writeImageToStream(editor->createComponentSnapshot(editor->getLocalBounds()), stream);
    }

    void TearDown() override
    {
        if (editor != nullptr)
            close();
    }

    juce::ScopedJuceInitialiser_GUI gui;
    LoggingProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    KnobCallbackCounter knobCallbacks;
};

TEST_F(EditorWindow, HasTheFixedSizeAndThreeKnobs)
{
    open();
    EXPECT_EQ(420, editor->getWidth());
    EXPECT_EQ(99, editor->getHeight());
    EXPECT_EQ(&processor, editor->getAudioProcessor());
    EXPECT_EQ(editor.get(), processor.getActiveEditor());

    const std::pair<const char*, juce::Rectangle<int>> knobs[] = {
        {"low", {13, 13, 56, 48}}, {"high", {92, 13, 56, 48}}, {"output", {183, 13, 56, 48}}};
    for (const auto& [name, bounds] : knobs)
    {
        SCOPED_TRACE(name);
        juce::Slider& slider = knob(name);
        EXPECT_EQ(bounds, slider.getBounds());
        EXPECT_EQ(juce::Slider::Rotary, slider.getSliderStyle());
        EXPECT_EQ(juce::Slider::NoTextBox, slider.getTextBoxPosition());
        EXPECT_EQ(0.0, slider.getMinimum());
        EXPECT_EQ(10.0, slider.getMaximum());
        EXPECT_EQ(0.0, slider.getInterval());
        EXPECT_TRUE(slider.isVisible());
        EXPECT_NE(nullptr, dynamic_cast<LookAndFeelVarnoke*>(&slider.getLookAndFeel()));
    }
}

// The knobs load at once; their pending change notifications write every
// non-zero value back when the message loop runs, each with one display refresh.
TEST_F(EditorWindow, OpeningShowsTheParametersAndWritesThemBackOnceTheLoopRuns)
{
    setInitialParameters(0.25f, 0.0f, 0.5f);
    open();
    EXPECT_EQ((std::vector<double>{2.5, 0.0, 5.0}), knobValues());
    EXPECT_TRUE(processor.takeLog().empty());

    message_loop::runPending();
    EXPECT_EQ((std::vector<std::string>{"setParameter(0, 0.25)", "updateHostDisplay", "setParameter(2, 0.5)",
                                        "updateHostDisplay"}),
              processor.takeLog());
    EXPECT_EQ((std::vector<double>{2.5, 0.0, 5.0}), knobValues());
    saveScreenshot("editor-opened");
}

// The host may build an editor only to learn its size.
TEST_F(EditorWindow, EditorClosedBeforeTheLoopRunsWritesNothingBack)
{
    setInitialParameters(0.25f, 0.75f, 0.5f);
    open();
    close();
    message_loop::runFor(100ms);
    EXPECT_TRUE(processor.takeLog().empty());
    EXPECT_EQ(nullptr, processor.getActiveEditor());
}

struct KnobMove
{
    const char* knob;
    int index;
    double knobValue;
    float expectedParameter;
};

void PrintTo(const KnobMove& move, std::ostream* os)
{
    *os << move.knob << " to " << move.knobValue;
}

class KnobMoves : public EditorWindow, public ::testing::WithParamInterface<KnobMove>
{
};

// One setParameter and one display refresh per move, no automation message;
// afterwards the knob shows its parameter as the float holds it.
TEST_P(KnobMoves, SetTheParameterAndRefreshTheHostDisplay)
{
    const KnobMove& move = GetParam();
    setInitialParameters(0.0f, 0.0f, 0.0f);
    open();
    message_loop::runPending();
    processor.takeLog();

    knob(move.knob).setValue(move.knobValue, juce::sendNotificationSync);

    EXPECT_EQ((std::vector<std::string>{"setParameter(" + std::to_string(move.index) + ", " +
                                            juce::String(move.expectedParameter).toStdString() + ")",
                                        "updateHostDisplay"}),
              processor.takeLog());
    EXPECT_EQ(move.expectedParameter, processor.getParameter(move.index));
    EXPECT_EQ(static_cast<double>(move.expectedParameter * 10.0f), knob(move.knob).getValue());
    EXPECT_EQ(1, knobCallbacks.calls) << "the mirroring must not call back";
}

INSTANTIATE_TEST_SUITE_P(Cases, KnobMoves,
                         ::testing::Values(KnobMove{"low", 0, 2.5, 0.25f}, KnobMove{"high", 1, 7.5, 0.75f},
                                           KnobMove{"output", 2, 10.0, 1.0f},  // fully clockwise
                                           KnobMove{"low", 0, 12.0, 1.0f},     // clamped to the range
                                           KnobMove{"high", 1, 10.0 / 3.0, static_cast<float>(1.0 / 3.0)}));

TEST_F(EditorWindow, KnobTurnedFullyAnticlockwiseSetsZero)
{
    setInitialParameters(0.6f, 0.0f, 0.5f);
    open();
    message_loop::runPending();
    processor.takeLog();

    knob("low").setValue(0.0, juce::sendNotificationSync);
    EXPECT_EQ((std::vector<std::string>{"setParameter(0, 0)", "updateHostDisplay"}), processor.takeLog());
    EXPECT_EQ(0.0f, processor.getParameter(0));
}

// On the message thread the host's change reaches the knobs at once, silently.
TEST_F(EditorWindow, HostChangesMoveTheKnobsWithoutCallbacks)
{
    setInitialParameters(0.0f, 0.0f, 0.5f);
    open();
    message_loop::runPending();
    processor.takeLog();
    const int callbacksBefore = knobCallbacks.calls;

    processor.setParameter(1, 0.25f);
    EXPECT_EQ((std::vector<double>{0.0, 2.5, 5.0}), knobValues());
    processor.setParameter(0, 0.3f);
    EXPECT_EQ((std::vector<double>{static_cast<double>(0.3f * 10.0f), 2.5, 5.0}), knobValues());
    processor.setParameter(2, 0.8f);
    processor.setParameter(3, 0.9f);  // no knob: all three keep their values
    processor.setParameter(4, 1.0f);
    EXPECT_EQ((std::vector<double>{static_cast<double>(0.3f * 10.0f), 2.5, static_cast<double>(0.8f * 10.0f)}),
              knobValues());

    message_loop::runFor(100ms);
    EXPECT_EQ(callbacksBefore, knobCallbacks.calls);
    EXPECT_EQ(5u, processor.takeLog().size()) << "only the host's own calls";
}

TEST_F(EditorWindow, ReopeningShowsTheValuesSetWhileClosed)
{
    open();
    message_loop::runPending();
    close();
    processor.setParameter(0, 0.4f);
    processor.setParameter(2, 0.9f);
    open();
    EXPECT_EQ((std::vector<double>{static_cast<double>(0.4f * 10.0f), 0.0, static_cast<double>(0.9f * 10.0f)}),
              knobValues());
}

// Automation playback on another thread: the knobs are touched only on the
// message thread, end at the latest values, and nothing calls back.
TEST_F(EditorWindow, ChangesFromAnotherThreadReachTheKnobsOnTheMessageThread)
{
    setInitialParameters(0.0f, 0.0f, 0.5f);
    open();
    message_loop::runPending();
    processor.takeLog();
    const int callbacksBefore = knobCallbacks.calls;

    std::thread automation(
        [this]
        {
            for (int step = 1; step <= 100; ++step)
            {
                processor.setParameter(0, static_cast<float>(step) / 100.0f);
                processor.setParameter(1, static_cast<float>(100 - step) / 200.0f);
            }
            processor.setParameter(2, 0.7f);
        });
    automation.join();
    EXPECT_EQ((std::vector<double>{0.0, 0.0, 5.0}), knobValues()) << "not touched off the message thread";

    const std::vector<double> latest{10.0, 0.0, static_cast<double>(0.7f * 10.0f)};
    EXPECT_TRUE(message_loop::runUntil([&] { return knobValues() == latest; }));
    message_loop::runFor(100ms);
    EXPECT_EQ(latest, knobValues());
    EXPECT_EQ(callbacksBefore, knobCallbacks.calls);
    EXPECT_EQ(201u, processor.takeLog().size()) << "no setParameter beyond the automation's own";
}

// A host may open the window from another thread, which then holds JUCE's
// lock while the editor is built. Once it lets go, its later parameter changes
// must still leave the knobs to the message thread.
TEST_F(EditorWindow, WindowOpenedFromAnotherThreadIsStillRefreshedOnTheMessageThread)
{
    std::atomic<bool> opened{false}, goAhead{false}, changed{false};
    std::thread hostThread(
        [&]
        {
            {
                const juce::MessageManagerLock lock;
                open();
            }
            opened = true;
            while (!goAhead)
                std::this_thread::yield();
            processor.setParameter(0, 0.3f);
            changed = true;
        });
    const bool openedInTime = message_loop::runUntil([&] { return opened.load(); });
    message_loop::runPending();
    goAhead = true;
    while (!changed)
        std::this_thread::yield();
    hostThread.join();
    ASSERT_TRUE(openedInTime);
    EXPECT_EQ(0.0, knobValues()[0]) << "touched off the message thread";

    EXPECT_TRUE(message_loop::runUntil([&] { return knobValues()[0] == static_cast<double>(0.3f * 10.0f); }));
}

// A refresh still pending when the window closes is simply dropped; the next
// window reads the values afresh.
TEST_F(EditorWindow, PendingRefreshDiesWithTheWindow)
{
    open();
    message_loop::runPending();
    std::thread([this] { processor.setParameter(1, 0.4f); }).join();
    close();
    message_loop::runFor(100ms);
    processor.takeLog();

    open();
    EXPECT_EQ((std::vector<double>{0.0, static_cast<double>(0.4f * 10.0f), 5.0}), knobValues());
    message_loop::runPending();
    EXPECT_EQ((std::vector<std::string>{"setParameter(1, 0.4)", "updateHostDisplay", "setParameter(2, 0.5)",
                                        "updateHostDisplay"}),
              processor.takeLog());
}

// The window as a musician sees it, for review.
TEST_F(EditorWindow, PaintsTheBackgroundAndKnobs)
{
    setInitialParameters(0.25f, 0.6f, 0.5f);
    open();
    message_loop::runPending();
    const juce::Image snapshot = editor->createComponentSnapshot(editor->getLocalBounds());
    saveScreenshot("editor-painted");
    ASSERT_EQ(420, snapshot.getWidth());
    ASSERT_EQ(99, snapshot.getHeight());
    int translucent = 0;
    for (int y = 0; y < 99; ++y)
        for (int x = 0; x < 420; ++x)
            translucent += snapshot.getPixelAt(x, y).getAlpha() != 255 ? 1 : 0;
    EXPECT_EQ(0, translucent);
    // The output knob (0.5) points straight up: its white bar crosses the body's centre.
    EXPECT_GT(snapshot.getPixelAt(183 + 27, 13 + 23).getBrightness(), 0.85f);
    EXPECT_EQ(juce::Colours::black, snapshot.getPixelAt(275, 10));
}
}  // namespace
