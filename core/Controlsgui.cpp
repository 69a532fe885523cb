// Controlsgui construction, destruction and the host answers that are not parameters.
#include "core/Controlsgui.h"

#include "core/InstanceRegistry.h"
#include "dsp/QS_CHORUS_1.h"
#include "dsp/QS_ConvolverP.h"
#include "dsp/QS_LowpassN.h"
#include "dsp/QS_Peaking_1b.h"
#include "host/AEffEditor.h"

#include <cmath>

#include <cstring>
#include <new>

const char Controlsgui::kVendor[] = "lustranafx.eu";
static_assert(sizeof(Controlsgui::kVendor) == 14, "the vendor string has 13 characters");

namespace {
constexpr VstInt32 kUniqueId = 0x005A5237;  // 'Z' 'R' '7'
}

Controlsgui::Controlsgui(audioMasterCallback audioMaster, SynthesisDriver synthesisDriver)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), driver(synthesisDriver), tubeStage(hostPeriod)
{
    for (auto& v : parameterValues)
        v.store(0.0f, std::memory_order_relaxed);
    for (auto& r : rebuildRequested)
        r.store(false, std::memory_order_relaxed);

    programBank = std::make_unique<ControlsguiProgram[]>(kNumPrograms);
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
    try {
        createEditor();
    } catch (...) {
        // without an editor the effect works on; the record does not advertise one
        setEditor(nullptr);
    }
}

Controlsgui::~Controlsgui()
{
    // Leave the registry first: it waits for a tick in progress, and afterwards the timer
    // never visits this instance again.
    InstanceRegistry::leave(this);
    programBank.reset();
    convolver.reset();
    for (auto& l : synthLowpass)
        l.reset();
    for (auto& c : chorus)
        c.reset();
    for (auto& t : toneFilter)
        t.reset();
    // the editor goes last, with the base
}

namespace {

// Control values of the six tone filters: centre, bandwidth, gain.
constexpr float kToneControls[6][3] = {
    {0.009f, 0.4f, 1.7f}, {0.136f, 0.1f, 2.0f}, {0.8163f, 0.0f, 0.5f},
    {0.008f, 0.4f, 1.7f}, {0.127f, 0.1f, 2.0f}, {0.8163f, 0.0f, 0.5f},
};

} // namespace

void Controlsgui::buildEngine()
{
    // The tube stage fills (or shares) the process's current tables and zeroes its state.
    tubeStage.reset();

    for (float& c : cachedParameters)
        c = 0.0f;
    cachedParameters[kHipass] = 2.0f;  // outside 0..1: the first block computes both filters
    cachedParameters[kLowpass] = 2.0f;
    pingLevel.store(0.0f, std::memory_order_relaxed);

    hostPeriod = 1.0f / currentSampleRate;

    impulseLength = 340000;
    convolverInput[0] = convolverInput[1] = 0.0f;
    convolver = std::make_unique<QS_ConvolverP>(impulseLength, 4096, convolverInput[0], convolverInput[1]);
    for (int c = 0; c < 2; c++) {
        convolverOutput[c] = convolver->outputCell(c);
        backImpulse[c] = &convolver->impulseBufferRef(c);
    }

    synthLowpassCoefficient = 1.0f;
    for (int c = 0; c < 2; c++) {
        synthLowpassInput[c] = 0.0f;
        synthLowpass[c] = std::make_unique<QS_LowpassN>(synthLowpassInput[c], 6, synthLowpassCoefficient,
                                                        rateToRef);
    }

    for (auto& r : rebuildRequested)
        r.store(false, std::memory_order_relaxed);
    synthIndex = 0;
    for (int c = 0; c < 2; c++)
        for (int s = 0; s < kDispersionStages; s++)
            dispersionPrevIn[c][s] = dispersionPrevOut[c][s] = 0.0f;

    for (int c = 0; c < 2; c++) {
        chorusParams[c] = ChorusParams{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
        chorusInput[c] = 0.0f;
        chorus[c] = std::make_unique<QS_CHORUS_1>(chorusInput[c], chorusParams[c], rateToRef);
        chorusOutput[c] = chorus[c]->output();
    }

    for (int c = 0; c < 2; c++) {
        for (float& v : dryRing[c])
            v = 0.0f;
        for (float& v : preDelayRing[c])
            v = 0.0f;
    }
    dryWrite = kDryDelay;
    dryRead = 0;
    dryDelay = kDryDelay;
    preDelayRead = preDelayWrite = 0;

    for (int k = 0; k < 6; k++) {
        toneFilterInput[k][0] = toneFilterInput[k][1] = 0.0f;
        toneFilter[k] = std::make_unique<QS_Peaking_1b>(toneFilterInput[k][0], toneFilterInput[k][1],
                                                        toneFilterControls[k], rateToRef);
        for (int j = 0; j < 3; j++)
            toneFilterControls[k][j] = kToneControls[k][j];
    }
    for (auto& t : toneFilter)
        t->updateCoefficients();

    limiterGr = limiterSmoothed = limiterDb = 0.0f;
    limiterGain = 1.0f;
    limited[0] = limited[1] = 0.0f;
    modPhase = modIncrement = 0.0f;
    modGain[0] = modGain[1] = 0.0f;
    highpass = Biquad{};
    lowpass = Biquad{};

    // Only the timer's instances take a registry slot; the others are served by their owner.
    if (driver == SynthesisDriver::Timer)
        InstanceRegistry::enter(this);
    levelToPlate = 0.0f;
}

void Controlsgui::setSampleRate(float rate)
{
    // A rate that is not a number or not positive is ignored; others are held to the span
    // in which the tube stage's internal clock and the rings stay meaningful.
    if (!(rate > 0.0f) || !std::isfinite(rate))
        return;
    rate = std::fmin(std::fmax(rate, kMinSampleRate), kMaxSampleRate);
    AudioEffectX::setSampleRate(rate);
    currentSampleRate = rate;
    rateToRef = 44100.0f / rate;
    hostPeriod = 1.0f / rate;
    refToRate = 1.0f / rateToRef;
}

void Controlsgui::requestPing()
{
    pingLevel.store(1.0f, std::memory_order_relaxed);
}

float* Controlsgui::getLevelToPlate()
{
    return &levelToPlate;
}

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
    // values, into the PNG file named by ptr, at the zoom opt (0: 100 %, 900 × 851).
    if (index == vstFourCC('L', 'u', 'S', 't') && value == vstFourCC('S', 'h', 'o', 't')) {
        bool writeEditorScreenshot(AEffEditor* editor, const char* path, float scale);  // ControlsguiEditorLink.cpp
        return ptr && writeEditorScreenshot(editor, static_cast<const char*>(ptr), opt) ? 1 : 0;
    }
    return 0;
}
