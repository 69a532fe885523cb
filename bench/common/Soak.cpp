#include "bench/common/Soak.h"

#include "bench/common/Measure.h"
#include "bench/common/Streams.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace bench {

namespace {

constexpr int kBlock = 512;
constexpr int kMinute = 60 * 44100;

enum class Kind { Noise, Bursts, Silence };

struct Segment {
    int start, end;    // samples within the minute
    Kind kind;
    float level;       // noise amplitude, or burst peak
};

struct Event {
    int at;            // sample within the minute
    int index;         // parameter, or -1 for a program change
    float value;       // parameter value, or program number
};

// The minute's script, the same every minute.
void script(std::vector<Segment>& segments, std::vector<Event>& events)
{
    std::mt19937 gen(2026);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int t = 0; t < kMinute;) {
        const int length = (int)((1.0f + 4.0f * unit(gen)) * 44100.0f);
        const float pick = unit(gen);
        const Kind kind = pick < 0.4f ? Kind::Noise : pick < 0.75f ? Kind::Bursts : Kind::Silence;
        segments.push_back({t, std::min(kMinute, t + length), kind, 0.05f + 0.6f * unit(gen)});
        t += length;
    }
    for (int t = (int)(2.0f * 44100.0f); t < kMinute; t += (int)((2.0f + 2.0f * unit(gen)) * 44100.0f)) {
        if (unit(gen) < 0.1f)
            events.push_back({t, -1, (float)(int)(unit(gen) * 49.99f)});
        else
            events.push_back({t, (int)(unit(gen) * 16.99f), unit(gen)});
    }
}

// Input sample t of the minute: noise, plucked chords (a new one every half second,
// three decaying partials), or silence.
void input(const Segment& s, int t, std::mt19937& gen, float& l, float& r)
{
    if (s.kind == Kind::Silence) {
        l = r = 0.0f;
        return;
    }
    if (s.kind == Kind::Noise) {
        std::uniform_real_distribution<float> d(-s.level, s.level);
        l = d(gen);
        r = d(gen);
        return;
    }
    const int n = (t - s.start) % 22050;
    const int chord = (t - s.start) / 22050;
    const float env = s.level * std::exp(-(float)n / 4000.0f);
    float v = 0.0f;
    for (int k = 1; k <= 3; k++)
        v += std::sin(0.01f * (float)(n * k) * (1.0f + 0.37f * (float)(chord % 5))) / (float)k;
    l = env * v;
    r = env * v * 0.8f;
}

} // namespace

std::vector<SoakMinute> soak(VstLibrary& lib, int minutes)
{
    std::vector<Segment> segments;
    std::vector<Event> events;
    script(segments, events);

    auto fx = openInstance(lib, kBlock);
    fx->processLevel.store(kVstProcessLevelOffline);
    auto reference = std::make_unique<Stream>(openInstance(lib, kBlock), kBlock);
    reference->run(44100);
    // Parameter changes edit the current program, so the programs as they were, to be put
    // back at every minute's start.
    float programs[50][17];
    for (int p = 0; p < 50; p++) {
        fx->dispatch(effSetProgram, 0, p);
        for (int i = 0; i < 17; i++)
            programs[p][i] = fx->getParameter(i);
    }
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    std::vector<SoakMinute> result;
    for (int m = 0; m < minutes; m++) {
        std::mt19937 gen(77);
        for (int p = 49; p >= 0; p--) {
            fx->dispatch(effSetProgram, 0, p);
            for (int i = 0; i < 17; i++)
                fx->setParameter(i, programs[p][i]);
        }
        SoakMinute minute;
        size_t segment = 0, event = 0;
        for (int t = 0; t < kMinute; t += kBlock) {
            for (; event < events.size() && events[event].at < t + kBlock; event++) {
                const Event& e = events[event];
                if (e.index < 0)
                    fx->dispatch(effSetProgram, 0, (VstIntPtr)e.value);
                else
                    fx->setParameter(e.index, e.value);
            }
            for (int i = 0; i < kBlock; i++) {
                while (segment + 1 < segments.size() && segments[segment].end <= t + i)
                    segment++;
                input(segments[segment], t + i, gen, inL[i], inR[i]);
            }
            const double b0 = threadCpuSeconds();
            fx->processReplacing(ins, outs, kBlock);
            const double b1 = threadCpuSeconds();
            minute.cpuSeconds += b1 - b0;
            reference->run(kBlock);
            minute.referenceSeconds += threadCpuSeconds() - b1;
            for (int i = 0; i < kBlock; i++) {
                for (float v : {outL[i], outR[i]}) {
                    if (!std::isfinite(v))
                        minute.nonFinite++;
                    else
                        minute.peak = std::max(minute.peak, std::fabs(v));
                }
            }
        }


        minute.residentKb = residentKb();
        result.push_back(minute);
        std::fprintf(stderr, "\rsoak: minute %d of %d", m + 1, minutes);
    }
    std::fprintf(stderr, "\n");
    return result;
}

