// The installed Lustrana.lv2 as hosts read it: the LV2 validator on its Turtle files, lilv
// on its plugin, ports, UI and presets, checked against the VST 2.4 plug-in (loaded through
// our VST host) and its editor, and the libraries' exports and dependencies.
#include "lv2/support/Lv2Host.h"
#include "tests/support/editor_harness.h"
#include "toolkit/COptionMenu.h"

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>
#include <lv2/worker/worker.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {

const std::string kBundle = installedLv2Directory() + "/Lustrana.lv2";
// The names of the parameters the VST 2.4 plug-in calls "-".
const char* const kParameterPorts14To16[] = {"Plate", "Input Stage", "Power"};

// Runs a shell command; its standard output and error, and its exit status.
std::string command(const std::string& line, int& status)
{
    std::string output;
    FILE* p = popen((line + " 2>&1").c_str(), "r");
    if (!p) {
        status = -1;
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        output.append(buffer, n);
    status = pclose(p);
    return output;
}

class Nodes {
public:
    Nodes() = default;
    ~Nodes()
    {
        for (LilvNode* n : owned)
            lilv_node_free(n);
    }
    const LilvNode* operator()(const char* uri)
    {
        owned.push_back(lv2World().uri(uri));
        return owned.back();
    }

private:
    std::vector<LilvNode*> owned;
};

std::string text(const LilvNode* n)
{
    return n && (lilv_node_is_string(n) || lilv_node_is_uri(n)) ? lilv_node_as_string(n) : std::string();
}

} // namespace

TEST(Lv2Bundle, TheLv2ValidatorAcceptsTheTurtleFiles)
{
    int status = 0;
    command("command -v lv2_validate sord_validate", status);
    if (status != 0)
        GTEST_SKIP() << "lv2_validate (Debian lv2-dev and sordi) is not installed";
    std::string files;
    for (const char* f : {"manifest.ttl", "Lustrana.ttl", "presets.ttl"})
        files += " '" + kBundle + "/" + f + "'";
    const std::string out = command("lv2_validate" + files, status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
}

TEST(Lv2Bundle, ThePluginAndItsPortsAreWhatTheVst2PluginIs)
{
    const LilvPlugin* p = lv2World().plugin();
    ASSERT_NE(p, nullptr);
    Nodes uri;
    LilvNode* name = lilv_plugin_get_name(p);
    EXPECT_EQ(text(name), "Lustrana");
    lilv_node_free(name);
    EXPECT_EQ(text(lilv_plugin_class_get_uri(lilv_plugin_get_class(p))), LV2_CORE__ReverbPlugin);
    EXPECT_EQ(lilv_plugin_get_num_ports(p), lv2port::kCount);

    // every feature optional, the worker among them
    LilvNodes* required = lilv_plugin_get_required_features(p);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    EXPECT_TRUE(lilv_plugin_has_feature(p, uri(LV2_WORKER__schedule)));
    EXPECT_TRUE(lilv_plugin_has_extension_data(p, uri(LV2_WORKER__interface)));

    auto vst = newInstance();
    ASSERT_TRUE(vst);
    std::set<std::string> symbols;
    const char* audio[4] = {"in_l", "in_r", "out_l", "out_r"};
    for (uint32_t i = 0; i < lv2port::kCount; i++) {
        const LilvPort* port = lilv_plugin_get_port_by_index(p, i);
        ASSERT_NE(port, nullptr) << i;
        const std::string symbol = text(lilv_port_get_symbol(p, port));
        SCOPED_TRACE(symbol);
        EXPECT_TRUE(symbols.insert(symbol).second) << "symbols are unique";
        const bool input = lilv_port_is_a(p, port, uri(LV2_CORE__InputPort));
        if (i < 4) {
            EXPECT_EQ(symbol, audio[i]);
            EXPECT_TRUE(lilv_port_is_a(p, port, uri(LV2_CORE__AudioPort)));
            EXPECT_EQ(input, i < 2);
            LilvNode* group = lilv_port_get(p, port, uri(LV2_PORT_GROUPS__group));
            EXPECT_EQ(text(group), std::string(lv2uri::kPlugin) + (i < 2 ? "#in" : "#out"));
            lilv_node_free(group);
            LilvNode* side = lilv_port_get(p, port, uri(LV2_CORE__designation));
            EXPECT_EQ(text(side), i % 2 == 0 ? LV2_PORT_GROUPS__left : LV2_PORT_GROUPS__right);
            lilv_node_free(side);
            continue;
        }
        EXPECT_TRUE(lilv_port_is_a(p, port, uri(LV2_CORE__ControlPort)));
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(p, port, &def, &min, &max);
        ASSERT_TRUE(min && max);
        if (lv2port::isParameter(i)) {
            const int index = lv2port::parameterOf(i);
            EXPECT_TRUE(input);
            EXPECT_EQ(symbol, lv2port::kParameterPorts[index].symbol);
            LilvNode* portName = lilv_port_get_name(p, port);
            // the VST 2.4 names, where the VST 2.4 plug-in has one
            const std::string vstName = vst->parameterName(index);
            EXPECT_EQ(text(portName), vstName != "-" ? vstName : kParameterPorts14To16[index - kPlateType]);
            lilv_node_free(portName);
            ASSERT_TRUE(def);
            EXPECT_EQ(lilv_node_as_float(min), 0.0f);
            EXPECT_EQ(lilv_node_as_float(max), 1.0f);
            EXPECT_EQ(lilv_node_as_float(def), vst->getParameter(index)) << "the VST 2.4 default";
            LilvNodes* comments = lilv_port_get_value(p, port, uri(LILV_NS_RDFS "comment"));
            EXPECT_EQ(lilv_nodes_size(comments), 1u);
            lilv_nodes_free(comments);
            EXPECT_EQ(lilv_port_has_property(p, port, uri(LV2_CORE__toggled)), index == kPower);
            EXPECT_EQ(lilv_port_has_property(p, port, uri(LV2_CORE__enumeration)),
                      index >= kMode && index <= kInputStage);
        } else if (i == lv2port::kLatency) {
            EXPECT_EQ(symbol, "latency");
            EXPECT_FALSE(input);
            EXPECT_TRUE(lilv_port_has_property(p, port, uri(LV2_CORE__reportsLatency)));
            LilvNode* designation = lilv_port_get(p, port, uri(LV2_CORE__designation));
            EXPECT_EQ(text(designation), LV2_CORE__latency);
            lilv_node_free(designation);
            EXPECT_GE(lilv_node_as_float(max), 2048.0f) << "hosts size their delay lines from it";
        } else if (i == lv2port::kLevel) {
            EXPECT_EQ(symbol, "level");
            EXPECT_FALSE(input);
            EXPECT_EQ(lilv_node_as_float(max), 1.0f);
        } else {
            EXPECT_EQ(symbol, "ping");
            EXPECT_TRUE(input);
            EXPECT_TRUE(lilv_port_has_property(p, port, uri(LV2_PORT_PROPS__trigger)));
        }
        if (def) {
            EXPECT_GE(lilv_node_as_float(def), lilv_node_as_float(min));
            EXPECT_LE(lilv_node_as_float(def), lilv_node_as_float(max));
        }
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);
    }
    EXPECT_EQ(lilv_plugin_get_latency_port_index(p), lv2port::kLatency);
}

