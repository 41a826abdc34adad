#include "PluginFactory.h"

#include "ClassIds.h"
#include "ProductIdentity.h"
#include "Vst3Controller.h"
#include "Vst3Processor.h"

#include <pluginterfaces/base/ustring.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <cstring>
#include <iterator>

namespace varnoke::vst3
{
using namespace Steinberg;

namespace
{
struct ClassEntry
{
    FUID (*classId)();
    const char* category;
    FUnknown* (*create)(void*);
};

const ClassEntry classes[] = {
    {componentClassId, kVstAudioEffectClass, Vst3Processor::create},
    {controllerClassId, kVstComponentControllerClass, Vst3Controller::create},
};
constexpr int32 numClasses = static_cast<int32>(std::size(classes));
constexpr const char* subCategories = "Fx";

bool isClassIndex(int32 index)
{
    return index >= 0 && index < numClasses;
}

template <std::size_t size> void copyText(char8 (&destination)[size], const char* text)
{
    std::strncpy(destination, text, size - 1);
    destination[size - 1] = 0;
}

template <std::size_t size> void copyText(char16 (&destination)[size], const char* text)
{
    UString(destination, static_cast<int32>(size)).fromAscii(text);
    destination[size - 1] = 0;
}

// The fields every version of the class info has.
template <typename Info> void fillBasicInfo(const ClassEntry& entry, Info& info)
{
    info = {};
    entry.classId().toTUID(info.cid);
    info.cardinality = PClassInfo::kManyInstances;
    copyText(info.category, entry.category);
    copyText(info.name, product::name);
}

// PClassInfo2 and PClassInfoW: the same fields, in 8- or 16-bit characters.
template <typename Info> void fillExtendedInfo(const ClassEntry& entry, Info& info)
{
    fillBasicInfo(entry, info);
    copyText(info.subCategories, subCategories);
    copyText(info.vendor, product::vendor);
    copyText(info.version, product::versionText);
    copyText(info.sdkVersion, kVstVersionString);
}
}  // namespace

PluginFactory& PluginFactory::instance()
{
    static PluginFactory factory;
    return factory;
}

tresult PLUGIN_API PluginFactory::queryInterface(const TUID iid, void** object)
{
    if (object == nullptr)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
    {
        *object = this;
        return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API PluginFactory::getFactoryInfo(PFactoryInfo* info)
{
    if (info == nullptr)
        return kInvalidArgument;
    *info = {};
    copyText(info->vendor, product::vendor);
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
}

int32 PLUGIN_API PluginFactory::countClasses()
{
    return numClasses;
}

tresult PLUGIN_API PluginFactory::getClassInfo(int32 index, PClassInfo* info)
{
    if (info == nullptr || !isClassIndex(index))
        return kInvalidArgument;
    fillBasicInfo(classes[index], *info);
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfo2(int32 index, PClassInfo2* info)
{
    if (info == nullptr || !isClassIndex(index))
        return kInvalidArgument;
    fillExtendedInfo(classes[index], *info);
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info)
{
    if (info == nullptr || !isClassIndex(index))
        return kInvalidArgument;
    fillExtendedInfo(classes[index], *info);
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::createInstance(FIDString cid, FIDString iid, void** object)
{
    if (object == nullptr)
        return kInvalidArgument;
    *object = nullptr;
    if (cid == nullptr || iid == nullptr)
        return kInvalidArgument;

    for (const auto& entry : classes)
    {
        if (!FUnknownPrivate::iidEqual(cid, entry.classId().toTUID()))
            continue;
        FUnknown* instance = nullptr;
        try
        {
            instance = entry.create(nullptr);
        }
        catch (...)
        {
            return kOutOfMemory;
        }
        if (instance == nullptr)
            return kOutOfMemory;
        const tresult result = instance->queryInterface(iid, object);
        instance->release();
        return result == kResultOk ? kResultOk : kNoInterface;
    }
    return kInvalidArgument;
}

tresult PLUGIN_API PluginFactory::setHostContext(FUnknown*)
{
    return kResultOk;
}
}  // namespace varnoke::vst3
