// The whole plug-in as a host runs it, side by side with its anchors in the same run:
// Dragonfly Plate Reverb (Debian dragonfly-reverb-vst) through the same VST host library,
// LSP Impulse Reverb (Debian lsp-plugins-vst) with an impulse file of the plug-in's length,
// zita-convolver's uniform 2048 convolution at the same impulse length, and a plain
// multiply-accumulate plus transforms. Every figure is a median over interleaved rounds, in
// CPU seconds per second of stereo audio at 44.1 kHz, printed with its ratio to the anchors,
// and the goals with their verdicts.
//
// Run: build-bench/bench/plugin_bench [--rounds=N] [--seconds=S] [--before=OLD.so]
//      (the summary, by default; --before measures an earlier build alongside)
//      build-bench/bench/plugin_bench --soak[=MINUTES]   (an hour of audio by default)
//      build-bench/bench/plugin_bench --benchmark_filter=REGEX     (Google Benchmark cases)
#include "bench/common/Anchors.h"
#include "bench/common/Calls.h"
#include "bench/common/LspReverb.h"
#include "bench/common/Measure.h"
#include "bench/common/Soak.h"
#include "bench/common/Streams.h"
#include "core/Controlsgui.h"
#include "core/Parameters.h"
#include "dsp/ComplexMac.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace bench;

constexpr float kDefaultLength = 0.5f;   // the default program's "Length"
constexpr int kAnchorImpulse = 340000;   // the anchors' impulse length (166 partitions)
constexpr int kDefaultImpulse = 166025;  // the plug-in's impulse at the default "Length"

VstLibrary& lustrana()
{
    static VstLibrary lib(LUSTRANA_PLUGIN_PATH);
    return lib;
}

std::string beforePath;   // --before=PATH: an earlier build of the plug-in, measured alongside

VstLibrary* before()
{
    static std::unique_ptr<VstLibrary> lib =
        beforePath.empty() ? nullptr : std::make_unique<VstLibrary>(beforePath);
    return lib.get();
}

VstLibrary* dragonfly()
{
    static std::unique_ptr<VstLibrary> lib = [] {
        std::string path = dragonflyPlatePath();
        return path.empty() ? nullptr : std::make_unique<VstLibrary>(path);
    }();
    return lib.get();
}

struct Item {
    std::string key;               // short name
    std::function<void()> chunk;   // processes `samples` samples
    int samples;
    std::vector<double> values;    // one CPU/audio figure per round
};

struct Synthesis {
    double cpuMs = 0.0;    // CPU time of the synthesis thread (the bench thread sleeps)
    double wallMs = 0.0;   // the synthesis's own clock
};

// Plate synthesis plus loadImpulse, "Standard Steel", through the engine linked directly.
Synthesis synthesisTime(float length, int repeats)
{
    static VstIntPtr (*host)(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) =
        [](AEffect*, VstInt32 op, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return op == 1 ? 2400 : 0; };
    Controlsgui fx(host);
    fx.setParameter(kLength, length);
    std::vector<float> silence(4096);
    float* io[2] = {silence.data(), silence.data()};
    std::vector<double> cpu, wall;
    for (int r = 0; r < repeats + 1; r++) {
        fx.setParameter(kSound, r % 2 ? 0.30001f : 0.3f);
        fx.processReplacing(io, io, 0);
        const double c0 = processCpuSeconds();
        while (fx.rebuildPending())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const double c1 = processCpuSeconds();
        fx.processReplacing(io, io, 4096);   // swap it in so that the next one may start
        if (r == 0)
            continue;   // the first one also faults the buffers in
        cpu.push_back((c1 - c0) * 1e3);
        wall.push_back((double)fx.lastSynthesisMicroseconds() * 1e-3);
    }
    return {median(cpu), median(wall)};
}

// Plate synthesis plus loadImpulse as a host sees it: a "Sound" change raises the request
// at the next block; the timer thread serves it within 500 ms while this thread sleeps, so
// the process's CPU time over that window is the synthesis's.
double synthesisViaHost(VstLibrary& lib, float length, int repeats)
{
    auto s = lustranaStream(lib, 512, length);
    std::vector<double> cpu;
    for (int r = 0; r < repeats; r++) {
        s->fx->setParameter(kSound, r % 2 ? 0.30001f : 0.3f);
        s->run(512);   // raises the request
        const double c0 = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        const double c1 = processCpuSeconds();
        s->run(8192);  // swaps it in, so the next one may start
        cpu.push_back((c1 - c0) * 1e3);
    }
    return median(cpu);
}

