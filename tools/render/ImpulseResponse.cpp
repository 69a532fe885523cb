#include "tools/render/ImpulseResponse.h"

#include "tools/render/AudioWriter.h"

#include <algorithm>
#include <cmath>
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
    // The plug-in adds a little dither to its plate feed, which the plate turns into a
    // steady noise floor; a unit impulse at the default "Gain" of 0.2 stands only some
    // 40 dB above it. With "Solid State" and the limiter far below its threshold the
    // chain is linear, so the impulse is sent louder (a plate feed of 1.0, at most 60 dB
    // louder) and the response scaled back: the same response with the floor pushed down.
    float gain = std::fabs(plugin.getParameter(kParamGain));
    float loudness = std::isfinite(gain) && gain > 0.0f ? std::clamp(4.0f / gain, 1.0f, 1000.0f) : 1.0f;
    // Long enough for the whole plate; the automatic tail would wait for -90 dBFS, which
    // a response riding on the plug-in's noise floor may never reach.
    double tail = tailSeconds >= 0.0 ? tailSeconds : renderer.plateSeconds() + 0.1;
    const float volume = std::fabs(plugin.getParameter(kParamVolume));
    StereoBuffer response;
    RenderStats result;
    for (int attempt = 0; attempt < 3; attempt++) {
        StereoBuffer impulse;
        impulse.left.assign(1, loudness);
        impulse.right.assign(1, loudness);
        response = StereoBuffer();
        result = renderer.render(impulse, response, tail);
        // The limiter acts above -6 dB at its input, which is the output / (8 × "Volume").
        if (!(result.outputPeak / (8.0 * std::max(volume, 1e-6f)) > 0.4) || loudness <= 1.0f)
            break;
        loudness = std::max(1.0f, loudness / 16.0f);
        renderer.processSilence((int64_t)((renderer.plateSeconds() + 0.5) * renderer.sampleRate()));
    }
    for (int i = 0; i < 5; i++)
        plugin.setParameter(changed[i], saved[i]);
    for (size_t i = 0; i < response.left.size(); i++) {
        response.left[i] /= loudness;
        response.right[i] /= loudness;
    }
    result.outputPeak /= loudness;
    result.outputRms /= loudness;
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
