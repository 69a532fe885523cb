#include "core/ControlsguiProgram.h"

#include "core/Parameters.h"

#include <cstring>

ControlsguiProgram::ControlsguiProgram()
{
    for (int i = 0; i < kNumParams; i++)
        values[i] = kParameterDefaults[i];
    std::memset(name, 0, sizeof(name));
    std::strcpy(name, "Default");
}
