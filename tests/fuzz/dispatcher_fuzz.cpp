// Fuzz target: arbitrary sequences of dispatcher opcodes and parameter calls on one
// instance, with hostile indices, values and floats and valid buffers.
#include "FuzzInput.h"

#include "core/Controlsgui.h"

#include <cstdint>
#include <cstring>

namespace {

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    Controlsgui* fx = new Controlsgui(host);
    AEffect* e = fx->getAeffect();
    float silence[2][64] = {};
    float* io[2] = {silence[0], silence[1]};
    bool closed = false;
    for (int step = 0; step < 64 && !in.empty() && !closed; step++) {
        uint8_t what = in.take<uint8_t>();
        if (what < 16) {
            e->setParameter(e, in.take<int32_t>() % 40 - 20 + (what & 1 ? 0 : in.take<int8_t>()), in.takeFloat());
            continue;
        }
        if (what < 24) {
            (void)e->getParameter(e, in.take<int32_t>());
            continue;
        }
        if (what < 28) {
            e->processReplacing(e, io, io, in.take<uint8_t>() % 65);
            continue;
        }
        VstInt32 opcode = in.take<uint8_t>() % 90;
        VstInt32 index = in.take<int32_t>();
        VstIntPtr value = in.take<int32_t>();
        float opt = in.takeFloat();
        if (opcode == effEditOpen || opcode == effEditClose)
            continue;  // windows are the editor tests' business
        // every pointer the interface may hand over is a valid object of its kind
        char buffer[512];
        std::memset(buffer, 0, sizeof(buffer));
        size_t text = in.take<uint8_t>() % 64;
        for (size_t i = 0; i < text && !in.empty(); i++)
            buffer[i] = (char)in.take<uint8_t>();
        void* ptr = buffer;
        void* arrangement[2] = {};
        ERect* rect = nullptr;
        if (opcode == effGetSpeakerArrangement) {
            value = (VstIntPtr)&arrangement[0];
            ptr = &arrangement[1];
        } else if (opcode == effEditGetRect) {
            ptr = &rect;
        } else if (opcode == effGetChunk) {
            ptr = &arrangement[0];
        } else if (opcode == effVendorSpecific && index == vstFourCC('L', 'u', 'S', 't')) {
            continue;  // the screenshot request writes a file
        }
        if (opcode == effClose)
            closed = true;
        e->dispatcher(e, opcode, index, value, ptr, opt);
    }
    if (!closed)
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
