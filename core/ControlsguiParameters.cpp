// Parameters and programs: the live values, the bank of 50 programs and the host's views
// of both. Values are stored as they come; indices outside 0..16 touch nothing (setters
// ignore them, getParameter answers 0, displays write an empty text).
#include "core/Controlsgui.h"

#include "host/AEffEditor.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

bool isParameter(VstInt32 index) { return index >= 0 && index < kNumParams; }

bool isProgram(VstInt32 index) { return index >= 0 && index < kNumPrograms; }

// Program values are written by whichever thread sets parameters and read by program changes:
// each float is written and read whole.
void storeValue(float& slot, float value) { std::atomic_ref<float>(slot).store(value, std::memory_order_relaxed); }
float loadValue(float& slot) { return std::atomic_ref<float>(slot).load(std::memory_order_relaxed); }

// Copies at most kVstMaxProgNameLen - 1 characters and the terminator.
void copyProgramName(char* to, const char* from)
{
    const size_t n = strnlen(from, kVstMaxProgNameLen - 1);
    std::memcpy(to, from, n);
    to[n] = 0;
}

} // namespace

void Controlsgui::setParameter(VstInt32 index, float value)
{
    if (!isParameter(index))
        return;
    parameterValues[index].store(value, std::memory_order_relaxed);
    const VstInt32 program = curProgram.load(std::memory_order_relaxed);
    if (programBank && isProgram(program))
        storeValue(programBank[program].values[index], value);
    if (editor)
        editorSetParameter(index, value);
}

float Controlsgui::getParameter(VstInt32 index)
{
    return isParameter(index) ? parameterValues[index].load(std::memory_order_relaxed) : 0.0f;
}

void Controlsgui::getParameterName(VstInt32 index, char* text)
{
    std::strcpy(text, isParameter(index) && index <= kModMode ? kParameterNames[index] : "-");
}

void Controlsgui::getParameterDisplay(VstInt32 index, char* text)
{
    // Hosts pass buffers of at least kVstMaxParamStrLen; "%.3f" of a huge value is longer,
    // so the text is cut to what any host buffer holds.
    if (!isParameter(index)) {
        text[0] = 0;
        return;
    }
    std::snprintf(text, kVstMaxParamStrLen, "%.3f", (double)getParameter(index));
}

void Controlsgui::storeProgram()
{
    const VstInt32 program = curProgram.load(std::memory_order_relaxed);
    if (!programBank || !isProgram(program))
        return;
    for (int i = 0; i < kNumParams; i++)
        storeValue(programBank[program].values[i], parameterValues[i].load(std::memory_order_relaxed));
}

void Controlsgui::selectProgram(VstInt32 program)
{
    if (!programBank || !isProgram(program))
        return;
    curProgram.store(program, std::memory_order_relaxed);
    for (int i = 0; i < kNumParams; i++)
        setParameter(i, loadValue(programBank[program].values[i]));
}

void Controlsgui::setProgram(VstInt32 program)
{
    if (!isProgram(program))
        return;
    storeProgram();
    selectProgram(program);
}

void Controlsgui::setProgramName(char* name)
{
    const VstInt32 program = curProgram.load(std::memory_order_relaxed);
    if (programBank && isProgram(program))
        copyProgramName(programBank[program].name, name);
}

void Controlsgui::getProgramName(char* name)
{
    const VstInt32 program = curProgram.load(std::memory_order_relaxed);
    if (programBank && isProgram(program))
        std::strcpy(name, programBank[program].name);
    else
        name[0] = 0;
}

bool Controlsgui::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text)
{
    (void)category;
    if (!programBank || !isProgram(index))
        return false;
    if (std::strcmp(programBank[index].name, "Init") == 0) {
        char numbered[64];
        std::snprintf(numbered, sizeof(numbered), "%s %d", programBank[index].name, index + 1);
        copyProgramName(text, numbered);
    } else
        std::strcpy(text, programBank[index].name);
    return true;
}
