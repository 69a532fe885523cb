#include "tools/render/ImpulseResponse.h"

#include "tools/render/AudioWriter.h"

#include <algorithm>
#include <cstdio>

StereoBuffer ImpulseResponse::render(OfflineRenderer& renderer, double tailSeconds, RenderStats* stats)
{
    VstInstance& plugin = renderer.plugin();
    const int changed[] = {kParamMix, kParamInputStage, kParamHipass, kParamLowpass, kParamPower};
    const float wanted[] = {1.0f, 0.1f, 0.0f, 1.0f, 1.0f};
    float saved[5];
    for (int i = 0; i < 5; i++) {
        saved[i] = plugin.getParameter(changed[i]);
        plugin.setParameter(changed[i], wanted[i]);
    }
    StereoBuffer impulse;
    impulse.left.assign(1, 1.0f);
    impulse.right.assign(1, 1.0f);
    StereoBuffer response;
    RenderStats result = renderer.render(impulse, response, tailSeconds);
    for (int i = 0; i < 5; i++)
        plugin.setParameter(changed[i], saved[i]);
    if (stats)
        *stats = result;
    return response;
}

PlotContent ImpulseResponse::describe(const StereoBuffer& response, double rate, const std::string& settings)
{
    PlotContent content;
    content.title = "Lustrana plate impulse response";
    content.settings = settings;
    content.sampleRate = rate;
    content.decay = analyseDecay(response.left, response.right, rate);
    // Long enough to show the -60 dB point of both fitted lines.
    content.duration = std::max(0.1, (double)response.frames() / rate);
    for (const ChannelDecay& channel : content.decay.channel)
        if (channel.rt60 > 0)
            content.duration = std::max(content.duration, 1.08 * (-60.0 - channel.fitOffset) / channel.fitSlope);
    std::vector<float> mid(response.left.size());
    for (size_t i = 0; i < mid.size(); i++)
        mid[i] = 0.5f * (response.left[i] + response.right[i]);
    content.spectrogram = computeSpectrogram(mid, rate, 1200, rate > 96000 ? 4096 : 2048);
    return content;
}

std::string ImpulseResponse::rt60Line(const DecayAnalysis& decay)
{
    auto one = [](const ChannelDecay& c) {
        char text[64];
        if (c.rt60 > 0)
            std::snprintf(text, sizeof text, "%.2f s", c.rt60);
        else
            std::snprintf(text, sizeof text, "not measurable");
        return std::string(text);
    };
    std::string method = decay.channel[0].method.empty() ? decay.channel[1].method : decay.channel[0].method;
    return "RT60 left " + one(decay.channel[0]) + ", right " + one(decay.channel[1]) +
           (method.empty() ? "" : " (" + method + ")");
}

void ImpulseResponse::write(const StereoBuffer& audio, const std::string& path, const std::string& formatOption,
                            double rate, int defaultFormat)
{
    int format = AudioWriter::chooseFormat(path, formatOption, defaultFormat, rate);
    AudioWriter writer(path, format, rate);
    const size_t chunk = 65536;
    for (size_t start = 0; start < audio.left.size(); start += chunk) {
        int n = (int)std::min(chunk, audio.left.size() - start);
        writer.write(audio.left.data() + start, audio.right.data() + start, n);
    }
    writer.commit();
}
