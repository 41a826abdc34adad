#include "Lv2Host.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace varnoke::test
{
namespace
{
constexpr std::size_t controlBufferBytes = 16384;
}

Lv2Host::Lv2Host(const std::string& bundlePath)
    : world(lilv_world_new())
{
    uris.emplace_back();  // URID 0 means none
    // The folder that holds the bundle, as LV2_PATH would name it.
    const auto folder = bundlePath.substr(0, bundlePath.find_last_of('/'));
    LilvNode* path = lilv_new_string(world, folder.c_str());
    lilv_world_set_option(world, LILV_OPTION_LV2_PATH, path);
    lilv_node_free(path);
    lilv_world_load_all(world);
}

Lv2Host::~Lv2Host()
{
    lilv_world_free(world);
}

const LilvPlugin* Lv2Host::findPlugin(const std::string& uri) const
{
    LilvNode* node = lilv_new_uri(world, uri.c_str());
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
    lilv_node_free(node);
    return plugin;
}

LV2_URID Lv2Host::map(const std::string& uri)
{
    const std::lock_guard<std::mutex> lock(uridMutex);
    const auto found = std::find(uris.begin(), uris.end(), uri);
    if (found != uris.end())
        return static_cast<LV2_URID>(found - uris.begin());
    uris.push_back(uri);
    return static_cast<LV2_URID>(uris.size() - 1);
}

std::string Lv2Host::unmap(LV2_URID urid)
{
    const std::lock_guard<std::mutex> lock(uridMutex);
    return urid < uris.size() ? uris[urid] : std::string{};
}

LV2_URID Lv2Host::mapUri(LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<Lv2Host*>(handle)->map(uri);
}

Lv2Instance::Lv2Instance(Lv2Host& owner, const LilvPlugin* thePlugin, double sampleRate, int maximumBlock)
    : host(owner)
    , plugin(thePlugin)
    , maximumBlockLength(maximumBlock)
    , inLeft(static_cast<std::size_t>(maximumBlock))
    , inRight(inLeft.size())
    , outLeft(inLeft.size())
    , outRight(inLeft.size())
    , controlInput(controlBufferBytes / sizeof(std::uint64_t))
    , controlOutput(controlInput.size())
{
    const LV2_URID intType = host.map(LV2_ATOM__Int);
    options = {
        {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
         &maximumBlockLength},
        {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), intType,
         &minimumBlockLength},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    mapFeature = {LV2_URID__map, host.mapFeature()};
    optionsFeature = {LV2_OPTIONS__options, options.data()};
    boundedBlockLengthFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    features = {&mapFeature, &optionsFeature, &boundedBlockLengthFeature, nullptr};

    instance = lilv_plugin_instantiate(plugin, sampleRate, features.data());
    if (instance == nullptr)
        return;

    const auto portIndex = [this](const char* symbol)
    {
        const uint32_t count = lilv_plugin_get_num_ports(plugin);
        for (uint32_t index = 0; index < count; ++index)
        {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
            if (std::strcmp(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), symbol) == 0)
                return index;
        }
        throw std::runtime_error(std::string("the plug-in has no port ") + symbol);
    };
    lilv_instance_connect_port(instance, portIndex("audio_in_1"), inLeft.data());
    lilv_instance_connect_port(instance, portIndex("audio_in_2"), inRight.data());
    lilv_instance_connect_port(instance, portIndex("audio_out_1"), outLeft.data());
    lilv_instance_connect_port(instance, portIndex("audio_out_2"), outRight.data());
    lilv_instance_connect_port(instance, portIndex("in"), controlInput.data());
    lilv_instance_connect_port(instance, portIndex("out"), controlOutput.data());
    lilv_instance_connect_port(instance, portIndex("latency"), &latency);
    lilv_instance_connect_port(instance, portIndex("freeWheeling"), &freeWheeling);
    lilv_instance_connect_port(instance, portIndex("enabled"), &enabled);
    lilv_instance_activate(instance);
}

