// Hosts that spread the plug-in over several threads, through the built
// Varnoke.so in the test host's own X11 windows: instances created on a thread
// that exits or never idles while another thread runs the editors, an
// instance closed off the UI thread while that thread is busy, and a host that
// reopens the editor from inside the plug-in's own notification. Screenshots
// land in build/test-artifacts/.

#include "HostWindowTestFixture.h"
#include "RgbImage.h"
#include "TestArtifacts.h"
#include "X11HostWindow.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace varnoke::test
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const PixelRect editorArea{0, 0, 420, 99};
const PixelRect namePanel{270, 0, 150, 99};
const PixelRect lowKnob{13, 13, 56, 48};
constexpr int colourTolerance = 2;
constexpr auto idlePeriod = 20ms;

// VSTPluginMain and effOpen, as a host does on whatever thread it likes.
AEffect* createInstance(PluginLibrary& library)
{
    AEffect* effect = library.create(RecordingHost::callback);
    if (effect != nullptr)
        dispatch(effect, effOpen);
    return effect;
}

// The calls a host makes when it scans a plug-in.
void scan(AEffect* effect)
{
    char text[256] = {};
    dispatch(effect, effGetEffectName, 0, 0, text);
    dispatch(effect, effGetVendorString, 0, 0, text);
    dispatch(effect, effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent"));
    for (int index = 0; index < effect->numParams; ++index)
        dispatch(effect, effGetParamName, index, 0, text);
}

class HostThreadsTest : public HostWindowTest
{
protected:
    void TearDown() override
    {
        HostWindowTest::TearDown();
        otherWindow.reset();
    }

    bool showsEditor(const X11HostWindow& target) const
    {
        return compareImages(target.grab(editorArea), background, namePanel, colourTolerance).differingPixels == 0;
    }

    // Idles the given instances from the calling thread until done() or the timeout.
    static bool idleUntil(const std::vector<AEffect*>& idled, const std::function<bool()>& done,
                          Clock::duration timeout = 10s)
    {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end)
        {
            for (auto* effect : idled)
                dispatch(effect, effEditIdle);
            if (done())
                return true;
            std::this_thread::sleep_for(idlePeriod);
        }
        return done();
    }

    // What a host's UI thread saw of one editor's life.
    struct EditorRun
    {
        VstIntPtr rectAnswer = 0;
        VstIntPtr openAnswer = 0;
        bool painted = false;
        bool knobFollowedTheHost = false;
        bool windowGoneAfterClose = false;
        RgbImage shot;
    };

    // The UI thread's part: asks for the size, opens the editor in the host's
    // window, idles until it paints, moves a knob through the host (the
    // editor's refresh timer shows it) and closes the editor.
    EditorRun runEditor(AEffect* effect, bool idleFirst) const
    {
        EditorRun run;
        if (idleFirst)
            idleUntil(
                {effect}, [] { return false; }, 5 * idlePeriod);
        ERect* rect = nullptr;
        run.rectAnswer = dispatch(effect, effEditGetRect, 0, 0, &rect);
        run.openAnswer = dispatch(effect, effEditOpen, 0, 0, hostWindow->getNativeHandle());
        if (run.openAnswer != 1)
            return run;

        run.painted = idleUntil({effect}, [&] { return showsEditor(*hostWindow); });
        const RgbImage before = hostWindow->grab(editorArea);
        effect->setParameter(effect, 0, 0.9f);
        run.knobFollowedTheHost =
            idleUntil({effect}, [&]
                      { return compareImages(hostWindow->grab(editorArea), before, lowKnob, 0).differingPixels > 0; });
        run.shot = hostWindow->grab(editorArea);

        dispatch(effect, effEditClose);
        run.windowGoneAfterClose = hostWindow->queryChildren().empty();
        return run;
    }

    std::unique_ptr<X11HostWindow> otherWindow;
};

