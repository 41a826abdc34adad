#pragma once

#include "Vst2Reference.h"

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace varnoke::test
{
// A small LV2 host on lilv, as LV2 hosts load plug-ins: it finds the bundle,
// instantiates the plug-in with the features it requires, sets parameters with
// patch:Set messages on the control port, saves and restores state through the
// state interface, and opens the plug-in's X11 UI into a window it owns.
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

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);

    LilvWorld* world = nullptr;
    std::mutex uridMutex;
    std::vector<std::string> uris;
    LV2_URID_Map uridMap{this, &Lv2Host::mapUri};
};

// One instance of the plug-in, running at a fixed maximum block length.
class Lv2Instance
{
public:
    Lv2Instance(Lv2Host& host, const LilvPlugin* plugin, double sampleRate, int maximumBlockLength);
    ~Lv2Instance();

    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool isValid() const { return instance != nullptr; }
    LV2_Handle handle() const { return lilv_instance_get_handle(instance); }

    // Sent with the next run, as a host sends a knob move.
    void setParameter(const std::string& parameterUri, float value);

    // Runs the plug-in over the signal in blocks of blockSize frames.
    StereoSignal render(const StereoSignal& input, int blockSize);

    // The state as the plug-in stores it: its key and string value.
    std::map<std::string, std::string> saveState();
    // Hands the plug-in a stored state; the plug-in's answer.
    int restoreState(const std::map<std::string, std::string>& properties);

    // The patch:Set messages the plug-in sent in its last run: parameter URI to value.
    const std::map<std::string, float>& lastParameterEcho() const { return echoedParameters; }

private:
    void run(int frames);
    void readEcho();

    Lv2Host& host;
    LilvInstance* instance = nullptr;
    const LilvPlugin* plugin;
    int32_t maximumBlockLength;
    int32_t minimumBlockLength = 1;
    std::vector<LV2_Options_Option> options;
    LV2_Feature mapFeature, optionsFeature, boundedBlockLengthFeature;
    std::vector<const LV2_Feature*> features;

    std::vector<float> inLeft, inRight, outLeft, outRight;
    float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;
    std::vector<std::uint64_t> controlInput, controlOutput;  // atom sequences, 8-byte aligned
    std::vector<std::pair<std::string, float>> pendingParameters;
    std::map<std::string, float> echoedParameters;
};
}  // namespace varnoke::test