bool reportSoak(const std::vector<SoakMinute>& minutes)
{
    if (minutes.empty())
        return false;
    std::printf("%-8s %12s %14s %10s %12s %10s %10s\n", "minute", "CPU s", "reference s", "ratio", "resident MB",
                "peak", "non-finite");
    double lo = minutes[0].cpuSeconds, hi = lo;
    long nonFinite = 0;
    for (size_t m = 0; m < minutes.size(); m++) {
        const SoakMinute& s = minutes[m];
        lo = std::min(lo, s.cpuSeconds);
        hi = std::max(hi, s.cpuSeconds);
        nonFinite += s.nonFinite;
        if (m < 3 || m + 3 >= minutes.size() || m % 10 == 9)
            std::printf("%-8zu %12.3f %14.3f %10.3f %12.1f %10.3f %10ld\n", m + 1, s.cpuSeconds, s.referenceSeconds,
                        s.cpuSeconds / s.referenceSeconds, s.residentKb / 1024.0, s.peak, s.nonFinite);
    }
    // The ratio to the reference of the first five minutes against that of the last five (a
    // third of a shorter run), medians; the plain CPU times beside it.
    const size_t span = std::max<size_t>(1, std::min<size_t>(5, minutes.size() / 3));
    auto medianOf = [&](size_t begin, bool ratio) {
        std::vector<double> v;
        for (size_t m = begin; m < begin + span; m++)
            v.push_back(ratio ? minutes[m].cpuSeconds / minutes[m].referenceSeconds : minutes[m].cpuSeconds);
        return median(v);
    };
    const size_t lastSpan = minutes.size() - span;
    const double early = medianOf(0, true), late = medianOf(lastSpan, true);
    const double earlySum = medianOf(0, false), lateSum = medianOf(lastSpan, false);
    const SoakMinute& first = minutes.front();
    const SoakMinute& last = minutes.back();
    const double drift = late / early - 1.0;
    const double growthMb = (last.residentKb - first.residentKb) / 1024.0;
    std::printf("\n%-58s %12s %10s\n", "goal", "this run", "goal");
    const bool flat = std::fabs(drift) <= 0.10;
    std::printf("%-58s %10.1f %% %8s   %s\n", "CPU per minute / reference, last minutes against first", 100.0 * drift,
                "±10 %", flat ? "met" : "MISSED");
    std::printf("    medians over %zu minutes: ratio %.3f and %.3f; plain CPU per minute %.3f s and %.3f s (%+.1f %%), "
                "every minute within %.1f %% … %.1f %% of the first\n", span, early, late, earlySum, lateSum,
                100.0 * (lateSum / earlySum - 1.0), 100.0 * (lo / first.cpuSeconds - 1.0),
                100.0 * (hi / first.cpuSeconds - 1.0));
    const bool memory = growthMb <= 1.0;
    std::printf("%-58s %9.2f MB %7s MB %s\n", "resident memory, last minute against first", growthMb, "1",
                memory ? "met" : "MISSED");
    std::printf("%-58s %12ld %10d   %s\n", "output samples not finite", nonFinite, 0, nonFinite == 0 ? "met" : "MISSED");
    return flat && memory && nonFinite == 0;
}

} // namespace bench