//==============================================================================
// How the host treats the thread that creates the instances, while its UI
// thread, another one, runs the editor.
struct CreatorShape
{
    const char* name;
    // Runs on the creating thread after it created the instances.
    std::function<void(const std::vector<AEffect*>&)> afterCreating;
    bool creatorExits;  // a loader thread that ends before the editor opens; else it lives on
    bool creatorScans;  // meanwhile it creates, scans and closes other instances
    bool uiIdlesFirst;
};

const CreatorShape creatorShapes[] = {
    {"LoaderThreadThatExits", [](const auto& effects) { scan(effects[0]); }, true, false, false},
    {"ScannerThatNeverIdles", [](const auto& effects) { scan(effects[0]); }, false, true, false},
    // The creator asked for the editor's size itself, so it acted as the
    // message thread once, but it never idles: the UI thread that idles takes over.
    {"CreatorThatNeverIdles",
     [](const auto& effects)
     {
         ERect* rect = nullptr;
         dispatch(effects[0], effEditGetRect, 0, 0, &rect);
     },
     false, false, true},
};

class EditorOnAnotherThreadTest : public HostThreadsTest, public ::testing::WithParamInterface<CreatorShape>
{
};

TEST_P(EditorOnAnotherThreadTest, UiThreadRunsTheEditorWhereTheCreatorCannot)
{
    const CreatorShape& shape = GetParam();

    // The host's UI thread starts first: a thread started after the loader
    // ended could get the loader's thread id again and pass for it.
    std::promise<std::vector<AEffect*>> created;
    std::shared_future<std::vector<AEffect*>> creatorDone = created.get_future().share();
    std::promise<void> uiMayStart;
    EditorRun run;
    std::thread ui(
        [&, start = uiMayStart.get_future()]() mutable
        {
            start.wait();
            const auto effects = creatorDone.get();
            if (effects[0] == nullptr || effects[1] == nullptr)
                return;
            // An instance of its own when a scanner runs, else one of the creator's.
            AEffect* own = shape.creatorScans ? createInstance(*library) : nullptr;
            run = runEditor(own != nullptr ? own : effects[0], shape.uiIdlesFirst);
            if (own != nullptr)
                dispatch(own, effClose);
        });

    // The creating thread: the first VSTPluginMain in the process.
    std::atomic<bool> stopScanning{false};
    std::atomic<int> scanned{0};
    std::thread creator(
        [&]
        {
            std::vector<AEffect*> effects{createInstance(*library), createInstance(*library)};
            if (effects[0] != nullptr)
                shape.afterCreating(effects);
            created.set_value(effects);
            while (!shape.creatorExits && !stopScanning)
            {
                if (shape.creatorScans)
                    if (AEffect* other = createInstance(*library))
                    {
                        scan(other);
                        dispatch(other, effClose);
                        ++scanned;
                    }
                std::this_thread::sleep_for(5ms);
            }
        });
    const auto effects = creatorDone.get();
    for (auto* effect : effects)
        if (effect != nullptr)
            live.push_back(effect);  // the fixture closes them from this thread
    if (shape.creatorExits)
        creator.join();
    uiMayStart.set_value();
    ui.join();
    stopScanning = true;
    if (creator.joinable())
        creator.join();
    ASSERT_NE(nullptr, effects[0]);
    ASSERT_NE(nullptr, effects[1]);

    saveArtifact(run.shot, std::string("editor-from-ui-thread-") + shape.name + ".png");
    EXPECT_NE(0, run.rectAnswer);
    ASSERT_EQ(1, run.openAnswer) << "the UI thread could not open the editor";
    EXPECT_TRUE(run.painted) << "the editor never painted while the UI thread idled";
    EXPECT_TRUE(run.knobFollowedTheHost) << "the editor's timer never ran on the UI thread";
    EXPECT_TRUE(run.windowGoneAfterClose);
    if (shape.creatorScans)
    {
        EXPECT_GT(scanned.load(), 0) << "the scanner never ran alongside";
    }

    // This thread, which never touched an editor, closes the instances
    // whose editor ran on the UI thread; its timer goes with them.
}

INSTANTIATE_TEST_SUITE_P(HostThreads, EditorOnAnotherThreadTest, ::testing::ValuesIn(creatorShapes),
                         [](const auto& info) { return std::string(info.param.name); });

