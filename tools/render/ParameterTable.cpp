#include "tools/render/ParameterTable.h"

#include "tools/render/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace {

// Names for the parameters whose host name is "-".
const char* const kAliases[] = {"PlateType", "InputStage", "Power"};
constexpr int kFirstAlias = 14;

const std::vector<std::string> kNoEntries;
const std::vector<std::string> kModeEntries = {"Stereo->Mono->Stereo", "Split Stereo", "True Stereo",
                                               "Cross Split Stereo", "Panned (Width) Mono",
                                               "Follow the source"};
const std::vector<std::string> kModModeEntries = {"Amplitude", "Frequency", "Phase", "Pan"};
const std::vector<std::string> kPlateEntries = {"Standard Steel", "Thick Steel", "Thin Iron", "Thin Brass",
                                                "Elastic"};
const std::vector<std::string> kInputEntries = {"Tube Stage", "Solid State"};
const std::vector<std::string> kPowerEntries = {"Off", "On"};

bool sameText(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string quotedList(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); i++)
        text += (i ? ", \"" : "\"") + items[i] + "\"";
    return text;
}

// The selector readers of the plug-in: "ModMode" truncates v × 10, the others add 0.03.
int entryIndex(int index, float value)
{
    if (!std::isfinite(value) || std::fabs(value) > 1e6f)
        return -1;
    if (index == kParamPower)
        return value < 0.5f ? 0 : 1;
    if (index == kParamModMode)
        return (int)(value * 10.0f);
    return (int)(value * 10.0f + 0.03f);
}

} // namespace

ParameterTable::ParameterTable(VstInstance& instance)
{
    int total = instance.effect()->numParams;
    for (int i = 0; i < total; i++) {
        std::string host = instance.parameterName(i);
        if ((host.empty() || host == "-") && i >= kFirstAlias && i < kFirstAlias + 3)
            host = kAliases[i - kFirstAlias];
        names.push_back(host);
    }
}

int ParameterTable::find(const std::string& wanted) const
{
    for (int i = 0; i < count(); i++)
        if (names[i] != "-" && sameText(names[i], wanted))
            return i;
    std::string known;
    for (int i = 0; i < count(); i++)
        if (names[i] != "-")
            known += (known.empty() ? "" : ", ") + names[i];
    throw UsageError("unknown parameter '" + wanted + "' (parameters: " + known + ")");
}

const std::vector<std::string>& ParameterTable::entries(int index)
{
    switch (index) {
    case kParamMode: return kModeEntries;
    case kParamModMode: return kModModeEntries;
    case kParamPlateType: return kPlateEntries;
    case kParamInputStage: return kInputEntries;
    case kParamPower: return kPowerEntries;
    default: return kNoEntries;
    }
}

std::string ParameterTable::entryOf(int index, float value)
{
    const std::vector<std::string>& list = entries(index);
    int entry = entryIndex(index, value);
    if (entry < 0 || entry >= (int)list.size())
        return "";
    return list[entry];
}

float ParameterTable::parseValue(int index, const std::string& text) const
{
    const std::vector<std::string>& list = entries(index);
    auto valueOfEntry = [&](size_t entry) {
        if (index == kParamPower)
            return entry == 0 ? 0.0f : 1.0f;
        return (float)entry * 0.1f;
    };
    for (size_t i = 0; i < list.size(); i++)
        if (list[i] == text)
            return valueOfEntry(i);
    int match = -1;
    for (size_t i = 0; i < list.size(); i++)
        if (sameText(list[i], text))
            match = match == -1 ? (int)i : -2;
    if (match >= 0)
        return valueOfEntry(match);

    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    bool number = !text.empty() && *end == 0 && errno != ERANGE && std::isfinite(value);
    if (!number) {
        if (!list.empty())
            throw UsageError(names[index] + ": '" + text + "' is neither a value 0 … 1 nor one of " +
                             quotedList(list));
        throw UsageError(names[index] + ": '" + text + "' is not a number");
    }
    if (value < 0.0 || value > 1.0)
        throw UsageError(names[index] + ": " + text + " is outside 0 … 1" +
                         (list.empty() ? "" : " (or give one of " + quotedList(list) + ")"));
    return (float)value;
}

void ParameterTable::apply(VstInstance& instance, int program,
                           const std::vector<std::pair<std::string, std::string>>& sets) const
{
    if (program >= 0)
        instance.dispatch(effSetProgram, 0, program);
    // Check every assignment before any of them reaches the plug-in.
    std::vector<std::pair<int, float>> values;
    for (const auto& [name, text] : sets) {
        int index = find(name);
        values.emplace_back(index, parseValue(index, text));
    }
    for (const auto& [index, value] : values)
        instance.setParameter(index, value);
}

std::string ParameterTable::listing(VstInstance& instance) const
{
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, "program %d \"%s\"\n", (int)instance.dispatch(effGetProgram),
                  instance.programName().c_str());
    text += line;
    std::snprintf(line, sizeof line, "%3s  %-11s %-7s %-8s %s\n", "#", "name", "value", "display", "menu");
    text += line;
    for (int i = 0; i < count(); i++) {
        float value = instance.getParameter(i);
        std::string entry = entryOf(i, value);
        std::string shown;
        if (!entries(i).empty()) {
            shown = entry.empty() ? std::string("(no entry)") : entry;
            shown.insert(shown.begin(), '"');
            shown.push_back('"');
        }
        std::snprintf(line, sizeof line, "%3d  %-11s %-7.3f %-8s %s\n", i, names[i].c_str(), value,
                      instance.parameterDisplay(i).c_str(), shown.c_str());
        std::string row = line;
        while (row.size() > 1 && row[row.size() - 2] == ' ')
            row.erase(row.size() - 2, 1);
        text += row;
    }
    text += "menu entries (set by text, or by value = position x 0.1):\n";
    for (int i = 0; i < count(); i++) {
        const std::vector<std::string>& list = entries(i);
        if (list.empty())
            continue;
        std::string row = "  " + names[i] + ":";
        for (size_t e = 0; e < list.size(); e++) {
            float value = i == kParamPower ? (e == 0 ? 0.0f : 1.0f) : (float)e * 0.1f;
            std::snprintf(line, sizeof line, " %.1f \"%s\"%s", value, list[e].c_str(),
                          e + 1 < list.size() ? "," : "");
            row += line;
        }
        text += row + "\n";
    }
    return text;
}

std::string ParameterTable::summary(VstInstance& instance, double sampleRate) const
{
    auto value = [&](int index) { return instance.getParameter(index); };
    std::string plate = entryOf(kParamPlateType, value(kParamPlateType));
    std::string mode = entryOf(kParamMode, value(kParamMode));
    char text[512];
    std::snprintf(text, sizeof text,
                  "%s  ·  Length %.2f  Sound %.2f  Tune %.2f  Width %.2f  PreDel %.2f  ·  %s  ·  %s  ·  %.1f kHz",
                  plate.empty() ? "Standard Steel" : plate.c_str(), value(kParamLength), value(kParamSound),
                  value(kParamTune), value(kParamWidth), value(kParamPreDel),
                  mode.empty() ? "Follow the source" : mode.c_str(),
                  entryOf(kParamModMode, value(kParamModMode)).c_str(), sampleRate / 1000.0);
    return text;
}
