#pragma once

#include <mutex>
#include <vector>

namespace varnoke
{
class VstPluginInstance;

// What the instances of one process share: JUCE's GUI layer, which comes up
// with the first instance (on the calling thread, which becomes JUCE's message
// thread) and goes down after the last, and the list of live instances.
class ProcessLifetime
{
public:
    // Brings the GUI layer up if it is down. Every call is paired with one
    // release(); the layer is shut down when the last one is released.
    static void acquire();
    static void release();

    // True when the caller's is the one reference left to the GUI layer.
    static bool isOnlyGuiUser();

    static void addInstance(VstPluginInstance* instance);
    static void removeInstance(VstPluginInstance* instance);
    static int getNumLiveInstances();

private:
    static std::mutex& mutex();
    static std::vector<VstPluginInstance*>& instances();
    static int guiUsers;
};

// Keeps the GUI layer up for one scope unless released to a new owner.
class ScopedGuiLayer
{
public:
    ScopedGuiLayer() { ProcessLifetime::acquire(); }
    ~ScopedGuiLayer()
    {
        if (owned)
            ProcessLifetime::release();
    }
    void handOver() noexcept { owned = false; }

    ScopedGuiLayer(const ScopedGuiLayer&) = delete;
    ScopedGuiLayer& operator=(const ScopedGuiLayer&) = delete;

private:
    bool owned = true;
};
}  // namespace varnoke