TEST(Lv2Bundle, SelectorScalePointsAreTheEditorsMenuEntries)
{
    const LilvPlugin* p = lv2World().plugin();
    ASSERT_NE(p, nullptr);
    EditorHarness h;
    h.frame();
    for (int index = kMode; index <= kInputStage; index++) {
        SCOPED_TRACE(index);
        COptionMenu* menu = h.menu(index);
        ASSERT_NE(menu, nullptr);
        LilvScalePoints* points = lilv_port_get_scale_points(p, lilv_plugin_get_port_by_index(p, lv2port::portOf(index)));
        ASSERT_NE(points, nullptr);
        std::map<int, std::string> byEntry;
        LILV_FOREACH (scale_points, it, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, it);
            const float value = lilv_node_as_float(lilv_scale_point_get_value(point));
            // the engine reads the value back as the entry (ModMode without the 0.03)
            const int entry = index == kModMode ? modulationSelector(value) : selectorIndex(value);
            EXPECT_EQ(value, (float)entry * 0.1f) << "the value the editor writes for the entry";
            byEntry[entry] = text(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        ASSERT_EQ((int)byEntry.size(), menu->getNbEntries());
        for (int e = 0; e < menu->getNbEntries(); e++)
            EXPECT_EQ(byEntry[e], menu->getEntry(e));
    }
}

TEST(Lv2Bundle, FiftyPresetsInBankOrderWithTheProgramsValues)
{
    const LilvPlugin* p = lv2World().plugin();
    ASSERT_NE(p, nullptr);
    LilvWorld* world = lv2World().world();
    Nodes uri;
    auto vst = newInstance();
    ASSERT_TRUE(vst);
    std::set<std::string> inputSymbols;
    for (int i = 0; i < kNumParams; i++)
        inputSymbols.insert(lv2port::kParameterPorts[i].symbol);

    LilvNodes* presets = lilv_plugin_get_related(p, uri(LV2_PRESETS__Preset));
    std::map<std::string, const LilvNode*> byLabel;
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(world, preset);
        LilvNode* label = lilv_world_get(world, preset, uri(LILV_NS_RDFS "label"), nullptr);
        byLabel[text(label)] = preset;
        lilv_node_free(label);
    }
    ASSERT_EQ(byLabel.size(), (size_t)kNumPrograms);
    int program = 0;
    for (const auto& [label, preset] : byLabel) {  // sorted by label, as hosts sort them
        SCOPED_TRACE(label);
        char number[16];
        std::snprintf(number, sizeof number, "%02d ", program + 1);
        EXPECT_EQ(label, number + vst->programNameIndexed(program));
        vst->dispatch(effSetProgram, 0, program);
        std::set<std::string> seen;
        LilvNodes* ports = lilv_world_find_nodes(world, preset, uri(LV2_CORE__port), nullptr);
        LILV_FOREACH (nodes, pt, ports) {
            const LilvNode* port = lilv_nodes_get(ports, pt);
            LilvNode* symbol = lilv_world_get(world, port, uri(LV2_CORE__symbol), nullptr);
            LilvNode* value = lilv_world_get(world, port, uri(LV2_PRESETS__value), nullptr);
            const std::string s = text(symbol);
            EXPECT_TRUE(inputSymbols.count(s)) << "no parameter port " << s;
            EXPECT_TRUE(seen.insert(s).second) << s << " twice";
            for (int i = 0; i < kNumParams; i++) {
                if (s == lv2port::kParameterPorts[i].symbol && value) {
                    EXPECT_EQ(lilv_node_as_float(value), vst->getParameter(i)) << s;
                }
            }
            lilv_node_free(symbol);
            lilv_node_free(value);
        }
        lilv_nodes_free(ports);
        EXPECT_EQ(seen.size(), (size_t)kNumParams);
        program++;
    }
    lilv_nodes_free(presets);
}

