// The factory presets as a VST3 host finds them in Varnoke.vst3: one root
// unit whose program list names them (IUnitInfo), and a program-change
// parameter that, when a program is chosen, sets the three knobs and tells
// the host of each as an edit, so that the processor plays the preset.

#include "FormatTestSupport.h"
#include "Vst3Host.h"

#include <pluginterfaces/vst/ivstunits.h>

#include <gtest/gtest.h>

#include <map>

namespace varnoke::test::vst3
{
namespace
{
using namespace released_ids;

constexpr Vst::ParamID programChange = 0x5072676d;  // 'Prgm'

// The bank as users see it, in order, with the knob positions each sets.
struct ExpectedProgram
{
    const char* name;
    KnobSettings knobs;
};
const ExpectedProgram expectedPrograms[] = {
    {"Flat", {0.0f, 0.0f, 0.5f}},    {"Warm low end", {0.2f, 0.0f, 0.35f}}, {"Presence", {0.0f, 0.1f, 0.4f}},
    {"Bright", {0.0f, 0.4f, 0.25f}}, {"Smile", {0.2f, 0.2f, 0.3f}},         {"Loudness", {0.3f, 0.1f, 0.5f}},
};
constexpr int32 numPrograms = static_cast<int32>(std::size(expectedPrograms));

// The edits a host receives, in order, with the last value performed for each parameter.
class EditRecorder final : public HostObject<Vst::IComponentHandler>
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
    tresult PLUGIN_API performEdit(Vst::ParamID id, Vst::ParamValue value) override
    {
        performed[id] = value;
        return record("perform", id);
    }
    tresult PLUGIN_API endEdit(Vst::ParamID id) override { return record("end", id); }
    tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }

    std::vector<std::string> calls;
    std::map<Vst::ParamID, double> performed;

private:
    tresult record(const char* what, Vst::ParamID id)
    {
        calls.push_back(std::string(what) + " " + std::to_string(id));
        return kResultOk;
    }
};

class Vst3ProgramsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        module = Module::load(builtBundleLibrary(), whyNot);
        ASSERT_NE(nullptr, module) << whyNot;
        instance = std::make_unique<Instance>(*module);
        ASSERT_TRUE(instance->isComplete());
        Vst::IUnitInfo* queried = nullptr;
        ASSERT_EQ(kResultOk,
                  instance->controller().queryInterface(Vst::IUnitInfo::iid, reinterpret_cast<void**>(&queried)))
            << "the controller offers no IUnitInfo";
        ASSERT_NE(nullptr, queried);
        unitInfo = owned(queried);  // the reference the query added
        ASSERT_EQ(kResultOk, instance->controller().setComponentHandler(&edits));
    }

    void TearDown() override
    {
        if (instance != nullptr)
            instance->controller().setComponentHandler(nullptr);
    }

    static double programValue(int32 program) { return static_cast<double>(program) / (numPrograms - 1); }

    std::unique_ptr<Module> module;
    std::unique_ptr<Instance> instance;
    IPtr<Vst::IUnitInfo> unitInfo;
    EditRecorder edits;
    Vst2Reference vst2;
};

TEST_F(Vst3ProgramsTest, OneRootUnitListsTheFactoryPresets)
{
    ASSERT_EQ(1, unitInfo->getUnitCount());
    Vst::UnitInfo unit{};
    ASSERT_EQ(kResultOk, unitInfo->getUnitInfo(0, unit));
    EXPECT_EQ(Vst::kRootUnitId, unit.id);
    EXPECT_EQ(Vst::kNoParentUnitId, unit.parentUnitId);
    EXPECT_EQ(static_cast<Vst::ProgramListID>(programChange), unit.programListId);

    ASSERT_EQ(1, unitInfo->getProgramListCount());
    Vst::ProgramListInfo list{};
    ASSERT_EQ(kResultOk, unitInfo->getProgramListInfo(0, list));
    EXPECT_EQ(unit.programListId, list.id);
    EXPECT_EQ("Factory Presets", toUtf8(list.name));
    ASSERT_EQ(numPrograms, list.programCount);
    for (int32 program = 0; program < numPrograms; ++program)
    {
        Vst::String128 name{};
        ASSERT_EQ(kResultOk, unitInfo->getProgramName(list.id, program, name));
        EXPECT_EQ(expectedPrograms[program].name, toUtf8(name));

        // The program-change parameter shows the same name for the program's value.
        Vst::String128 text{};
        ASSERT_EQ(kResultOk, instance->controller().getParamStringByValue(programChange, programValue(program), text));
        EXPECT_EQ(expectedPrograms[program].name, toUtf8(text));
    }
    Vst::String128 name{};
    for (const int32 program : {-1, numPrograms})
        EXPECT_NE(kResultOk, unitInfo->getProgramName(list.id, program, name)) << program;
    EXPECT_NE(kResultOk, unitInfo->getProgramName(list.id + 1, 0, name));
}

