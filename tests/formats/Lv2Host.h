#pragma once

#include "Vst2Reference.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace varnoke::test
{
// A small LV2 host on lilv, as LV2 hosts load plug-ins: it finds the bundle,
// instantiates the plug-in with the features a test chooses, sets the knobs
// through the control ports, and saves and restores state through the state
// interface.
class Lv2Host
{
public:
    // Looks for plug-ins in the folder that holds the bundle only.
    explicit Lv2Host(const std::string& bundlePath);
    ~Lv2Host();

    Lv2Host(const Lv2Host&) = delete;
    Lv2Host& operator=(const Lv2Host&) = delete;

    const LilvPlugin* findPlugin(const std::string& uri) const;
    LilvWorld* getWorld() const { return world; }

    LV2_URID map(const std::string& uri);
    std::string unmap(LV2_URID urid);
    LV2_URID_Map* mapFeature() { return &uridMap; }
    LV2_URID_Unmap* unmapFeature() { return &uridUnmap; }

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);
    static const char* unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid);

    LilvWorld* world = nullptr;
    std::mutex uridMutex;
    std::deque<std::string> uris;  // the strings stay where they are as more are added
    LV2_URID_Map uridMap{this, &Lv2Host::mapUri};
    LV2_URID_Unmap uridUnmap{this, &Lv2Host::unmapUri};
};

// What a host hands the plug-in at instantiation. The default is a host like
// jalv or Ardour: a URID map and the block-length options as 4-byte atom:Ints.
struct Lv2HostFeatures
{
    bool uridMap = true;
    // The size of the block-length option values: 4 (atom:Int as the LV2
    // headers declare it), 8 (as Audacity passes them), 0 for no options.
    int blockLengthSize = 4;
    std::int64_t maximumBlockLength = 512;
    bool boundedBlockLength = true;

    static Lv2HostFeatures none() { return {false, 0, 0, false}; }
};

// One instance of the plug-in, its ports connected to buffers of the host.
class Lv2Instance
{
public:
    Lv2Instance(Lv2Host& host, const LilvPlugin* plugin, double sampleRate, int maximumBlockLength);
    Lv2Instance(Lv2Host& host, const LilvPlugin* plugin, double sampleRate, const Lv2HostFeatures& features);
    ~Lv2Instance();

    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool isValid() const { return instance != nullptr; }
    LV2_Handle handle() const { return lilv_instance_get_handle(instance); }
    LilvInstance* lilvInstance() const { return instance; }
    const LilvPlugin* lilvPlugin() const { return plugin; }

    // The value of a control input port, as a host's knob sets it; the plug-in reads it at the next run.
    void setControl(const std::string& symbol, float value);
    float control(const std::string& symbol) const;
    // The host's buffer of a control port, by port index (null for other ports).
    float* controlBuffer(uint32_t portIndex);

    // Runs the plug-in over the signal in blocks of blockSize frames (at most
    // the host's buffer size, 8192 frames or the announced maximum).
    StereoSignal render(const StereoSignal& input, int blockSize);

    // The state as the plug-in stores it: its key and string value.
    std::map<std::string, std::string> saveState();
    // Hands the plug-in a stored state; the plug-in's answer.
    int restoreState(const std::map<std::string, std::string>& properties);

private:
    void instantiate(double sampleRate);
    uint32_t portIndex(const char* symbol) const;

    Lv2Host& host;
    LilvInstance* instance = nullptr;
    const LilvPlugin* plugin;
    Lv2HostFeatures hostFeatures;
    std::int64_t maximumBlockLength;
    std::int64_t minimumBlockLength = 1;
    std::vector<LV2_Options_Option> options;
    LV2_Feature mapFeature, optionsFeature, boundedBlockLengthFeature;
    std::vector<const LV2_Feature*> features;

    std::vector<float> inLeft, inRight, outLeft, outRight;
    std::map<uint32_t, float> controls;  // by port index
};
}  // namespace varnoke::test
