// The library's two exports: the LV2 plug-in's descriptor and its UI's.

#include "Lv2Plugin.h"
#include "Lv2Ui.h"
#include "ProductIdentity.h"

#include <cstring>
#include <string>

namespace varnoke::lv2
{
namespace
{
const std::string uiUri = std::string(product::lv2Uri) + ":UI";

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
{
    return Lv2Plugin::create(sampleRate, features);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    static_cast<Lv2Plugin*>(instance)->connectPort(port, data);
}

void activate(LV2_Handle instance)
{
    static_cast<Lv2Plugin*>(instance)->activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    static_cast<Lv2Plugin*>(instance)->run(frames);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle instance)
{
    delete static_cast<Lv2Plugin*>(instance);
}

const void* extensionData(const char* uri)
{
    return uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0 ? &Lv2Plugin::stateInterface : nullptr;
}

const LV2_Descriptor pluginDescriptor{product::lv2Uri, instantiate, connectPort,  activate, run,
                                      deactivate,      cleanup,     extensionData};

LV2UI_Handle instantiateUi(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                           LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    if (pluginUri == nullptr || std::strcmp(pluginUri, product::lv2Uri) != 0)
        return nullptr;
    return Lv2Ui::create(write, controller, widget, features);
}

void cleanupUi(LV2UI_Handle ui)
{
    Lv2Ui::destroy(static_cast<Lv2Ui*>(ui));
}

void portEvent(LV2UI_Handle ui, uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    static_cast<Lv2Ui*>(ui)->portEvent(port, bufferSize, format, buffer);
}

const void* uiExtensionData(const char* uri)
{
    if (uri == nullptr)
        return nullptr;
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &Lv2Ui::idleInterface;
    if (std::strcmp(uri, LV2_UI__resize) == 0)
        return &Lv2Ui::resizeInterface;
    return nullptr;
}

const LV2UI_Descriptor uiDescriptor{uiUri.c_str(), instantiateUi, cleanupUi, portEvent, uiExtensionData};
}  // namespace
}  // namespace varnoke::lv2

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &varnoke::lv2::pluginDescriptor : nullptr;
}

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &varnoke::lv2::uiDescriptor : nullptr;
}