// The silent tail after a loud burst against signal (denormals would show here).
double silentTailRatio()
{
    auto s = lustranaStream(lustrana(), 512, kDefaultLength);
    Noise loud(512, 0.9f, 11);
    std::vector<float> zero(512, 0.0f), oL(512), oR(512);
    float* outs[2] = {oL.data(), oR.data()};
    float* loudIn[2] = {loud.left.data(), loud.right.data()};
    float* silentIn[2] = {zero.data(), zero.data()};
    const int blocksPerSecond = 44100 / 512;
    const double audioSecond = blocksPerSecond * 512 / 44100.0;
    const double c0 = processCpuSeconds();
    for (int i = 0; i < 2 * blocksPerSecond; i++)
        s->fx->processReplacing(loudIn, outs, 512);
    const double signal = (processCpuSeconds() - c0) / (2.0 * audioSecond);
    double worstSecond = 0.0;
    for (int sec = 0; sec < 14; sec++) {
        const double t0 = processCpuSeconds();
        for (int i = 0; i < blocksPerSecond; i++)
            s->fx->processReplacing(silentIn, outs, 512);
        worstSecond = std::max(worstSecond, (processCpuSeconds() - t0) / audioSecond);
    }
    return worstSecond / signal;
}

void goal(const char* name, double v, double g, const char* unit)
{
    std::printf("%-58s %9.4f %-2s %7.4g %-2s %s\n", name, v, unit, g, unit, v <= g ? "met" : "MISSED");
}

