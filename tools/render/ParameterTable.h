// The plug-in's parameters as the command line sees them: names (the host's names, and
// PlateType, InputStage and Power for the three that the host sees as "-"), the menu
// entries of the selectors, and the parsing of --set values. The plug-in itself is only
// reached through the VST interface.
#pragma once

#include "tools/VstHost.h"

#include <string>
#include <vector>

class ParameterTable {
public:
    // Reads the names from the plug-in. [user-interface thread]
    explicit ParameterTable(VstInstance& instance);

    int count() const { return (int)names.size(); }
    const std::string& name(int index) const { return names[index]; }
    // Index of a parameter by its command-line name (case-insensitive); throws UsageError.
    int find(const std::string& name) const;
    // The normalised value that VALUE stands for: a number 0 … 1, or for a selector one of
    // its menu entries (exact, or case-insensitive when that is unambiguous); throws UsageError.
    float parseValue(int index, const std::string& value) const;

    // Menu entries of a selector parameter, empty for the others.
    static const std::vector<std::string>& entries(int index);
    // The entry that the plug-in reads from `value`, or "" when none.
    static std::string entryOf(int index, float value);

    // Applies --program and the --set list, in order; throws UsageError.
    void apply(VstInstance& instance, int program,
               const std::vector<std::pair<std::string, std::string>>& sets) const;
    // The --list text: every parameter with its value, display and menu entries.
    std::string listing(VstInstance& instance) const;
    // One line naming the settings that shape the plate, for picture titles.
    std::string summary(VstInstance& instance, double sampleRate) const;

private:
    std::vector<std::string> names;  // command-line names, by index
};

// Parameter indices the renderer sets itself.
enum RenderParameter {
    kParamGain = 0,
    kParamVolume = 1,
    kParamWidth = 2,
    kParamHipass = 3,
    kParamLowpass = 4,
    kParamPreDel = 5,
    kParamLength = 6,
    kParamSound = 7,
    kParamTune = 8,
    kParamModVel = 9,
    kParamModAmp = 10,
    kParamMix = 11,
    kParamMode = 12,
    kParamModMode = 13,
    kParamPlateType = 14,
    kParamInputStage = 15,
    kParamPower = 16,
};
