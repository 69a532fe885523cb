#include "tools/render/DemoProgramme.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A small deterministic noise source, so that every demo is the same.
class Noise {
public:
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return (double)(state >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state = 12345;  // linear congruential state
};

struct Mixer {
    StereoBuffer& out;  // where sounds are added
    double rate;        // sample rate

    // Adds `sound` at `time` seconds with a constant-power pan (-1 left … 1 right).
    void add(const std::vector<double>& sound, double time, double pan, double gain)
    {
        double angle = (pan + 1.0) * M_PI / 4.0;
        double gl = std::cos(angle) * gain, gr = std::sin(angle) * gain;
        size_t start = (size_t)(time * rate);
        for (size_t i = 0; i < sound.size() && start + i < out.left.size(); i++) {
            out.left[start + i] += (float)(sound[i] * gl);
            out.right[start + i] += (float)(sound[i] * gr);
        }
    }
};

std::vector<double> kick(double rate)
{
    std::vector<double> s((size_t)(0.45 * rate));
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); i++) {
        double t = i / rate;
        phase += 2.0 * M_PI * (48.0 + 110.0 * std::exp(-t / 0.035)) / rate;
        s[i] = std::sin(phase) * std::exp(-t / 0.18) + 0.3 * std::exp(-t / 0.002);
    }
    return s;
}

std::vector<double> snare(double rate, Noise& noise)
{
    std::vector<double> s((size_t)(0.3 * rate));
    double previous = 0.0, low = 0.0;
    for (size_t i = 0; i < s.size(); i++) {
        double t = i / rate;
        double n = noise.next();
        low += (n - low) * 0.15;
        double bright = n - previous;  // a first difference: the rattle of the wires
        previous = n;
        s[i] = (0.55 * bright + 0.5 * low) * std::exp(-t / 0.07) +
               0.5 * std::sin(2.0 * M_PI * 185.0 * t) * std::exp(-t / 0.05);
    }
    return s;
}

std::vector<double> hat(double rate, Noise& noise)
{
    std::vector<double> s((size_t)(0.08 * rate));
    double previous = 0.0;
    for (size_t i = 0; i < s.size(); i++) {
        double n = noise.next();
        s[i] = (n - previous) * 0.5 * std::exp(-(i / rate) / 0.015);
        previous = n;
    }
    return s;
}

// A plucked string (Karplus-Strong): a noise burst circulating in a damped delay line.
std::vector<double> pluck(double rate, double hz, double seconds, Noise& noise)
{
    std::vector<double> s((size_t)(seconds * rate));
    double period = rate / hz;
    size_t length = (size_t)period;
    double fraction = period - length;  // tuned with a first-order allpass
    double coefficient = (1.0 - fraction) / (1.0 + fraction);
    std::vector<double> line(length);
    double smooth = 0.0;
    for (double& x : line) {
        smooth += (noise.next() - smooth) * 0.6;  // a softer pick
        x = smooth;
    }
    size_t at = 0;
    double apIn = 0.0, apOut = 0.0, last = 0.0;
    for (size_t i = 0; i < s.size(); i++) {
        double x = line[at];
        double averaged = 0.996 * 0.5 * (x + last);
        last = x;
        double y = coefficient * averaged + apIn - coefficient * apOut;
        apIn = averaged;
        apOut = y;
        line[at] = y;
        at = (at + 1) % length;
        s[i] = x * std::min(1.0, (s.size() - i) / (0.02 * rate));
    }
    return s;
}

// A voice-like burst: a glottal pulse train through three formant resonators that glide
// between vowels, in syllables.
std::vector<double> voice(double rate, Noise& noise)
{
    struct Vowel {
        double f[3];
    };
    const Vowel vowels[] = {{{730, 1090, 2440}}, {{270, 2290, 3010}}, {{530, 1840, 2480}},
                            {{300, 870, 2240}},  {{660, 1720, 2410}}};
    const double syllable = 0.24;
    const int syllables = 5;
    std::vector<double> s((size_t)(syllable * syllables * rate));
    double phase = 0.0;
    double state[3][2] = {};
    for (size_t i = 0; i < s.size(); i++) {
        double t = i / rate;
        int k = std::min(syllables - 1, (int)(t / syllable));
        double within = t / syllable - k;
        const Vowel& a = vowels[k];
        const Vowel& b = vowels[std::min(syllables - 1, k + 1)];
        double glide = std::clamp((within - 0.6) / 0.4, 0.0, 1.0);
        double f0 = 132.0 - 28.0 * t / (syllable * syllables) + 6.0 * std::sin(2 * M_PI * 5.0 * t);
        phase += f0 / rate;
        double pulse = 0.0;
        if (phase >= 1.0) {
            phase -= 1.0;
            pulse = 1.0;
        }
        double source = pulse + 0.02 * noise.next();
        double out = 0.0;
        for (int f = 0; f < 3; f++) {
            double hz = a.f[f] + (b.f[f] - a.f[f]) * glide;
            double bandwidth = 60.0 + 40.0 * f;
            double r = std::exp(-M_PI * bandwidth / rate);
            double c1 = 2.0 * r * std::cos(2.0 * M_PI * hz / rate), c2 = -r * r;
            double y = source * (1.0 - r) + c1 * state[f][0] + c2 * state[f][1];
            state[f][1] = state[f][0];
            state[f][0] = y;
            out += y * (f == 0 ? 1.0 : 0.6 / f);
        }
        double envelope = std::sin(M_PI * std::min(1.0, within / 0.85));
        s[i] = out * envelope * envelope;
    }
    return s;
}

} // namespace

StereoBuffer DemoProgramme::generate(double rate)
{
    StereoBuffer out;
    size_t frames = (size_t)(kSeconds * rate);
    out.left.assign(frames, 0.0f);
    out.right.assign(frames, 0.0f);
    Noise noise;
    Mixer mix{out, rate};

    // One bar of drums at 120 beats per minute, then a lone snare hit.
    const double beat = 0.5;
    std::vector<double> k = kick(rate);
    for (double t : {0.0, 1.0 * beat, 2.5 * beat})
        mix.add(k, t, 0.0, 0.9);
    for (double t : {1.0 * beat, 3.0 * beat})
        mix.add(snare(rate, noise), t, 0.15, 0.7);
    for (int i = 0; i < 8; i++)
        mix.add(hat(rate, noise), i * beat / 2, -0.35, i % 2 ? 0.25 : 0.4);
    mix.add(snare(rate, noise), 2.4, 0.15, 0.8);

    // A plucked phrase in A minor pentatonic.
    const double notes[][2] = {{220.0, 0.0}, {261.6, 0.18}, {329.6, 0.36}, {392.0, 0.54},
                               {440.0, 0.72}, {392.0, 1.08}, {329.6, 1.26}};
    for (const auto& note : notes)
        mix.add(pluck(rate, note[0], 0.9, noise), 2.9 + note[1], 0.4, 0.5);

    // Then a few syllables of a voice.
    mix.add(voice(rate, noise), 5.0, -0.25, 6.0);

    float peak = 0.0f;
    for (size_t i = 0; i < frames; i++)
        peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
    float gain = peak > 0.0f ? 0.708f / peak : 1.0f;
    for (size_t i = 0; i < frames; i++) {
        out.left[i] *= gain;
        out.right[i] *= gain;
    }
    return out;
}