//==============================================================================
// Two editors open on the UI thread; a worker closes one instance while the UI
// thread is busy for a little longer than the plug-in waits for it, then the
// UI thread goes back to idling the other. The closed editor is deleted on the
// UI thread when it idles again, and nothing of the closed instance reaches
// the host after effClose.
struct BusyUiThread
{
    const char* name;
    // Busy in the host's own code, or inside the closed instance's display
    // refresh (sent from its editor's knob, on the UI thread), where the
    // plug-in's code for that editor is still running underneath.
    bool busyInsideTheClosedEditorsCallback;
};

const BusyUiThread busyUiThreads[] = {{"ElsewhereInTheHost", false}, {"InsideTheClosedEditorsCallback", true}};

// The host's answer to a display refresh: when armed for that instance,
// closes it from a worker and keeps the UI thread busy meanwhile.
struct ClosingFromWorkerHost
{
    static inline std::atomic<AEffect*> closeOnRefresh{nullptr};
    static inline std::thread worker;
    static inline std::atomic<VstIntPtr> closeAnswer{-1};

    static void startClosing(AEffect* effect)
    {
        worker = std::thread([effect] { closeAnswer = dispatch(effect, effClose); });
    }

    static VstIntPtr callback(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt)
    {
        const VstIntPtr answer = RecordingHost::callback(effect, opcode, index, value, ptr, opt);
        AEffect* armed = effect;
        if (opcode == audioMasterUpdateDisplay && effect != nullptr &&
            closeOnRefresh.compare_exchange_strong(armed, nullptr))
        {
            startClosing(effect);
            std::this_thread::sleep_for(busyTime);
        }
        return answer;
    }

    static constexpr auto busyTime = 252ms;
};

class ClosedOffTheUiThreadTest : public HostThreadsTest, public ::testing::WithParamInterface<BusyUiThread>
{
};

TEST_P(ClosedOffTheUiThreadTest, EditorIsDeletedOnTheUiThreadAndTheOtherKeepsWorking)
{
    const bool insideCallback = GetParam().busyInsideTheClosedEditorsCallback;
    std::string whyNot;
    otherWindow = X11HostWindow::open({0, 400, 440, 120}, whyNot);
    ASSERT_NE(nullptr, otherWindow) << whyNot;
    AEffect* kept = openInstance();
    ASSERT_NE(nullptr, kept);
    ASSERT_EQ(1, dispatch(kept, effEditOpen, 0, 0, otherWindow->getNativeHandle()));

    for (int round = 0; round < 3; ++round)
    {
        AEffect* closed = openInstance(ClosingFromWorkerHost::callback);
        ASSERT_NE(nullptr, closed);
        live.erase(std::remove(live.begin(), live.end(), closed), live.end());  // the worker closes it
        ASSERT_EQ(1, dispatch(closed, effEditOpen, 0, 0, hostWindow->getNativeHandle()));
        ASSERT_TRUE(idleUntil({closed, kept}, [&] { return showsEditor(*hostWindow) && showsEditor(*otherWindow); }));

        ClosingFromWorkerHost::closeAnswer = -1;
        if (insideCallback)
        {
            // The next knob write-back of the closed editor sends the refresh.
            ClosingFromWorkerHost::closeOnRefresh = closed;
            closed->setParameter(closed, 0, 0.7f);
            dispatch(closed, effEditClose);
            ASSERT_EQ(1, dispatch(closed, effEditOpen, 0, 0, hostWindow->getNativeHandle()));
            dispatch(closed, effEditIdle);
            ASSERT_EQ(nullptr, ClosingFromWorkerHost::closeOnRefresh.load()) << "no display refresh came";
        }
        else
        {
            ClosingFromWorkerHost::startClosing(closed);
            std::this_thread::sleep_for(ClosingFromWorkerHost::busyTime);
        }

        // The UI thread idles the other editor at once and often, while the
        // worker may still be in effClose.
        const auto idleEnd = Clock::now() + 300ms;
        while (ClosingFromWorkerHost::closeAnswer == -1 || Clock::now() < idleEnd)
        {
            dispatch(kept, effEditIdle);
            std::this_thread::sleep_for(1ms);
        }
        ClosingFromWorkerHost::worker.join();
        EXPECT_EQ(1, ClosingFromWorkerHost::closeAnswer.load()) << round;
        RecordingHost::reset();

        const RgbImage before = otherWindow->grab(editorArea);
        kept->setParameter(kept, 0, round == 1 ? 0.2f : 0.8f);
        EXPECT_TRUE(
            idleUntil({kept}, [&]
                      { return compareImages(otherWindow->grab(editorArea), before, lowKnob, 0).differingPixels > 0; }))
            << "the remaining editor stopped following its instance, round " << round;
        EXPECT_TRUE(hostWindow->queryChildren().empty()) << "the closed editor's window outlived the next idle calls";
        EXPECT_EQ(std::vector<int>{}, RecordingHost::opcodes(closed)) << "the closed instance called the host";
    }
    saveArtifact(otherWindow->grab(editorArea),
                 std::string("editor-kept-after-other-closed-off-thread-") + GetParam().name + ".png");
}

