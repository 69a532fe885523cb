// ControlsguiEditor at run time: control moves become parameter writes, the controls follow
// the effect, the read-out, the decay-time buttons, the plate click and the meter.
#include "editor/ControlsguiEditor.h"

#include "core/Controlsgui.h"
#include "toolkit/CAnimKnob.h"
#include "toolkit/CFrame.h"
#include "toolkit/CKickButton.h"
#include "toolkit/COnOffButton.h"
#include "toolkit/COptionMenu.h"
#include "toolkit/CTextLabel.h"
#include "toolkit/TickCount.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kMeterInterval = 60;         // the meter moves when more ms than this passed
constexpr float kMeterFallPerMs = 0.0002f; // 0.2 of full scale per second
constexpr float kLengthStep = 0.1f;        // one UP or DOWN press

const char* knobFormat(long tag)
{
    switch (tag) {
    case kWidth: return "Width %.2f";
    case kHipass: return "Hipass %.2f";
    case kLowpass: return "Lopass %.2f";
    case kPreDel: return "Pre-delay %.2f";
    case kLength: return "Length %.2f";
    case kModVel: return "Mod freq %.2f";
    case kModAmp: return "Modulation %.2f";
    case kMix: return "Dry/Wet Mix %.2f";
    default: return nullptr;
    }
}

} // namespace

void ControlsguiEditor::showMenuValue(COptionMenu* menu, float p)
{
    menu->setValue(p);  // entry trunc(p) when it exists, else nothing
    float entry = std::trunc((p + 0.03f) * 10.0f);
    if (entry >= 0.0f && entry < (float)menu->getNbEntries())  // false for NaN as well
        menu->setCurrent((long)entry);
}

void ControlsguiEditor::setParameter(VstInt32 index, float)
{
    settersInside.fetch_add(1);
    if (controlsReady.load())
        showParameter(index);
    settersInside.fetch_sub(1);
}

void ControlsguiEditor::showParameter(VstInt32 index)
{
    float p = effect->getParameter(index);  // the effect's stored value, not the argument
    if ((index >= kGain && index <= kLength) || (index >= kModVel && index <= kMix)) {
        if (knobs[index])
            knobs[index]->setValue(p);
    } else if (index == kPower) {
        if (powerSwitch)
            powerSwitch->setValue(p);
    } else if (index >= kMode && index <= kInputStage) {
        if (COptionMenu* menu = menus[index - kMode])
            showMenuValue(menu, p);
    }
}

void ControlsguiEditor::showReadOut()
{
    if (valueDisplay)
        valueDisplay->setText(displayText);
}

void ControlsguiEditor::formatGain(const char* format, const char* silent, float v)
{
    float x = 2.0f * v;
    if (x > 0.0001f)
        std::snprintf(displayText, sizeof displayText, format, (double)(20.0f * std::log10(x)));
    else
        std::snprintf(displayText, sizeof displayText, "%s", silent);
}

void ControlsguiEditor::valueChanged(CControl* control)
{
    if (!control)
        return;
    long tag = control->getTag();
    float v = control->getValue();
    switch (tag) {
    case kGain:
    case kVolume:
        effect->setParameterAutomated(tag, v);
        control->setDirty();
        if (tag == kGain)
            formatGain("Input Gain %.2fdB", "Input Gain -oo", v);
        else
            formatGain("Output Gain %.2fdB", "Output Gain -oo", v);
        showReadOut();
        break;
    case kWidth:
    case kHipass:
    case kLowpass:
    case kPreDel:
    case kLength:
    case kModVel:
    case kModAmp:
    case kMix:
        effect->setParameterAutomated(tag, v);
        control->setDirty();
        std::snprintf(displayText, sizeof displayText, knobFormat(tag), (double)(v * 100.0f));
        showReadOut();
        break;
    case kMode:
    case kModMode:
    case kPlateType:
    case kInputStage:
        effect->setParameterAutomated(tag, v * 0.1f);
        control->setDirty();
        break;
    case kPower:
        effect->setParameterAutomated(kPower, v);
        break;
    case kUpTag:
    case kDownTag:
        if (v > 0.5f) {
            float p = effect->getParameter(kLength) + (tag == kUpTag ? kLengthStep : -kLengthStep);
            p = std::clamp(p, 0.0f, 1.0f);
            effect->setParameterAutomated(kLength, p);
            if (knobs[kLength])
                knobs[kLength]->setDirty();
        }
        break;
    case kPingTag:
        if (v != 0.0f && plate)
            plate->requestPing();
        break;
    case kZoomTag: {
        int entry = (int)v;
        if (entry >= 0 && entry < EditorScale::kChoiceCount)
            chooseZoom(EditorScale::kChoices[entry]);
        break;
    }
    default:  // the meter (18) is a display; other tags do nothing
        break;
    }
}

void ControlsguiEditor::idle()
{
    AEffGUIEditor::idle();
    uint32_t now = getTickCount();
    // Compared as a difference, so the meter keeps moving when the count wraps; a negative
    // one (the first step after more than 24.8 days of uptime) is a step as well.
    int32_t elapsed = (int32_t)(now - lastMeterUpdate);
    if (elapsed >= 0 && elapsed <= kMeterInterval)
        return;
    if (frame && levelMeter && plate) {
        float level = 0.0f;
        if (float* cell = plate->getLevelToPlate())
            level = std::atomic_ref<float>(*cell).load(std::memory_order_relaxed);
        float current = levelMeter->getValue();
        float next = level > current
                         ? level
                         : current - std::min((float)(now - lastMeterUpdate) * kMeterFallPerMs, current - level);
        next = std::clamp(next, 0.0f, 1.0f);
        if (!(next >= 0.0f))  // a NaN level leaves the needle at rest
            next = 0.0f;
        levelMeter->setValue(next);
        levelMeter->setDirty();
    }
    lastMeterUpdate = now;
}