int runSummary(int rounds, double seconds)
{
    std::printf("Lustrana side by side with its anchors: %d interleaved rounds of %.2f CPU s per "
                "figure, medians; CPU seconds per second of stereo audio at 44.1 kHz.\n", rounds, seconds);
    std::printf("multiply-accumulate kernel in use: %s; tube stage: %s\n\n",
                spectrumMacHasAvx2() ? "AVX2/FMA" : "portable", TubeShare().tube.usesAvx2() ? "AVX2" : "portable");

    // Construction (what a host's scan does) and switching on (effMainsChanged, which builds
    // the first impulse and warms the tube stage up) apart; the first instance of the process
    // also builds the shared tables.
    const long rssStart = residentKb();
    std::vector<double> construct, resume;
    for (int i = 0; i < 6; i++) {
        const double w0 = wallSeconds();
        auto fx = lustrana().instantiate();
        fx->dispatch(effOpen);
        fx->setSampleRate(44100.0f);
        fx->dispatch(effSetBlockSize, 0, 512);
        const double w1 = wallSeconds();
        fx->dispatch(effMainsChanged, 0, 1);
        construct.push_back((w1 - w0) * 1e3);
        resume.push_back((wallSeconds() - w1) * 1e3);
    }
    const double firstMs = construct[0];
    construct.erase(construct.begin());

    // Resident memory: a second instance with its default impulse in use and its ring full,
    // over a process that already holds one (the shared tables are counted once).
    auto holder = lustranaStream(lustrana(), 512, kDefaultLength);
    const long rssOne = residentKb();
    auto second = lustranaStream(lustrana(), 512, kDefaultLength);
    const long rssTwo = residentKb();
    second.reset();

    std::vector<Item> items;
    auto addStream = [&](const std::string& key, std::unique_ptr<Stream> s) {
        Stream* raw = s.release();
        items.push_back({key, [raw] { raw->run(4096); }, 4096, {}});
    };
    for (int b : {64, 512, 4096})
        addStream("lustrana " + std::to_string(b), lustranaStream(lustrana(), b, kDefaultLength));
    addStream("lustrana 512 length 1", lustranaStream(lustrana(), 512, 1.0f));
    if (before()) {
        for (int b : {64, 512, 4096})
            addStream("before " + std::to_string(b), lustranaStream(*before(), b, kDefaultLength));
        addStream("before 512 length 1", lustranaStream(*before(), 512, 1.0f));
    }
    const bool haveDragonfly = dragonfly() != nullptr;
    if (haveDragonfly)
        for (int b : {64, 512, 4096})
            addStream("dragonfly " + std::to_string(b), effectStream(*dragonfly(), b));
    std::string lspNote;
    if (auto lsp = lspImpulseReverbStream(512, kDefaultImpulse, lspNote))
        addStream("lsp 512", std::move(lsp));
    auto* zita = ZitaUniform::available() ? new ZitaUniform(kAnchorImpulse) : nullptr;
    if (zita)
        items.push_back({"zita 2048", [zita] { zita->block(); }, 2048, {}});
    auto* plain = new PlainMacFft(kAnchorImpulse / 2048);
    items.push_back({"plain mac+fft", [plain] { plain->block(); }, 2048, {}});
    auto* share = new ConvolverShare(kAnchorImpulse);
    items.push_back({"convolver", [share] { share->block(); }, 2048, {}});
    auto* shareDefault = new ConvolverShare(kDefaultImpulse);   // 81 partitions
    items.push_back({"convolver default", [shareDefault] { shareDefault->block(); }, 2048, {}});
    auto* shareLong = new ConvolverShare(321025);               // "Length" 1: 156 partitions
    items.push_back({"convolver length 1", [shareLong] { shareLong->block(); }, 2048, {}});
    auto* tube = new TubeShare;
    items.push_back({"tube stage", [tube] { tube->block(); }, 2048, {}});

    // The memory bandwidth is taken once per round too; the machine's other load only ever
    // lowers it, so the best round is the figure.
    double bandwidth = 0.0;
    for (int r = 0; r < rounds; r++) {
        for (Item& it : items)
            it.values.push_back(cpuPerAudioSecond(it.chunk, it.samples, seconds));
        bandwidth = std::max(bandwidth, streamReadBandwidth());
    }
    std::map<std::string, double> m;
    for (Item& it : items)
        m[it.key] = median(it.values);
    auto get = [&](const std::string& k) { return m.count(k) ? m[k] : NAN; };

    // Single calls at block 64, "Length" 1: steady streaming, and around impulse swaps.
    CallTimes steady, steadyBefore, dragonflyCalls, swaps, swapsBefore;
    {
        auto s = lustranaStream(lustrana(), 64, 1.0f);
        steady = callTimes(*s, 32 * 400);
    }
    swaps = swapCallTimes(lustrana(), 12);
    if (before()) {
        auto s = lustranaStream(*before(), 64, 1.0f);
        steadyBefore = callTimes(*s, 32 * 400);
        swapsBefore = swapCallTimes(*before(), 12);
    }
    if (haveDragonfly) {
        auto d = effectStream(*dragonfly(), 64);
        dragonflyCalls = callTimes(*d, 32 * 400);
    }

    const double tailRatio = silentTailRatio();
    const Synthesis synthDefault = synthesisTime(kDefaultLength, 5);
    const Synthesis synthLong = synthesisTime(1.0f, 5);
    const double hostSynthDefault = synthesisViaHost(lustrana(), kDefaultLength, 3);
    const double hostSynthLong = synthesisViaHost(lustrana(), 1.0f, 3);
    const double beforeSynthDefault = before() ? synthesisViaHost(*before(), kDefaultLength, 3) : NAN;
    const double beforeSynthLong = before() ? synthesisViaHost(*before(), 1.0f, 3) : NAN;
    // bytes the multiply-accumulate streams per block: both channels' input and impulse rows
    auto macFloor = [&](int partitions) {
        return (double)partitions * 2 * 2 * 4096 * 4 / bandwidth / (2048.0 / kRate);
    };

    // ---- report ----
    const double quotedDragonfly[3] = {0.0020, 0.0025, 0.0028};
    const double quotedZita = 0.0075, quotedPlain = 0.0031, quotedLsp = 0.0143;
    const double d512 = get("dragonfly 512"), z = get("zita 2048"), p = get("plain mac+fft");
    const double rest = get("lustrana 512") - get("tube stage") - get("convolver default");
    std::printf("%-34s %10s %10s %12s %12s %12s\n", "figure", "this run", "quoted", "/dragonfly", "/zita", "/plain");
    auto line = [&](const std::string& name, double v, double quoted, double dragon) {
        std::printf("%-34s %10.5f %10s %12.2f %12.2f %12.2f\n", name.c_str(), v,
                    std::isnan(quoted) ? "" : (std::to_string(quoted).substr(0, 6)).c_str(), v / dragon, v / z, v / p);
    };
    const int blocks[3] = {64, 512, 4096};
    for (int i = 0; i < 3; i++)
        line("Lustrana block " + std::to_string(blocks[i]), get("lustrana " + std::to_string(blocks[i])), NAN,
             get("dragonfly " + std::to_string(blocks[i])));
    line("Lustrana block 512, Length 1", get("lustrana 512 length 1"), NAN, d512);
    if (before()) {
        for (int i = 0; i < 3; i++)
            line("  before: block " + std::to_string(blocks[i]), get("before " + std::to_string(blocks[i])), NAN,
                 get("dragonfly " + std::to_string(blocks[i])));
        line("  before: block 512, Length 1", get("before 512 length 1"), NAN, d512);
    }
    line("Lustrana convolver, 166 partitions", get("convolver"), NAN, d512);
    line("Lustrana convolver, 81 (default)", get("convolver default"), NAN, d512);
    line("Lustrana convolver, 156 (Length 1)", get("convolver length 1"), NAN, d512);
    line("Lustrana tube stage", get("tube stage"), NAN, d512);
    line("rest of the chain (default Length)", rest, NAN, d512);
    for (int i = 0; i < 3; i++)
        line("Dragonfly Plate block " + std::to_string(blocks[i]), get("dragonfly " + std::to_string(blocks[i])),
             quotedDragonfly[i], d512);
    line("LSP Impulse Reverb block 512", get("lsp 512"), quotedLsp, d512);
    line("zita-convolver uniform 2048", z, quotedZita, d512);
    line("plain mac + 2 FFTs per channel", p, quotedPlain, d512);
    std::printf("  (plain: %s; LSP: %s)\n", plain->describe(), lspNote.c_str());
    std::printf("  this run's anchors against the quoted ones: Dragonfly %.2f, zita %.2f, plain %.2f\n",
                d512 / quotedDragonfly[1], z / quotedZita, p / quotedPlain);
    std::printf("  Lustrana block 512 against LSP (this run, else quoted): default Length %.2f, Length 1 %.2f\n",
                get("lustrana 512") / (std::isnan(get("lsp 512")) ? quotedLsp : get("lsp 512")),
                get("lustrana 512 length 1") / (std::isnan(get("lsp 512")) ? quotedLsp : get("lsp 512")));
    std::printf("  memory floor: one core reads %.1f GB/s beyond its caches (best round); the multiply-accumulate "
                "streams %.1f MB per block at 81 partitions (floor %.4f) and %.1f MB at 156 (floor %.4f)\n\n",
                bandwidth * 1e-9, 81 * 16 * 4096 * 1e-6, macFloor(81), 156 * 16 * 4096 * 1e-6, macFloor(156));

    std::printf("%-58s %12s %10s %8s\n", "goal", "this run", "goal", "");
    goal("tube stage alone / Dragonfly Plate (same run)", get("tube stage") / d512, 1.2, "x");
    goal("rest of the chain / Dragonfly Plate (same run)", rest / d512, 0.6, "x");
    goal("whole plug-in, block 512, default Length / Dragonfly", get("lustrana 512") / d512, 4.0, "x");
    goal("whole plug-in, block 512, Length 1 / Dragonfly", get("lustrana 512 length 1") / d512, 5.5, "x");
    if (before())
        std::printf("    before: %.2f x and %.2f x\n", get("before 512") / d512, get("before 512 length 1") / d512);
    goal("convolution / plain mac+fft (same run)", get("convolver") / p, 1.3, "x");
    goal("convolution / zita uniform 2048 (same run)", get("convolver") / z, 1.0, "x");
    goal("worst call around impulse swaps, block 64 (thread CPU)", swaps.maxCpuUs, 250, "us");
    goal("p99 call, block 64, Length 1 (thread CPU)", steady.p99CpuUs, 100, "us");
    std::printf("    around swaps p99 %.1f us; steady: wall-clock p99 %.1f us, worst call %.1f us; "
                "Dragonfly p99 %.1f us CPU, %.1f us wall\n", swaps.p99CpuUs, steady.p99WallUs, steady.maxCpuUs,
                dragonflyCalls.p99CpuUs, dragonflyCalls.p99WallUs);
    if (before())
        std::printf("    before: worst call around swaps %.1f us; steady p99 %.1f us CPU, %.1f us wall\n",
                    swapsBefore.maxCpuUs, steadyBefore.p99CpuUs, steadyBefore.p99WallUs);
    goal("synthesis + loadImpulse, default Length (CPU, via host)", hostSynthDefault, 20, "ms");
    goal("synthesis + loadImpulse, Length 1 (CPU, via host)", hostSynthLong, 40, "ms");
    std::printf("    the engine driven directly: CPU %.1f ms and %.1f ms (polling the request every 2 ms), "
                "its own wall clock %.1f ms and %.1f ms\n", synthDefault.cpuMs, synthLong.cpuMs,
                synthDefault.wallMs, synthLong.wallMs);
    if (before())
        std::printf("    before, through the host: %.1f ms and %.1f ms\n", beforeSynthDefault, beforeSynthLong);
    goal("construction, first instance of the process", firstMs, 100, "ms");
    goal("construction, further instances (median)", median(construct), 10, "ms");
    std::printf("    switching on (effMainsChanged: first impulse, tube warm-up): median %.1f ms\n", median(resume));
    goal("resident memory per instance, default Length", (double)(rssTwo - rssOne) / 1024.0, 25, "MB");
    std::printf("    the first instance with the process's shared tables: %.1f MB\n",
                (double)(rssOne - rssStart) / 1024.0);
    goal("silent tail after a loud burst / signal (worst second)", tailRatio, 1.15, "x");
    std::printf("    (an hour of audio through one instance: plugin_bench --soak)\n");
    std::fflush(stdout);
    return 0;
}