TEST(Lv2Bundle, TheUiIsAnX11UiTheHostIdles)
{
    const LilvPlugin* p = lv2World().plugin();
    ASSERT_NE(p, nullptr);
    Nodes uri;
    LilvUIs* uis = lilv_plugin_get_uis(p);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_EQ(text(lilv_ui_get_uri(ui)), lv2uri::kUi);
    EXPECT_TRUE(lilv_ui_is_a(ui, uri(LV2_UI__X11UI)));
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    EXPECT_TRUE(std::filesystem::exists(binary)) << binary;
    lilv_free(binary);
    LilvWorld* world = lv2World().world();
    LilvNodes* required = lilv_world_find_nodes(world, lilv_ui_get_uri(ui), uri(LV2_CORE__requiredFeature), nullptr);
    ASSERT_EQ(lilv_nodes_size(required), 1u);
    EXPECT_EQ(text(lilv_nodes_get(required, lilv_nodes_begin(required))), LV2_UI__idleInterface);
    lilv_nodes_free(required);
    for (const char* iface : {LV2_UI__idleInterface, LV2_UI__showInterface})
        EXPECT_TRUE(lilv_world_ask(world, lilv_ui_get_uri(ui), uri(LV2_CORE__extensionData), uri(iface))) << iface;
    lilv_uis_free(uis);
}

TEST(Lv2Bundle, EachLibraryExportsOnlyItsDescriptorAndTheDspNeedsNoDisplay)
{
    int status = 0;
    for (const auto& [file, entry] : {std::pair<std::string, std::string>{"Lustrana_dsp.so", "lv2_descriptor"},
                                      {"Lustrana_ui.so", "lv2ui_descriptor"}}) {
        const std::string path = kBundle + "/" + file;
        const std::string symbols = command("nm -D --defined-only '" + path + "'", status);
        ASSERT_EQ(status, 0) << symbols;
        int exported = 0;
        size_t start = 0;
        while (start < symbols.size()) {
            size_t end = symbols.find('\n', start);
            std::string line = symbols.substr(start, end - start);
            if (line.find(" T ") != std::string::npos || line.find(" W ") != std::string::npos ||
                line.find(" D ") != std::string::npos || line.find(" B ") != std::string::npos ||
                line.find(" V ") != std::string::npos || line.find(" i ") != std::string::npos) {
                exported++;
                EXPECT_NE(line.find(entry), std::string::npos) << file << " exports " << line;
            }
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        EXPECT_EQ(exported, 1) << file;
    }
    const std::string needed = command("objdump -p '" + kBundle + "/Lustrana_dsp.so' | grep NEEDED", status);
    for (const char* library : {"libX11", "libcairo", "libpng", "libfontconfig", "libz"})
        EXPECT_EQ(needed.find(library), std::string::npos) << needed;
}