Lv2Instance::~Lv2Instance()
{
    if (instance == nullptr)
        return;
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

void Lv2Instance::setParameter(const std::string& parameterUri, float value)
{
    pendingParameters.emplace_back(parameterUri, value);
}

StereoSignal Lv2Instance::render(const StereoSignal& input, int blockSize)
{
    StereoSignal output{std::vector<float>(input.left.size()), std::vector<float>(input.right.size())};
    forEachBlock(input.left.size(), blockSize,
                 [&](std::size_t start, int frames)
                 {
                     const auto offset = static_cast<std::ptrdiff_t>(start);
                     std::copy_n(input.left.begin() + offset, frames, inLeft.begin());
                     std::copy_n(input.right.begin() + offset, frames, inRight.begin());
                     run(frames);
                     std::copy_n(outLeft.begin(), frames, output.left.begin() + offset);
                     std::copy_n(outRight.begin(), frames, output.right.begin() + offset);
                 });
    return output;
}

void Lv2Instance::run(int frames)
{
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, host.mapFeature());
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(controlInput.data()), controlBufferBytes);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const auto& [uri, value] : pendingParameters)
    {
        lv2_atom_forge_frame_time(&forge, 0);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, host.map(LV2_PATCH__Set));
        lv2_atom_forge_key(&forge, host.map(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge, host.map(uri));
        lv2_atom_forge_key(&forge, host.map(LV2_PATCH__value));
        lv2_atom_forge_float(&forge, value);
        lv2_atom_forge_pop(&forge, &object);
    }
    lv2_atom_forge_pop(&forge, &sequence);
    pendingParameters.clear();

    // The host offers the whole output buffer, as LV2 hosts do before each run.
    auto* out = reinterpret_cast<LV2_Atom*>(controlOutput.data());
    out->type = host.map(LV2_ATOM__Chunk);
    out->size = controlBufferBytes - sizeof(LV2_Atom);

    lilv_instance_run(instance, static_cast<uint32_t>(frames));
    readEcho();
}

void Lv2Instance::readEcho()
{
    echoedParameters.clear();
    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(controlOutput.data());
    if (sequence->atom.type != host.map(LV2_ATOM__Sequence))
        return;
    LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
    {
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (object->atom.type != host.map(LV2_ATOM__Object) || object->body.otype != host.map(LV2_PATCH__Set))
            continue;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, host.map(LV2_PATCH__property), &property, host.map(LV2_PATCH__value), &value, 0);
        if (property != nullptr && value != nullptr && value->type == host.map(LV2_ATOM__Float))
            echoedParameters[host.unmap(reinterpret_cast<const LV2_Atom_URID*>(property)->body)] =
                reinterpret_cast<const LV2_Atom_Float*>(value)->body;
    }
}

namespace
{
struct StateStore
{
    Lv2Host& host;
    std::map<std::string, std::string> properties;
    LV2_URID stringType;
};

LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                       uint32_t /*flags*/)
{
    auto& state = *static_cast<StateStore*>(handle);
    if (type != state.stringType)
        return LV2_STATE_ERR_BAD_TYPE;
    // The string's terminating zero is part of its size.
    state.properties[state.host.unmap(key)] = std::string(static_cast<const char*>(value), size > 0 ? size - 1 : 0);
    return LV2_STATE_SUCCESS;
}

const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
    auto& state = *static_cast<StateStore*>(handle);
    const auto found = state.properties.find(state.host.unmap(key));
    if (found == state.properties.end())
        return nullptr;
    *size = found->second.size() + 1;
    *type = state.stringType;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return found->second.c_str();
}
}  // namespace

std::map<std::string, std::string> Lv2Instance::saveState()
{
    const auto* interface =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    StateStore state{host, {}, host.map(LV2_ATOM__String)};
    if (interface != nullptr)
        interface->save(handle(), store, &state, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features.data());
    return state.properties;
}

int Lv2Instance::restoreState(const std::map<std::string, std::string>& properties)
{
    const auto* interface =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    if (interface == nullptr)
        return -1;
    StateStore state{host, properties, host.map(LV2_ATOM__String)};
    return interface->restore(handle(), retrieve, &state, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features.data());
}
}  // namespace varnoke::test
