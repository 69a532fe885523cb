// Controlsgui construction, destruction and the host answers that are not parameters.
#include "core/Controlsgui.h"

#include "host/AEffEditor.h"

#include <cstring>
#include <new>

const char Controlsgui::kVendor[] = "lustranafx.eu";
static_assert(sizeof(Controlsgui::kVendor) == 14, "the vendor string has 13 characters");

namespace {
constexpr VstInt32 kUniqueId = 0x005A5237;  // 'Z' 'R' '7'
}

Controlsgui::Controlsgui(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), tubeStage(hostPeriod)
{
    for (auto& v : parameterValues)
        v.store(0.0f, std::memory_order_relaxed);
    for (auto& r : rebuildRequested)
        r.store(false, std::memory_order_relaxed);

    programBank = new ControlsguiProgram[kNumPrograms];
    selectProgram(0);
    antiDenormal = 1e-22f;
    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing();
    setUniqueID(kUniqueId);
    setInitialDelay(0);
    currentSampleRate = 44100.0f;
    rateToRef = 1.0f;
    refToRate = 1.0f;
    buildEngine();
    suspend();
    createEditor();
}

Controlsgui::~Controlsgui()
{
    delete[] programBank;
}

void Controlsgui::buildEngine()
{
}

void Controlsgui::setSampleRate(float rate)
{
    AudioEffectX::setSampleRate(rate);
    currentSampleRate = rate;
    rateToRef = 44100.0f / rate;
    hostPeriod = 1.0f / rate;
    refToRate = 1.0f / rateToRef;
}

void Controlsgui::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    (void)inputs;
    for (VstInt32 n = 0; n < sampleFrames; n++) {
        outputs[0][n] = 0.0f;
        outputs[1][n] = 0.0f;
    }
}

void Controlsgui::requestPing()
{
    pingLevel.store(1.0f, std::memory_order_relaxed);
}

float* Controlsgui::getLevelToPlate()
{
    return &levelToPlate;
}

void Controlsgui::buildPlateImpulse() {}
void Controlsgui::buildStandardSteel() {}
void Controlsgui::buildThickSteel() {}
void Controlsgui::buildThinIron() {}
void Controlsgui::buildThinBrass() {}
void Controlsgui::buildElastic() {}

bool Controlsgui::getEffectName(char* name)
{
    std::strcpy(name, "Lustrana");
    return true;
}

bool Controlsgui::getProductString(char* text)
{
    std::strcpy(text, "Lustrana");
    return true;
}

bool Controlsgui::getVendorString(char* text)
{
    std::strcpy(text, kVendor);
    return true;
}

VstInt32 Controlsgui::canDo(char* text)
{
    if (std::strcmp(text, "receiveVstEvents") == 0)
        return 1;
    if (std::strcmp(text, "receiveVstMidiEvent") == 0)
        return 0;
    return -1;
}

VstIntPtr Controlsgui::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (editor && index == vstFourCC('s', 't', 'C', 'A') && value == vstFourCC('W', 'h', 'e', 'e'))
        return editor->onWheel(opt) ? 1 : 0;
    // Private request of our renderer tool: the editor, drawn headless with the current
    // values, into the 900 × 851 PNG file named by ptr.
    if (index == vstFourCC('L', 'u', 'S', 't') && value == vstFourCC('S', 'h', 'o', 't')) {
        bool writeEditorScreenshot(AEffEditor* editor, const char* path);  // ControlsguiEditorLink.cpp
        return ptr && writeEditorScreenshot(editor, static_cast<const char*>(ptr)) ? 1 : 0;
    }
    return 0;
}
