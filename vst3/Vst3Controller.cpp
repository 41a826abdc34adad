#include "Vst3Controller.h"

#include "ComponentState.h"
#include "ControllerMessages.h"
#include "EditorView.h"
#include "FactoryPrograms.h"
#include "PluginParts.h"
#include "StreamReading.h"

#include <pluginterfaces/base/ustring.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace varnoke::vst3
{
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// A host parameter whose text comes from the parameter table, with its unit.
// Plain values are the normalized ones, as in release 1.0.0.
class TableParameter final : public Parameter
{
public:
    explicit TableParameter(const ParameterRow& parameterRow)
        : row(parameterRow)
    {
        info.id = row.id;
        UString(info.title, str16BufferSize(String128)).fromAscii(row.title);
        UString(info.shortTitle, str16BufferSize(String128)).fromAscii(row.shortTitle);
        info.units[0] = 0;
        info.stepCount = row.stepCount;
        info.defaultNormalizedValue = row.defaultValue;
        info.unitId = kRootUnitId;
        info.flags = row.flags;
        valueNormalized = row.defaultValue;
    }

    void toString(ParamValue value, String128 text) const override
    {
        UString(text, str16BufferSize(String128)).fromAscii(valueText(row, value).c_str());
    }

    bool fromString(const TChar* text, ParamValue& value) const override
    {
        if (text == nullptr)
            return false;
        std::string ascii;
        for (int i = 0; i < 128 && text[i] != 0; ++i)
        {
            if (text[i] > 127)
                return false;
            ascii += static_cast<char>(text[i]);
        }
        const auto parsed = valueFromText(row, ascii);
        if (!parsed)
            return false;
        value = *parsed;
        return true;
    }

    ParamValue toPlain(ParamValue value) const override { return value; }
    ParamValue toNormalized(ParamValue value) const override { return value; }

private:
    const ParameterRow& row;
};
}  // namespace

Vst3Controller::Vst3Controller() = default;

Vst3Controller::~Vst3Controller()
{
    if (windowModel != nullptr)
    {
        windowModel->getKnobMirror().setGestureListener(nullptr);
        windowModel->removeListener(this);
    }
    windowModel.reset();
}

FUnknown* Vst3Controller::create(void*)
{
    return static_cast<IEditController*>(new Vst3Controller());
}

tresult PLUGIN_API Vst3Controller::initialize(FUnknown* context)
{
    const tresult result = EditControllerEx1::initialize(context);
    if (result != kResultOk)
        return result;

    try
    {
        if (parameters.getParameterCount() == 0)
            for (const auto& row : parameterRows())
                parameters.addParameter(new TableParameter(row));

        // One unit, the root, with the factory presets as its program list;
        // its program-change parameter comes after the knobs and bypass.
        if (getUnitCount() == 0)
        {
            String128 unitName{};
            UString(unitName, str16BufferSize(String128)).fromAscii("Root");
            addUnit(new Unit(unitName, kRootUnitId, kNoParentUnitId, factoryProgramListId));
            addProgramList(createFactoryProgramList());
            if (parameters.getParameter(programChangeId) == nullptr)
                parameters.addParameter(createProgramChangeParameter());
        }

        if (windowModel == nullptr)
        {
            guiLayer.emplace();
            windowModel = core::createProcessor();
            windowModel->addListener(this);
            windowModel->getKnobMirror().setGestureListener(this);
        }
    }
    catch (...)
    {
        return kOutOfMemory;
    }
    return kResultOk;
}

// The window's processor stays until the controller goes: a window the host
// has not closed yet may still use it.
tresult PLUGIN_API Vst3Controller::terminate()
{
    endGestures();
    return EditControllerEx1::terminate();
}

tresult PLUGIN_API Vst3Controller::setComponentState(IBStream* state)
{
    if (state == nullptr)
        return kInvalidArgument;
    try
    {
        const auto bytes = readWholeStream(*state, component_state::maxStateBytes);
        if (!bytes)
            return kResultFalse;
        const auto parts = component_state::split(bytes->data(), bytes->size());
        const auto values = core::readStateChunk(parts.chunk, static_cast<int>(parts.chunkSize));
        if (!values)
            return kResultFalse;

        const float knobs[] = {values->lowContour, values->process, values->output};
        for (const auto& row : parameterRows())
        {
            if (row.processorIndex == bypassIndex)
            {
                if (parts.bypassed)
                    setParamNormalized(row.id, *parts.bypassed ? 1.0 : 0.0);
            }
            else
                setParamNormalized(row.id, static_cast<double>(knobs[row.processorIndex]));
        }
        // The state keeps no program: the one whose positions it holds, or the
        // first (as in a new instance), without applying it.
        const auto program = programWithPositions({knobs[0], knobs[1], knobs[2]});
        EditControllerEx1::setParamNormalized(programChangeId, programChangeValue(program.value_or(0)));
        if (auto* handler = getComponentHandler())
            handler->restartComponent(kParamValuesChanged);
        return kResultOk;
    }
    catch (...)
    {
        return kOutOfMemory;
    }
}

