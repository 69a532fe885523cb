// A test host for the editor that links the effect directly: it creates a Controlsgui whose
// ping and meter level are observable, records every host callback, opens the editor on a
// headless frame and drives it with mouse events through the widget layer.
#pragma once

#include "core/Controlsgui.h"
#include "editor/ControlsguiEditor.h"
#include "toolkit/CFrame.h"
#include "tools/VstHost.h"

#include <cstdint>
#include <string>
#include <vector>

class CControl;
class COptionMenu;

// The effect with its two editor-facing operations observed.
class ObservedEffect : public Controlsgui {
public:
    explicit ObservedEffect(audioMasterCallback callback) : Controlsgui(callback) {}
    void requestPing() override
    {
        pings++;
        Controlsgui::requestPing();
    }
    float* getLevelToPlate() override { return &level; }

    int pings = 0;       // requestPing calls
    float level = 0.0f;  // what the meter reads
};

class EditorHarness {
public:
    EditorHarness();
    ~EditorHarness();
    EditorHarness(const EditorHarness&) = delete;
    EditorHarness& operator=(const EditorHarness&) = delete;

    ObservedEffect& effect() { return *plugin; }
    ControlsguiEditor& editor();
    CFrame& frame();
    // Effect dispatcher, as the host calls it.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    // The control with this tag in the open frame (the read-out label is tag -1).
    CControl* control(long tag);
    COptionMenu* menu(long tag);

    void press(double x, double y);
    void moveTo(double x, double y);
    void release(double x, double y);
    void click(double x, double y);
    // Press, move in `steps` steps, release.
    void drag(double x0, double y0, double x1, double y1, int steps = 10);

    std::vector<HostCall> calls() const { return log; }
    std::vector<HostCall> callsOf(VstInt32 opcode) const;
    void clearCalls() { log.clear(); }

    // Pixel in the frame's surface as 0xRRGGBB.
    uint32_t pixel(int x, int y);

    // The editor's clock in the tests.
    static uint32_t now;
    static uint32_t fakeClock() { return now; }

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);
    static EditorHarness* current;  // the harness whose effect is calling back

    ObservedEffect* plugin = nullptr;  // owned
    std::vector<HostCall> log;         // host callbacks, in order
};

// A PNG file read with libpng as 8-bit RGBA rows (for comparing strips to what was drawn).
struct RgbaImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // RGBA, row after row
    bool load(const std::string& path);
    const uint8_t* at(int x, int y) const { return &pixels[((size_t)y * width + x) * 4]; }
};
