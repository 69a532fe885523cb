// Lv2UiEffect: the effect as the editor sees it inside the LV2 user-interface library, which
// reaches the plug-in only through ports (so it also works when the host bridges the UI into
// another process). Parameter values and the meter level arrive as port events and are kept
// here; the editor's parameter writes, begin/end edit and the plate click go to the host
// through write_function and ui:touch. The editor it carries is the VST 2.4 plug-in's own.
// [UI thread]: everything, as LV2 calls a UI only from the host's UI thread.
#pragma once

#include "core/PlateLink.h"
#include "host/AudioEffectX.h"
#include "lv2/Lv2Ports.h"

#include <lv2/ui/ui.h>

#include <cstdint>
#include <functional>

class Lv2UiEffect : public AudioEffectX, public PlateLink {
public:
    static constexpr uint32_t kPingHoldMs = 200;  // how long the ping port stays up

    Lv2UiEffect(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);

    // A value from the host: kept and shown on the editor.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    // A value from the editor: kept, shown and written to the parameter's port.
    void setParameterAutomated(VstInt32 index, float value) override;
    bool beginEdit(VstInt32 index) override;
    bool endEdit(VstInt32 index) override;
    void processReplacing(float**, float**, VstInt32) override {}
    // The editor's zoom asks to resize the window: answered by whoever shows the editor.
    VstInt32 canHostDo(char* text) override;
    bool sizeWindow(VstInt32 width, VstInt32 height) override;
    void setResizer(std::function<bool(int, int)> resizer) { resize = std::move(resizer); }

    // The plate click: the ping port goes up now and back down after kPingHoldMs, so the
    // plug-in sees one rising edge, whichever block size the host runs.
    void requestPing() override;
    float* getLevelToPlate() override { return &level; }

    // A port event (float protocol) from the host.
    void portEvent(uint32_t port, float value);
    // Called from the UI's idle: lowers the ping port when its time is up and raises it
    // for a click that waits.
    void idle(uint32_t nowMs);

private:
    void writePort(uint32_t port, float value);

    LV2UI_Write_Function write;       // the host's write_function
    LV2UI_Controller controller;      // its controller handle
    const LV2UI_Touch* touch;         // begin/end of gestures, or null
    std::function<bool(int, int)> resize;  // resizes the editor's window, or empty
    float values[kNumParams];         // the plug-in's values as last heard or written
    float level = 0.0f;               // the level port's last value, read by the meter
    bool pingUp = false;              // the ping port is 1
    bool pingQueued = false;          // a click waits for the port to rise
    bool pingEver = false;            // the port has risen before
    uint32_t pingSince = 0;           // when the port last rose or fell, ms
};
