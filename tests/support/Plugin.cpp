#include "support/Plugin.h"

#include <gtest/gtest.h>

VstLibrary& pluginLibrary()
{
    static VstLibrary library(LUSTRANA_PLUGIN_PATH);
    return library;
}

std::unique_ptr<VstInstance> newInstance()
{
    std::unique_ptr<VstInstance> instance = pluginLibrary().instantiate();
    EXPECT_NE(instance, nullptr);
    return instance;
}

StereoBuffer processBlocks(VstInstance& instance, const StereoBuffer& in, int block)
{
    StereoBuffer out(in.size());
    for (size_t start = 0; start < in.size(); start += block) {
        int n = (int)std::min<size_t>(block, in.size() - start);
        float* inputs[2] = {const_cast<float*>(in.left.data() + start),
                            const_cast<float*>(in.right.data() + start)};
        float* outputs[2] = {out.left.data() + start, out.right.data() + start};
        instance.processReplacing(inputs, outputs, n);
    }
    return out;
}
