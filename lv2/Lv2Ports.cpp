#include "lv2/Lv2Ports.h"

namespace lv2port {

const ParameterPort kParameterPorts[kNumParams] = {
    {"gain", "Gain", "Input gain into the plate, linear: the value is the factor."},
    {"volume", "Volume", "Level of the reverberated signal, linear; the dry signal is not affected."},
    {"width", "Width",
     "Stereo width of the plate (0 mono ... 1 wide); in \"Panned (Width) Mono\" the pan position of the mono "
     "feed. Changing it builds a new plate impulse."},
    {"hipass", "Hipass", "High-pass on the plate feed, 44 Hz (0) ... 2 kHz (1)."},
    {"lowpass", "Lowpass", "Low-pass on the plate feed, 882 Hz (0) ... 20.7 kHz (1)."},
    {"predel", "PreDel", "Pre-delay, 0 ... 200 ms."},
    {"length", "Length",
     "Plate decay: the impulse is 0.25 s (0) ... 7.3 s (1) long, falling 120 dB over that length (RT60 about "
     "half of it; a quarter for \"Thick Steel\"). Changing it builds a new plate impulse."},
    {"sound", "Sound",
     "Plate tone: how quickly the echo density builds up, the width of the ringing band and the amount of "
     "dispersion. Changing it builds a new plate impulse."},
    {"tune", "Tune",
     "Centre of the plate's ringing band, about 740 Hz (0) ... 3.6 kHz (1). Changing it builds a new plate "
     "impulse."},
    {"modvel", "ModVel", "Modulation speed."},
    {"modamp", "ModAmp", "Modulation depth."},
    {"mix", "Mix", "Dry/wet: dry weight 1 - Mix, wet weight 8 x Mix."},
    {"mode", "Mode", "Stereo routing into the plate."},
    {"modmode", "ModMode", "Kind of modulation of the reverberated signal."},
    {"platetype", "Plate", "Plate material. Changing it builds a new plate impulse."},
    {"inputstage", "Input Stage", "Input stage: a modelled two-tube amplifier or a clean gain."},
    {"power", "Power", "Off passes the dry signal alone (still 2048 samples late)."},
};

} // namespace lv2port
