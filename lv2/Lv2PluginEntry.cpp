// The DSP library's entry: the LV2 descriptor, the only symbol the library exports.
#include "lv2/Lv2Plugin.h"

#include <cstring>
#include <new>

namespace {

Lv2Plugin* self(LV2_Handle h)
{
    return static_cast<Lv2Plugin*>(h);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    try {
        return new Lv2Plugin(rate, features);
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle h, uint32_t port, void* data)
{
    self(h)->connectPort(port, data);
}

void activate(LV2_Handle h)
{
    self(h)->activate();
}

void run(LV2_Handle h, uint32_t frames)
{
    self(h)->run(frames);
}

void deactivate(LV2_Handle)
{
    // The engine keeps its rings and history, as across a VST 2.4 suspend and resume.
}

void cleanup(LV2_Handle h)
{
    delete self(h);
}

LV2_Worker_Status work(LV2_Handle h, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                       uint32_t size, const void* data)
{
    return self(h)->work(respond, handle, size, data);
}

LV2_Worker_Status workResponse(LV2_Handle h, uint32_t size, const void* data)
{
    return self(h)->workResponse(size, data);
}

const void* extensionData(const char* uri)
{
    static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
    if (std::strcmp(uri, LV2_WORKER__interface) == 0)
        return &worker;
    return nullptr;
}

const LV2_Descriptor descriptor = {
    lv2uri::kPlugin, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
