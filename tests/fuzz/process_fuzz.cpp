// Fuzz target: block processing with arbitrary parameter changes between blocks, arbitrary
// sample counts (0, negative, odd, up to 65536) and arbitrary sample values, in place and out
// of place. The output must stay finite whatever comes in.
#include "FuzzInput.h"

#include "core/Controlsgui.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Controlsgui fx(host);
    static std::vector<float> buffers[4];
    for (auto& b : buffers)
        b.assign(65536, 0.0f);
    for (int block = 0; block < 24 && !in.empty(); block++) {
        uint8_t changes = in.take<uint8_t>() % 4;
        for (int c = 0; c < changes; c++)
            fx.setParameter(in.take<uint8_t>() % 17, in.takeFloat());
        if (in.take<uint8_t>() % 16 == 0)
            fx.setSampleRate(in.takeFloat() * 1000.0f);
        int32_t frames;
        switch (in.take<uint8_t>() % 6) {
        case 0: frames = 0; break;
        case 1: frames = -(int32_t)in.take<uint16_t>(); break;
        case 2: frames = 1; break;
        case 3: frames = 1 + 2 * (in.take<uint8_t>() % 200); break;
        case 4: frames = in.take<uint16_t>() % 65537; break;
        default: frames = 4096; break;
        }
        const int count = frames > 0 ? frames : 0;
        // a few hostile samples among quiet noise
        for (int ch = 0; ch < 2; ch++)
            for (int i = 0; i < count; i++)
                buffers[ch][i] = (float)((i * 2654435761u) >> 20) * 1e-4f - 0.2f;
        int hostile = in.take<uint8_t>() % 8;
        for (int h = 0; h < hostile && count > 0; h++)
            buffers[in.take<uint8_t>() & 1][in.take<uint16_t>() % count] = in.takeFloat();
        const bool inPlace = in.take<uint8_t>() & 1;
        float* inputs[2] = {buffers[0].data(), buffers[1].data()};
        float* outputs[2] = {inPlace ? buffers[0].data() : buffers[2].data(),
                             inPlace ? buffers[1].data() : buffers[3].data()};
        if (in.take<uint8_t>() % 8 == 0)
            fx.requestPing();
        fx.processReplacing(inputs, outputs, frames);
        for (int ch = 0; ch < 2; ch++)
            for (int i = 0; i < count; i++)
                if (!std::isfinite(outputs[ch][i]))
                    std::abort();
    }
    return 0;
}