INSTANTIATE_TEST_SUITE_P(HostThreads, ClosedOffTheUiThreadTest, ::testing::ValuesIn(busyUiThreads),
                         [](const auto& info) { return std::string(info.param.name); });

//==============================================================================
// Opening the editor with non-zero parameters sends audioMasterUpdateDisplay
// once the knobs write back. This host answers that by reopening the editor,
// for as long as it is told (a few seconds): every reopened editor writes back
// again. Each idle call must still return within its time.
struct ReopeningHost
{
    static inline void* window = nullptr;
    static inline std::atomic<Clock::rep> reopenUntil{0};
    static inline std::atomic<int> reopened{0};

    static VstIntPtr callback(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt)
    {
        const VstIntPtr answer = RecordingHost::callback(effect, opcode, index, value, ptr, opt);
        if (opcode == audioMasterUpdateDisplay && effect != nullptr &&
            Clock::now().time_since_epoch().count() < reopenUntil.load())
        {
            ++reopened;
            effect->dispatcher(effect, effEditOpen, 0, 0, window, 0.0f);
        }
        return answer;
    }
};

TEST_F(HostThreadsTest, IdleStaysBoundedWhenTheHostReopensTheEditorFromItsCallback)
{
    AEffect* effect = openInstance(ReopeningHost::callback);
    ASSERT_NE(nullptr, effect);
    effect->setParameter(effect, 0, 0.4f);
    effect->setParameter(effect, 2, 0.7f);
    ReopeningHost::window = hostWindow->getNativeHandle();
    ReopeningHost::reopened = 0;
    constexpr auto reopeningTime = 3s;
    ReopeningHost::reopenUntil = (Clock::now() + reopeningTime).time_since_epoch().count();

    ASSERT_EQ(1, dispatch(effect, effEditOpen, 0, 0, hostWindow->getNativeHandle()));
    Clock::duration longestIdle{};
    const auto end = Clock::now() + reopeningTime + 1s;
    while (Clock::now() < end)
    {
        const auto started = Clock::now();
        dispatch(effect, effEditIdle);
        longestIdle = std::max(longestIdle, Clock::now() - started);
        std::this_thread::sleep_for(10ms);
    }
    RecordProperty("longest_idle_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(longestIdle).count()));
    RecordProperty("reopened", ReopeningHost::reopened.load());

    EXPECT_GT(ReopeningHost::reopened.load(), 1) << "the host never reopened the editor, so nothing was tested";
    EXPECT_LT(longestIdle, 1s) << "an idle call ran until the host stopped reopening";

    // Once the host calms down, one working editor is left.
    EXPECT_TRUE(idleUntil({effect}, [&] { return showsEditor(*hostWindow); }));
    EXPECT_EQ(1u, hostWindow->queryChildren().size());
    saveArtifact(hostWindow->grab(editorArea), "editor-after-reopening-host.png");
}
}  // namespace
}  // namespace varnoke::test
