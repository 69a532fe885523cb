#include "core/Parameters.h"

const float kParameterDefaults[kNumParams] = {
    0.2f, 0.7f, 1.0f, 0.2f, 0.7f, 0.0f, 0.5f, 0.3f, 0.6f,
    0.4f, 0.0f, 1.0f, 0.1f, 0.2f, 0.0f, 0.0f, 1.0f,
};

const char* const kParameterNames[kNumParams] = {
    "Gain", "Volume", "Width", "Hipass", "Lowpass", "PreDel", "Length", "Sound", "Tune",
    "ModVel", "ModAmp", "Mix", "Mode", "ModMode", "-", "-", "-",
};

namespace {

const char* const kModeEntries[] = {"Stereo->Mono->Stereo", "Split Stereo", "True Stereo", "Cross Split Stereo",
                                    "Panned (Width) Mono", "Follow the source"};
const char* const kModModeEntries[] = {"Amplitude", "Frequency", "Phase", "Pan"};
const char* const kPlateEntries[] = {"Standard Steel", "Thick Steel", "Thin Iron", "Thin Brass", "Elastic"};
const char* const kInputStageEntries[] = {"Tube Stage", "Solid State"};

template <int N>
SelectorEntries entriesOf(const char* const (&texts)[N])
{
    return SelectorEntries{texts, N};
}

// (int) of a float, for values an int can hold; -1 for NaN, infinities and huge values,
// whose conversion would be undefined.
int truncateOrNone(float x)
{
    if (!(x > -2147483520.0f && x < 2147483520.0f))
        return -1;
    return (int)x;
}

} // namespace

int selectorIndex(float value)
{
    return truncateOrNone(value * 10.0f + 0.03f);
}

int modulationSelector(float value)
{
    return truncateOrNone(value * 10.0f);
}

SelectorEntries selectorEntries(int index)
{
    switch (index) {
    case kMode: return entriesOf(kModeEntries);
    case kModMode: return entriesOf(kModModeEntries);
    case kPlateType: return entriesOf(kPlateEntries);
    case kInputStage: return entriesOf(kInputStageEntries);
    default: return SelectorEntries{nullptr, 0};
    }
}

float selectorValue(int entry)
{
    return (float)entry * 0.1f;
}
