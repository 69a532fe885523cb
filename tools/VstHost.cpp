#include "tools/VstHost.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <stdexcept>

namespace {

std::mutex registryMutex;
std::map<AEffect*, VstInstance*> instances;  // live effects and their recorders

// The instance being created: the entry calls back before it has an effect record.
thread_local VstInstance* creating = nullptr;
thread_local VstIntPtr creatingVersion = 2400;

VstInstance* lookup(AEffect* effect)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = instances.find(effect);
    return it == instances.end() ? nullptr : it->second;
}

} // namespace

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt)
{
    VstInstance* instance = effect ? lookup(effect) : nullptr;
    if (!instance)
        instance = creating;
    if (instance)
        instance->record({opcode, index, value, opt});
    switch (opcode) {
    case audioMasterVersion:
        return instance == creating ? creatingVersion : 2400;
    case audioMasterCurrentId:
        return effect ? effect->uniqueID : 0;
    case audioMasterGetSampleRate:
        return instance ? (VstIntPtr)instance->hostSampleRate : 44100;
    case audioMasterGetBlockSize:
        return instance ? instance->hostBlockSize : 512;
    case audioMasterGetVendorString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Lustrana test host");
        return ptr ? 1 : 0;
    case audioMasterGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "vsthost");
        return ptr ? 1 : 0;
    case audioMasterGetCurrentProcessLevel:
        return instance ? instance->processLevel.load() : 0;
    case audioMasterCanDo:
        if (ptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0)
            return instance && instance->sizeWindow ? 1 : -1;
        return 0;
    case audioMasterSizeWindow:
        return instance && instance->sizeWindow && instance->sizeWindow((int)index, (int)value) ? 1 : 0;
    default:
        return 0;
    }
}

VstLibrary::VstLibrary(const std::string& path) : file(path), handle(nullptr), entryProc(nullptr)
{
    // a bare file name means the file here, not a library on the search path
    const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
    handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (why ? why : "unknown error"));
    }
    void* symbol = dlsym(handle, "VSTPluginMain");
    if (!symbol)
        symbol = dlsym(handle, "main");
    if (!symbol) {
        dlclose(handle);
        throw std::runtime_error(path + " exports neither VSTPluginMain nor main");
    }
    entryProc = reinterpret_cast<VstPluginMainProc>(symbol);
}

VstLibrary::~VstLibrary()
{
    if (handle)
        dlclose(handle);
}

void* VstLibrary::symbol(const char* name) const
{
    return dlsym(handle, name);
}

std::unique_ptr<VstInstance> VstLibrary::instantiate(VstIntPtr versionAnswer)
{
    std::unique_ptr<VstInstance> instance(new VstInstance());
    creating = instance.get();
    creatingVersion = versionAnswer;
    AEffect* effect = entryProc(hostCallback);
    creating = nullptr;
    if (!effect)
        return nullptr;
    if (effect->magic != kEffectMagic)
        throw std::runtime_error(file + ": the entry returned a record without the VstP magic");
    instance->aeffect = effect;
    std::lock_guard<std::mutex> lock(registryMutex);
    instances[effect] = instance.get();
    return instance;
}

VstInstance::~VstInstance()
{
    close();
}

VstIntPtr VstInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

VstIntPtr VstInstance::close()
{
    if (!aeffect)
        return 0;
    VstIntPtr result = dispatch(effClose);
    std::lock_guard<std::mutex> lock(registryMutex);
    instances.erase(aeffect);
    aeffect = nullptr;
    return result;
}

namespace {

std::string textOf(VstInstance& instance, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   VstIntPtr* result = nullptr)
{
    char buffer[512];
    std::memset(buffer, 0, sizeof(buffer));
    VstIntPtr r = instance.dispatch(opcode, index, value, buffer);
    if (result)
        *result = r;
    buffer[sizeof(buffer) - 1] = 0;
    return buffer;
}

} // namespace

std::string VstInstance::effectName() { return textOf(*this, effGetEffectName); }
std::string VstInstance::vendorString() { return textOf(*this, effGetVendorString); }
std::string VstInstance::productString() { return textOf(*this, effGetProductString); }
std::string VstInstance::parameterName(VstInt32 i) { return textOf(*this, effGetParamName, i); }
std::string VstInstance::parameterDisplay(VstInt32 i) { return textOf(*this, effGetParamDisplay, i); }
std::string VstInstance::parameterLabel(VstInt32 i) { return textOf(*this, effGetParamLabel, i); }
std::string VstInstance::programName() { return textOf(*this, effGetProgramName); }

std::string VstInstance::programNameIndexed(VstInt32 index, bool* ok)
{
    VstIntPtr result = 0;
    std::string text = textOf(*this, effGetProgramNameIndexed, index, 0, &result);
    if (ok)
        *ok = result != 0;
    return text;
}

void VstInstance::setSampleRate(float rate)
{
    hostSampleRate = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void VstInstance::processStereo(float* left, float* right, VstInt32 frames)
{
    float* channels[2] = {left, right};
    processReplacing(channels, channels, frames);
}

void VstInstance::record(const HostCall& call)
{
    std::lock_guard<std::mutex> lock(callMutex);
    log.push_back(call);
}

std::vector<HostCall> VstInstance::calls() const
{
    std::lock_guard<std::mutex> lock(callMutex);
    return log;
}

std::vector<HostCall> VstInstance::callsOf(VstInt32 opcode) const
{
    std::vector<HostCall> result;
    for (const HostCall& call : calls())
        if (call.opcode == opcode)
            result.push_back(call);
    return result;
}

void VstInstance::clearCalls()
{
    std::lock_guard<std::mutex> lock(callMutex);
    log.clear();
}
