// The LV2 plug-in's ports and identifiers, shared by the DSP library, the user-interface
// library and the generator of the bundle's Turtle files. The symbols are what hosts store
// in sessions and presets: never change them. The parameter ports carry the VST 2.4
// parameters' values unchanged (0..1, same defaults), so both formats mean the same.
#pragma once

#include "core/Parameters.h"

#include <cstdint>

namespace lv2port {

constexpr uint32_t kInLeft = 0;
constexpr uint32_t kInRight = 1;
constexpr uint32_t kOutLeft = 2;
constexpr uint32_t kOutRight = 3;
constexpr uint32_t kFirstParameter = 4;                       // parameter i is port 4 + i
constexpr uint32_t kLatency = kFirstParameter + kNumParams;   // output: 2048 samples
constexpr uint32_t kLevel = kLatency + 1;                     // output: the meter value 0..1
constexpr uint32_t kPing = kLevel + 1;                        // trigger input: the plate click
constexpr uint32_t kCount = kPing + 1;

constexpr uint32_t kMaxLatency = 8192;  // lv2:maximum of the latency port

constexpr bool isParameter(uint32_t port) { return port >= kFirstParameter && port < kLatency; }
constexpr int parameterOf(uint32_t port) { return (int)(port - kFirstParameter); }
constexpr uint32_t portOf(int parameter) { return kFirstParameter + (uint32_t)parameter; }

struct ParameterPort {
    const char* symbol;   // lv2:symbol
    const char* name;     // lv2:name, as hosts show it
    const char* comment;  // rdfs:comment: what the parameter does
};
extern const ParameterPort kParameterPorts[kNumParams];

} // namespace lv2port

namespace lv2uri {

constexpr const char* kPlugin = "https://lustranafx.eu/plugins/lustrana";
constexpr const char* kUi = "https://lustranafx.eu/plugins/lustrana#ui";

} // namespace lv2uri
