#include "Lv2Host.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace varnoke::test
{
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

const char* Lv2Host::unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    auto& host = *static_cast<Lv2Host*>(handle);
    const std::lock_guard<std::mutex> lock(host.uridMutex);
    return urid != 0 && urid < host.uris.size() ? host.uris[urid].c_str() : nullptr;
}

namespace
{
constexpr std::int64_t largestHostBuffer = 8192;
}

Lv2Instance::Lv2Instance(Lv2Host& owner, const LilvPlugin* thePlugin, double sampleRate, int maximumBlock)
    : Lv2Instance(owner, thePlugin, sampleRate, Lv2HostFeatures{true, 4, maximumBlock, true})
{
}

Lv2Instance::Lv2Instance(Lv2Host& owner, const LilvPlugin* thePlugin, double sampleRate, const Lv2HostFeatures& chosen)
    : host(owner)
    , plugin(thePlugin)
    , hostFeatures(chosen)
    , maximumBlockLength(chosen.maximumBlockLength)
{
    const auto frames = static_cast<std::size_t>(std::clamp<std::int64_t>(maximumBlockLength, 1, largestHostBuffer));
    inLeft.resize(frames);
    inRight.resize(frames);
    outLeft.resize(frames);
    outRight.resize(frames);
    instantiate(sampleRate);
}

void Lv2Instance::instantiate(double sampleRate)
{
    // Always announced as atom:Int; Audacity 3.2 gives it a size of 8. The
    // values are 64-bit, whose first 4 bytes are their low half on this
    // (little-endian) machine.
    const LV2_URID announcedType = host.map(LV2_ATOM__Int);
    const auto size = static_cast<uint32_t>(hostFeatures.blockLengthSize);
    options = {
        {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_BUF_SIZE__maxBlockLength), size, announcedType, &maximumBlockLength},
        {LV2_OPTIONS_INSTANCE, 0, host.map(LV2_BUF_SIZE__minBlockLength), size, announcedType, &minimumBlockLength},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    mapFeature = {LV2_URID__map, host.mapFeature()};
    optionsFeature = {LV2_OPTIONS__options, options.data()};
    boundedBlockLengthFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    if (hostFeatures.uridMap)
        features.push_back(&mapFeature);
    if (hostFeatures.blockLengthSize != 0)
        features.push_back(&optionsFeature);
    if (hostFeatures.boundedBlockLength)
        features.push_back(&boundedBlockLengthFeature);
    features.push_back(nullptr);

    instance = lilv_plugin_instantiate(plugin, sampleRate, features.data());
    if (instance == nullptr)
        return;

    lilv_instance_connect_port(instance, portIndex("audio_in_1"), inLeft.data());
    lilv_instance_connect_port(instance, portIndex("audio_in_2"), inRight.data());
    lilv_instance_connect_port(instance, portIndex("audio_out_1"), outLeft.data());
    lilv_instance_connect_port(instance, portIndex("audio_out_2"), outRight.data());

    // Every control input at its default, as hosts start them.
    LilvWorld* world = host.getWorld();
    LilvNode* controlClass = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* inputClass = lilv_new_uri(world, LV2_CORE__InputPort);
    const uint32_t count = lilv_plugin_get_num_ports(plugin);
    for (uint32_t index = 0; index < count; ++index)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        if (!lilv_port_is_a(plugin, port, controlClass) || !lilv_port_is_a(plugin, port, inputClass))
            continue;
        LilvNode* defaultValue = nullptr;
        lilv_port_get_range(plugin, port, &defaultValue, nullptr, nullptr);
        controls[index] = defaultValue != nullptr ? lilv_node_as_float(defaultValue) : 0.0f;
        lilv_node_free(defaultValue);
        lilv_instance_connect_port(instance, index, &controls[index]);
    }
    lilv_node_free(inputClass);
    lilv_node_free(controlClass);
    lilv_instance_activate(instance);
}

uint32_t Lv2Instance::portIndex(const char* symbol) const
{
    const uint32_t count = lilv_plugin_get_num_ports(plugin);
    for (uint32_t index = 0; index < count; ++index)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        if (std::strcmp(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), symbol) == 0)
            return index;
    }
    throw std::runtime_error(std::string("the plug-in has no port ") + symbol);
}

Lv2Instance::~Lv2Instance()
{
    if (instance == nullptr)
        return;
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

void Lv2Instance::setControl(const std::string& symbol, float value)
{
    controls.at(portIndex(symbol.c_str())) = value;
}

float Lv2Instance::control(const std::string& symbol) const
{
    return controls.at(portIndex(symbol.c_str()));
}

float* Lv2Instance::controlBuffer(uint32_t index)
{
    const auto found = controls.find(index);
    return found != controls.end() ? &found->second : nullptr;
}

StereoSignal Lv2Instance::render(const StereoSignal& input, int blockSize)
{
    blockSize = std::min(blockSize, static_cast<int>(inLeft.size()));
    StereoSignal output{std::vector<float>(input.left.size()), std::vector<float>(input.right.size())};
    forEachBlock(input.left.size(), blockSize,
                 [&](std::size_t start, int frames)
                 {
                     const auto offset = static_cast<std::ptrdiff_t>(start);
                     std::copy_n(input.left.begin() + offset, frames, inLeft.begin());
                     std::copy_n(input.right.begin() + offset, frames, inRight.begin());
                     lilv_instance_run(instance, static_cast<uint32_t>(frames));
                     std::copy_n(outLeft.begin(), frames, output.left.begin() + offset);
                     std::copy_n(outRight.begin(), frames, output.right.begin() + offset);
                 });
    return output;
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