// Everything the controller shows comes from the component's state.
tresult PLUGIN_API Vst3Controller::setState(IBStream* state)
{
    return state != nullptr ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3Controller::getState(IBStream* state)
{
    return state != nullptr ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3Controller::getParameterInfo(int32 index, ParameterInfo& info)
{
    if (index < 0 || index >= getParameterCount())
        return kInvalidArgument;
    return EditController::getParameterInfo(index, info);
}

tresult PLUGIN_API Vst3Controller::setParamNormalized(ParamID id, ParamValue value)
{
    if (id == programChangeId)
    {
        // Hosts that hand every value back (a project restored, a parameter
        // sync) leave the knobs alone: only a change of program applies one.
        const int before = programAt(getParamNormalized(id));
        const tresult result = EditControllerEx1::setParamNormalized(id, value);
        const int program = programAt(getParamNormalized(id));
        if (result == kResultOk && program != before)
            applyProgram(program);
        return result;
    }

    const tresult result = EditController::setParamNormalized(id, value);
    const ParameterRow* row = findParameter(id);
    if (result != kResultOk || row == nullptr || settingFromWindow)
        return result;

    controller_messages::sendParameter(*this, id, getParamNormalized(id));
    // The window's knobs follow (on the message thread at once, otherwise at its next refresh).
    if (row->processorIndex != bypassIndex && windowModel != nullptr)
        windowModel->setParameter(row->processorIndex, static_cast<float>(getParamNormalized(id)));
    return result;
}

IPlugView* PLUGIN_API Vst3Controller::createView(FIDString name)
{
    if (name == nullptr || std::strcmp(name, ViewType::kEditor) != 0 || windowModel == nullptr)
        return nullptr;
    try
    {
        return new EditorView(*this);
    }
    catch (...)
    {
        return nullptr;
    }
}

namespace
{
// The parameter table row of a knob, by the processor index of its parameter.
std::optional<std::size_t> rowOfProcessorIndex(int processorIndex)
{
    for (std::size_t i = 0; i < parameterRows().size(); ++i)
        if (parameterRows()[i].processorIndex != bypassIndex && parameterRows()[i].processorIndex == processorIndex)
            return i;
    return std::nullopt;
}
}  // namespace

// A knob moved: the window set the value on its processor and asked for a
// display refresh. Each value that differs from the controller's reaches the
// host as an edit: within the gesture of the knob's touch, or, for a change
// no touch made, as a gesture of its own.
void Vst3Controller::audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&)
{
    if (windowModel == nullptr || settingFromWindow)
        return;
    for (std::size_t i = 0; i < parameterRows().size(); ++i)
    {
        const auto& row = parameterRows()[i];
        if (row.processorIndex == bypassIndex)
            continue;
        const auto value = static_cast<double>(windowModel->getParameter(row.processorIndex));
        if (std::isnan(value) || static_cast<float>(value) == static_cast<float>(getParamNormalized(row.id)))
            continue;
        settingFromWindow = true;
        EditController::setParamNormalized(row.id, value);
        settingFromWindow = false;
        controller_messages::sendParameter(*this, row.id, getParamNormalized(row.id));
        const bool inTouch = gestureOpen[i];
        if (!inTouch)
            beginEdit(row.id);
        performEdit(row.id, getParamNormalized(row.id));
        if (!inTouch)
            endEdit(row.id);
    }
}

void Vst3Controller::knobGestureBegan(int parameterIndex)
{
    const auto row = rowOfProcessorIndex(parameterIndex);
    if (!row || std::exchange(gestureOpen[*row], true))
        return;
    beginEdit(parameterRows()[*row].id);
}

void Vst3Controller::knobGestureEnded(int parameterIndex)
{
    const auto row = rowOfProcessorIndex(parameterIndex);
    if (row && std::exchange(gestureOpen[*row], false))
        endEdit(parameterRows()[*row].id);
}

void Vst3Controller::endGestures()
{
    for (std::size_t i = 0; i < gestureOpen.size(); ++i)
        if (std::exchange(gestureOpen[i], false))
            endEdit(parameterRows()[i].id);
}

void Vst3Controller::applyProgram(int program)
{
    const auto positions = programPositions(program);
    if (!positions)
        return;
    for (const auto& row : parameterRows())
    {
        if (row.processorIndex == bypassIndex)
            continue;
        const auto value = static_cast<double>((*positions)[static_cast<std::size_t>(row.processorIndex)]);
        setParamNormalized(row.id, value);
        beginEdit(row.id);
        performEdit(row.id, getParamNormalized(row.id));
        endEdit(row.id);
    }
}
}  // namespace varnoke::vst3