// ---- Google Benchmark cases, for closer looks ----------------------------------------------

void perAudioSecond(benchmark::State& state, int samples)
{
    state.counters["cpu_s_per_audio_s"] = benchmark::Counter(
        (double)samples / kRate, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Lustrana(benchmark::State& state)
{
    auto s = lustranaStream(lustrana(), (int)state.range(0), state.range(1) ? 1.0f : kDefaultLength);
    for (auto _ : state)
        s->run(s->block);
    perAudioSecond(state, s->block);
}
BENCHMARK(BM_Lustrana)->ArgsProduct({{64, 512, 4096}, {0}})->Args({512, 1})->Unit(benchmark::kMicrosecond);

void BM_Dragonfly(benchmark::State& state)
{
    if (!dragonfly()) {
        state.SkipWithError("dragonfly-reverb-vst is not installed");
        return;
    }
    auto s = effectStream(*dragonfly(), (int)state.range(0));
    for (auto _ : state)
        s->run(s->block);
    perAudioSecond(state, s->block);
}
BENCHMARK(BM_Dragonfly)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);

void BM_ConvolverShare(benchmark::State& state)
{
    auto share = std::make_unique<ConvolverShare>((int)state.range(0));
    for (auto _ : state)
        share->block();
    perAudioSecond(state, 2048);
}
BENCHMARK(BM_ConvolverShare)->Arg(kAnchorImpulse)->Arg(kDefaultImpulse)->Unit(benchmark::kMicrosecond);

void BM_TubeStage(benchmark::State& state)
{
    auto tube = std::make_unique<TubeShare>();
    for (auto _ : state)
        tube->block();
    perAudioSecond(state, 2048);
}
BENCHMARK(BM_TubeStage)->Unit(benchmark::kMicrosecond);

void BM_Synthesis(benchmark::State& state)
{
    for (auto _ : state) {
        Synthesis s = synthesisTime(state.range(0) ? 1.0f : kDefaultLength, 1);
        state.SetIterationTime(s.cpuMs * 1e-3);
    }
}
BENCHMARK(BM_Synthesis)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    int rounds = 7;
    double seconds = 0.25;
    int soakMinutes = 0;
    bool gbench = false;
    for (int i = 1; i < argc; i++) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            seconds = std::max(0.01, std::atof(argv[i] + 10));
        else if (std::strncmp(argv[i], "--before=", 9) == 0)
            beforePath = argv[i] + 9;
        else if (std::strcmp(argv[i], "--soak") == 0)
            soakMinutes = 60;
        else if (std::strncmp(argv[i], "--soak=", 7) == 0)
            soakMinutes = std::max(2, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--benchmark", 11) == 0)
            gbench = true;
    }
    if (soakMinutes > 0) {
        std::printf("Lustrana, %d minutes of audio through one instance, rendered offline, block 512\n\n",
                    soakMinutes);
        return reportSoak(soak(lustrana(), soakMinutes)) ? 0 : 1;
    }
    if (!gbench)
        return runSummary(rounds, seconds);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
