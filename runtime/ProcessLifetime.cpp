#include "ProcessLifetime.h"

#include "MessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>

namespace varnoke
{
int ProcessLifetime::guiUsers = 0;

std::mutex& ProcessLifetime::mutex()
{
    static std::mutex processMutex;
    return processMutex;
}

std::vector<VstPluginInstance*>& ProcessLifetime::instances()
{
    static std::vector<VstPluginInstance*> liveInstances;
    return liveInstances;
}

void ProcessLifetime::acquire()
{
    const std::lock_guard<std::mutex> lock(mutex());
    if (guiUsers++ == 0)
    {
        juce::initialiseJuce_GUI();
        message_thread::guiLayerStarted();
    }
}

void ProcessLifetime::release()
{
    const std::lock_guard<std::mutex> lock(mutex());
    if (--guiUsers == 0)
    {
        message_thread::guiLayerStopping();
        juce::shutdownJuce_GUI();
    }
}

bool ProcessLifetime::isOnlyGuiUser()
{
    const std::lock_guard<std::mutex> lock(mutex());
    return guiUsers == 1;
}

void ProcessLifetime::addInstance(VstPluginInstance* instance)
{
    const std::lock_guard<std::mutex> lock(mutex());
    instances().push_back(instance);
}

void ProcessLifetime::removeInstance(VstPluginInstance* instance)
{
    const std::lock_guard<std::mutex> lock(mutex());
    auto& list = instances();
    list.erase(std::remove(list.begin(), list.end(), instance), list.end());
}

int ProcessLifetime::getNumLiveInstances()
{
    const std::lock_guard<std::mutex> lock(mutex());
    return static_cast<int>(instances().size());
}
}  // namespace varnoke
