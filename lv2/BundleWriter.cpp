#include "lv2/BundleWriter.h"

#include "core/Controlsgui.h"
#include "lv2/Lv2Ports.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

const char kPrefixes[] =
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work:  <http://lv2plug.in/ns/ext/worker#> .\n\n";

std::string uri(const std::string& text)
{
    return "<" + text + ">";
}

std::string pluginUri()
{
    return uri(lv2uri::kPlugin);
}

std::string inner(const char* fragment)
{
    return uri(std::string(lv2uri::kPlugin) + "#" + fragment);
}

} // namespace

BundleWriter::BundleWriter(Controlsgui& fx, std::string dsp, std::string ui)
    : effect(fx), dspBinary(std::move(dsp)), uiBinary(std::move(ui))
{
}

std::string BundleWriter::number(float value)
{
    char text[32];
    for (int digits = 1; digits <= 9; digits++) {
        std::snprintf(text, sizeof text, "%.*g", digits, (double)value);
        if (std::strtof(text, nullptr) == value)
            break;
    }
    std::string s = text;
    // Turtle reads a number without a point or an exponent as an integer.
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string BundleWriter::quoted(const char* text)
{
    std::string s = "\"";
    for (const char* p = text; *p; p++) {
        if (*p == '"' || *p == '\\')
            s += '\\';
        s += *p;
    }
    return s + "\"";
}

std::string BundleWriter::presetUri(int program)
{
    char fragment[32];
    std::snprintf(fragment, sizeof fragment, "preset%02d", program + 1);
    return std::string(lv2uri::kPlugin) + "#" + fragment;
}

std::string BundleWriter::presetLabel(int program, const char* name)
{
    // Hosts sort presets by their label: numbered, the list keeps the bank's order.
    char label[64];
    std::snprintf(label, sizeof label, "%02d %s", program + 1, name);
    return label;
}

std::string BundleWriter::manifest() const
{
    std::string t = kPrefixes;
    t += pluginUri() + "\n    a lv2:Plugin ;\n    lv2:binary " + uri(dspBinary) +
         " ;\n    rdfs:seeAlso <Lustrana.ttl> .\n\n";
    t += uri(lv2uri::kUi) + "\n    a ui:X11UI ;\n    lv2:binary " + uri(uiBinary) +
         " ;\n    rdfs:seeAlso <Lustrana.ttl> .\n";
    for (int p = 0; p < kNumPrograms; p++) {
        char name[kVstMaxProgNameLen + 16] = {};
        effect.getProgramNameIndexed(0, p, name);
        t += '\n';
        t += uri(presetUri(p)) + "\n    a pset:Preset ;\n    lv2:appliesTo " + pluginUri() +
             " ;\n    pset:bank " + inner("factory") + " ;\n    rdfs:label " +
             quoted(presetLabel(p, name).c_str()) + " ;\n    rdfs:seeAlso <presets.ttl> .\n";
    }
    return t;
}

std::string BundleWriter::portHead(const char* classes, uint32_t index, const char* symbol, const char* name,
                                   const char* comment)
{
    std::string t = std::string("[\n        a ") + classes + " ;\n";
    t += "        lv2:index " + std::to_string(index) + " ;\n";
    t += "        lv2:symbol " + quoted(symbol) + " ;\n";
    t += "        lv2:name " + quoted(name) + " ;\n";
    if (comment)
        t += "        rdfs:comment " + quoted(comment) + " ;\n";
    return t;
}

std::string BundleWriter::parameterPort(int i) const
{
    const lv2port::ParameterPort& port = lv2port::kParameterPorts[i];
    std::string t = portHead("lv2:InputPort , lv2:ControlPort", lv2port::portOf(i), port.symbol, port.name,
                             port.comment);
    t += "        lv2:default " + number(kParameterDefaults[i]) + " ;\n";
    t += "        lv2:minimum 0.0 ;\n        lv2:maximum 1.0";
    const SelectorEntries entries = selectorEntries(i);
    if (entries.count > 0) {
        t += " ;\n        lv2:portProperty lv2:enumeration";
        for (int e = 0; e < entries.count; e++)
            t += std::string(e ? " ,\n" : " ;\n        lv2:scalePoint ") + "[ rdfs:label " +
                 quoted(entries.texts[e]) + " ; rdf:value " + number(selectorValue(e)) + " ]";
    } else if (i == kPower) {
        t += " ;\n        lv2:portProperty lv2:toggled";
    }
    return t + "\n    ]";
}

std::string BundleWriter::plugin() const
{
    std::string t = kPrefixes;
    t += inner("factory") + "\n    a pset:Bank ;\n    rdfs:label \"Factory\" .\n\n";
    t += inner("in") +
         "\n    a pg:InputGroup , pg:StereoGroup ;\n    lv2:symbol \"in\" ;\n    lv2:name \"Input\" ;\n"
         "    rdfs:label \"Input\" .\n\n";
    t += inner("out") +
         "\n    a pg:OutputGroup , pg:StereoGroup ;\n    lv2:symbol \"out\" ;\n    lv2:name \"Output\" ;\n"
         "    rdfs:label \"Output\" ;\n    pg:source " + inner("in") + " .\n\n";

    t += pluginUri() + "\n    a lv2:Plugin , lv2:ReverbPlugin , doap:Project ;\n";
    t += "    doap:name \"Lustrana\" ;\n";
    t += "    doap:maintainer [ foaf:name " + quoted(Controlsgui::kVendor) + " ; foaf:homepage <https://" +
         Controlsgui::kVendor + "/> ] ;\n";
    t += "    rdfs:comment \"A stereo plate reverb: the impulse response of a suspended metal plate, synthesised "
         "from noise, convolved with the plate feed.\" ;\n";
    // The project's version: hosts keep the newest of two bundles by it.
    t += "    lv2:minorVersion " + std::to_string(LUSTRANA_VERSION_MINOR) + " ;\n    lv2:microVersion " +
         std::to_string(LUSTRANA_VERSION_MICRO) + " ;\n";
    // Every feature is optional: hosts without a worker (offline tools) get the plate built
    // inside run.
    t += "    lv2:optionalFeature lv2:hardRTCapable , work:schedule ;\n";
    t += "    lv2:extensionData work:interface ;\n";
    t += "    ui:ui " + uri(lv2uri::kUi) + " ;\n";
    t += "    pg:mainInput " + inner("in") + " ;\n    pg:mainOutput " + inner("out") + " ;\n";

    struct Audio {
        uint32_t index;
        const char* symbol;
        const char* name;
        bool input;
        bool left;
    };
    const Audio audio[] = {
        {lv2port::kInLeft, "in_l", "Left In", true, true},
        {lv2port::kInRight, "in_r", "Right In", true, false},
        {lv2port::kOutLeft, "out_l", "Left Out", false, true},
        {lv2port::kOutRight, "out_r", "Right Out", false, false},
    };
    t += "    lv2:port ";
    for (const Audio& a : audio) {
        t += std::string(a.index ? " , " : "") +
             portHead(a.input ? "lv2:AudioPort , lv2:InputPort" : "lv2:AudioPort , lv2:OutputPort", a.index,
                      a.symbol, a.name);
        t += "        pg:group " + inner(a.input ? "in" : "out") + " ;\n";
        t += std::string("        lv2:designation ") + (a.left ? "pg:left" : "pg:right") + "\n    ]";
    }
    for (int i = 0; i < kNumParams; i++)
        t += " , " + parameterPort(i);

    // Both ways of saying "latency": hosts read one or the other. The maximum lets hosts
    // size their delay lines for it.
    t += " , " + portHead("lv2:OutputPort , lv2:ControlPort", lv2port::kLatency, "latency", "Latency",
                          "Delay of the dry and the reverberated signal, in samples.");
    t += "        lv2:designation lv2:latency ;\n";
    t += "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI ;\n";
    t += "        lv2:minimum 0 ;\n        lv2:maximum " + std::to_string(lv2port::kMaxLatency) + "\n    ]";

    t += " , " + portHead("lv2:OutputPort , lv2:ControlPort", lv2port::kLevel, "level", "Level to Plate",
                          "Peak of the plate feed in the last block, -72 dB (0) ... 0 dB (1) relative to a feed "
                          "of 2.0.");
    t += "        lv2:default 0.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0\n    ]";

    t += " , " + portHead("lv2:InputPort , lv2:ControlPort", lv2port::kPing, "ping", "Ping",
                          "The plate click: each rising edge sends one unit impulse into the plate.");
    t += "        lv2:portProperty pprops:trigger , lv2:toggled ;\n";
    t += "        lv2:default 0.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0\n    ] .\n\n";

    t += uri(lv2uri::kUi) + "\n    a ui:X11UI ;\n    lv2:binary " + uri(uiBinary) + " ;\n";
    t += "    lv2:requiredFeature ui:idleInterface ;\n";
    t += "    lv2:optionalFeature ui:parent , ui:resize , ui:noUserResize , ui:touch , opts:options , urid:map ;\n";
    t += "    opts:supportedOption ui:scaleFactor ;\n";
    t += "    lv2:extensionData ui:idleInterface , ui:showInterface ;\n";
    t += "    ui:portNotification [\n        ui:plugin " + pluginUri() +
         " ;\n        lv2:symbol \"level\" ;\n        ui:protocol ui:floatProtocol\n    ] .\n";
    return t;
}

std::string BundleWriter::presets()
{
    std::string t = kPrefixes;
    for (int p = 0; p < kNumPrograms; p++) {
        effect.selectProgram(p);
        t += uri(presetUri(p)) + "\n    lv2:port ";
        for (int i = 0; i < kNumParams; i++)
            t += std::string(i ? " , " : "") + "[\n        lv2:symbol " + quoted(lv2port::kParameterPorts[i].symbol) +
                 " ;\n        pset:value " + number(effect.getParameter(i)) + "\n    ]";
        t += " .\n\n";
    }
    effect.selectProgram(0);
    return t;
}

bool BundleWriter::writeTo(const std::string& directory)
{
    const std::string files[3][2] = {
        {"manifest.ttl", manifest()}, {"Lustrana.ttl", plugin()}, {"presets.ttl", presets()}};
    for (const auto& f : files) {
        const std::string path = directory + "/" + f[0];
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << f[1];
        out.close();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}
