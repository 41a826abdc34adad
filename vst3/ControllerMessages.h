#pragma once

#include <public.sdk/source/vst/vstcomponentbase.h>

#include <optional>
#include <utility>

// What the edit controller tells the component through the connection hosts
// make between them. A host that is not processing may never hand a value it
// set on the controller (or a knob moved in the window) to process(); the
// component takes such values from these messages, as release 1.0.0's single
// processor did, while the host's transport is not playing (when it plays,
// process() brings every value at its sample offset, and a message would come late).
namespace varnoke::vst3::controller_messages
{
// Sends a parameter's new value to the connected component.
void sendParameter(Steinberg::Vst::ComponentBase& sender, Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value);

// The parameter and value a message carries, if it is such a message.
std::optional<std::pair<Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue>>
readParameter(Steinberg::Vst::IMessage* message);
}  // namespace varnoke::vst3::controller_messages