// Choosing a program moves each knob with one begin, perform and end for the
// host; the host hands the performed values to the processor as parameter
// changes, and it then plays exactly what the VST 2.4 plug-in plays at the
// preset's positions. The saved state is the VST 2.4 chunk of those positions.
TEST_F(Vst3ProgramsTest, ChoosingAProgramSetsTheKnobsAndTellsTheHost)
{
    const StereoSignal input = noiseSignal(6000, 19);
    for (int32 program = 0; program < numPrograms; ++program)
    {
        const ExpectedProgram& expected = expectedPrograms[program];
        SCOPED_TRACE(expected.name);
        Instance host(*module);
        ASSERT_TRUE(host.isComplete());
        EditRecorder hostEdits;
        ASSERT_EQ(kResultOk, host.controller().setComponentHandler(&hostEdits));
        ASSERT_TRUE(host.start(48000.0, 512));
        // From another program, so that every program is a change (Flat is where an instance starts).
        const int32 other = program == 0 ? numPrograms - 1 : 0;
        ASSERT_EQ(kResultOk, host.controller().setParamNormalized(programChange, programValue(other)));
        hostEdits.calls.clear();
        hostEdits.performed.clear();
        ASSERT_EQ(kResultOk, host.controller().setParamNormalized(programChange, programValue(program)));

        std::vector<std::string> expectedCalls;
        for (const Vst::ParamID id : {lowContour, process, output})
            for (const char* call : {"begin ", "perform ", "end "})
                expectedCalls.push_back(call + std::to_string(id));
        EXPECT_EQ(expectedCalls, hostEdits.calls);

        const std::pair<Vst::ParamID, float> knobs[] = {{lowContour, expected.knobs.lowContour},
                                                        {process, expected.knobs.process},
                                                        {output, expected.knobs.output}};
        std::vector<std::pair<Vst::ParamID, double>> changes;
        for (const auto& [id, position] : knobs)
        {
            EXPECT_EQ(position, static_cast<float>(hostEdits.performed[id])) << id;
            EXPECT_EQ(position, static_cast<float>(host.controller().getParamNormalized(id))) << id;
            changes.emplace_back(id, hostEdits.performed[id]);
        }
        host.setParameters(changes);
        EXPECT_TRUE(sameBits(vst2.render(expected.knobs, input, 48000.0, 512), host.render(input, 512)));
        const auto chunk = vst2.chunkFor(expected.knobs);
        const auto state = host.componentState();
        ASSERT_GE(state.size(), chunk.size());
        EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), state.begin()));
        host.stop();
        host.controller().setComponentHandler(nullptr);
    }
}

// Hosts hand every parameter's value back on their own (restoring a project,
// syncing a controller): the same program again, or a value that names no
// other program, leaves the knobs as they are and sends no edit.
TEST_F(Vst3ProgramsTest, TheSameProgramAgainLeavesTheKnobsAlone)
{
    ASSERT_EQ(kResultOk, instance->controller().setParamNormalized(programChange, programValue(4)));
    ASSERT_EQ(kResultOk, instance->controller().setParamNormalized(lowContour, 0.75));
    edits.calls.clear();
    for (const double value : {programValue(4), programValue(4) + 0.01})
        ASSERT_EQ(kResultOk, instance->controller().setParamNormalized(programChange, value));
    EXPECT_TRUE(edits.calls.empty());
    EXPECT_EQ(0.75, instance->controller().getParamNormalized(lowContour));

    // A fresh instance stands on the first program, Flat: choosing it sets nothing either.
    Instance fresh(*module);
    ASSERT_TRUE(fresh.isComplete());
    ASSERT_EQ(kResultOk, fresh.controller().setParamNormalized(lowContour, 0.5));
    ASSERT_EQ(kResultOk, fresh.controller().setParamNormalized(programChange, 0.0));
    EXPECT_EQ(0.5, fresh.controller().getParamNormalized(lowContour));
}
}  // namespace
}  // namespace varnoke::test::vst3

namespace varnoke::test::vst3
{
namespace
{
// The saved state holds the knobs, not a program: after a restore the
// program-change parameter names the program with exactly those positions, or
// the first one, as in a new instance; the knobs stay as restored.
TEST_F(Vst3ProgramsTest, ARestoredStateShowsTheProgramItsKnobsAreAt)
{
    const struct
    {
        KnobSettings knobs;
        int32 program;
    } cases[] = {
        {{0.2f, 0.2f, 0.3f}, 4},        // Smile
        {{0.0f, 0.4f, 0.25f}, 3},       // Bright
        {{0.2f, 0.2f, 0.31f}, 0},       // near Smile, but no program's
        {{0.123f, 0.456f, 0.789f}, 0},  // none
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.program);
        ASSERT_EQ(kResultOk, instance->controller().setParamNormalized(programChange, programValue(2)));
        edits.calls.clear();
        auto restored = vst2.chunkFor(c.knobs);
        ASSERT_EQ(kResultOk, instance->restoreState(restored));
        MemoryStream state(instance->componentState());
        ASSERT_EQ(kResultOk, instance->controller().setComponentState(&state));
        EXPECT_EQ(programValue(c.program), instance->controller().getParamNormalized(programChange));
        EXPECT_EQ(c.knobs.lowContour, static_cast<float>(instance->controller().getParamNormalized(lowContour)));
        EXPECT_EQ(c.knobs.output, static_cast<float>(instance->controller().getParamNormalized(output)));
        EXPECT_TRUE(edits.calls.empty());
    }
}
}  // namespace
}  // namespace varnoke::test::vst3
