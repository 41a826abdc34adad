#include "ControllerMessages.h"

#include <public.sdk/source/vst/hosting/hostclasses.h>

#include <cstring>

namespace varnoke::vst3::controller_messages
{
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
constexpr const char* parameterMessageId = "VarnokeParameter";
constexpr const char* idAttribute = "id";
constexpr const char* valueAttribute = "value";
}  // namespace

void sendParameter(ComponentBase& sender, ParamID id, ParamValue value)
{
    if (sender.getPeer() == nullptr)
        return;
    // The host's message where it makes them, otherwise one of the plug-in's own.
    IPtr<IMessage> message = owned(sender.allocateMessage());
    if (message == nullptr)
        message = owned(new HostMessage());
    message->setMessageID(parameterMessageId);
    IAttributeList* attributes = message->getAttributes();
    if (attributes == nullptr)
        return;
    attributes->setInt(idAttribute, static_cast<int64>(id));
    attributes->setFloat(valueAttribute, value);
    sender.sendMessage(message);
}

std::optional<std::pair<ParamID, ParamValue>> readParameter(IMessage* message)
{
    if (message == nullptr || message->getMessageID() == nullptr ||
        std::strcmp(message->getMessageID(), parameterMessageId) != 0)
        return std::nullopt;
    IAttributeList* attributes = message->getAttributes();
    int64 id = 0;
    ParamValue value = 0.0;
    if (attributes == nullptr || attributes->getInt(idAttribute, id) != kResultOk ||
        attributes->getFloat(valueAttribute, value) != kResultOk || id < 0 || id > 0xffffffffLL)
        return std::nullopt;
    return std::make_pair(static_cast<ParamID>(id), value);
}
}  // namespace varnoke::vst3::controller_messages
