// The user-interface library's entry: the LV2 UI descriptor, the only symbol the library
// exports.
#include "lv2/Lv2Ui.h"

#include <cstring>

namespace {

Lv2Ui* self(LV2UI_Handle h)
{
    return static_cast<Lv2Ui*>(h);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    if (!pluginUri || std::strcmp(pluginUri, lv2uri::kPlugin) != 0)
        return nullptr;
    try {
        return Lv2Ui::create(write, controller, features, widget).release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle h)
{
    delete self(h);
}

void portEvent(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    self(h)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle h)
{
    return self(h)->idle();
}

int show(LV2UI_Handle h)
{
    return self(h)->show();
}

int hide(LV2UI_Handle h)
{
    return self(h)->hide();
}

const void* extensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idleInterface = {idle};
    static const LV2UI_Show_Interface showInterface = {show, hide};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &idleInterface;
    if (std::strcmp(uri, LV2_UI__showInterface) == 0)
        return &showInterface;
    return nullptr;
}

const LV2UI_Descriptor descriptor = {lv2uri::kUi, instantiate, cleanup, portEvent, extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
