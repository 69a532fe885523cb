#include "lv2/Lv2UiEffect.h"

#include "editor/ControlsguiEditor.h"

#include "toolkit/TickCount.h"

#include <atomic>
#include <cstring>

Lv2UiEffect::Lv2UiEffect(LV2UI_Write_Function w, LV2UI_Controller c, const LV2UI_Touch* t)
    : AudioEffectX(nullptr, kNumPrograms, kNumParams), write(w), controller(c), touch(t)
{
    for (int i = 0; i < kNumParams; i++)
        values[i] = kParameterDefaults[i];
}

void Lv2UiEffect::setParameter(VstInt32 index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    values[index] = value;
    if (auto* e = dynamic_cast<ControlsguiEditor*>(editor))
        e->setParameter(index, value);
}

float Lv2UiEffect::getParameter(VstInt32 index)
{
    return index >= 0 && index < kNumParams ? values[index] : 0.0f;
}

void Lv2UiEffect::setParameterAutomated(VstInt32 index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    setParameter(index, value);
    writePort(lv2port::portOf(index), value);
}

bool Lv2UiEffect::beginEdit(VstInt32 index)
{
    // The editor also reports gestures on the meter, UP, DOWN and the plate, which are no
    // parameters.
    if (touch && index >= 0 && index < kNumParams)
        touch->touch(touch->handle, lv2port::portOf(index), true);
    return true;
}

bool Lv2UiEffect::endEdit(VstInt32 index)
{
    if (touch && index >= 0 && index < kNumParams)
        touch->touch(touch->handle, lv2port::portOf(index), false);
    return true;
}

VstInt32 Lv2UiEffect::canHostDo(char* text)
{
    return text && std::strcmp(text, "sizeWindow") == 0 && resize ? 1 : -1;
}

bool Lv2UiEffect::sizeWindow(VstInt32 width, VstInt32 height)
{
    return resize && resize((int)width, (int)height);
}

void Lv2UiEffect::requestPing()
{
    pingQueued = true;
    idle(getTickCount());
}

void Lv2UiEffect::portEvent(uint32_t port, float value)
{
    if (lv2port::isParameter(port))
        setParameter(lv2port::parameterOf(port), value);
    else if (port == lv2port::kLevel)
        std::atomic_ref<float>(level).store(value, std::memory_order_relaxed);
}

void Lv2UiEffect::idle(uint32_t nowMs)
{
    // Up for kPingHoldMs, then down for at least half of it: each level lasts longer than a
    // host's block, so the plug-in sees every edge.
    const uint32_t elapsed = nowMs - pingSince;
    if (pingUp && elapsed >= kPingHoldMs) {
        writePort(lv2port::kPing, 0.0f);
        pingUp = false;
        pingSince = nowMs;
    } else if (!pingUp && pingQueued && (!pingEver || elapsed >= kPingHoldMs / 2)) {
        writePort(lv2port::kPing, 1.0f);
        pingUp = true;
        pingEver = true;
        pingQueued = false;
        pingSince = nowMs;
    }
}

void Lv2UiEffect::writePort(uint32_t port, float value)
{
    if (write)
        write(controller, port, sizeof value, 0, &value);
}
