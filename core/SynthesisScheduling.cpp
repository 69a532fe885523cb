// When and where plate impulses are built. In real time the timer thread serves the requests
// that block processing raises, within 500 ms, and the audio thread never waits for it. A
// render must depend on the audio and the settings alone, so:
// - resume (the host's thread, before processing) builds the impulse for the current values
//   and makes it current at once, and warms the tube stage up the first time, so the first
//   sample of a fresh instance already sounds as it will later;
// - while the host renders offline (it answers kVstProcessLevelOffline, or the audio since
//   the request ran ahead of the wall clock by more than kOfflineLeadSeconds: a host
//   rendering faster than real time without saying so), processReplacing builds a requested
//   impulse itself before its next sample; offline there is no deadline.
// The claim (synthesisBusy) keeps one synthesis per instance at a time: the timer only tries
// it and moves on, the others wait for it.
#include "core/Controlsgui.h"

#include "core/InstanceRegistry.h"
#include "dsp/QS_ConvolverP.h"

#include <algorithm>
#include <cmath>

void Controlsgui::resume()
{
    prepareToPlay();
}

void Controlsgui::prepareToPlay()
{
    if (!tubeWarmedUp) {
        tubeWarmedUp = true;
        if (!processedAudio)
            warmUpTubeStage();
    }
    if (!maySynthesise())
        return;

    const ImpulseShape wanted = currentShape();
    claimSynthesis();
    // A loaded impulse that waits for its swap is the newest: it takes over now.
    convolver->adoptImpulse();
    if (!hasBuiltImpulse || !sameShape(builtShape, wanted)) {
        impulseLength = wanted.length;
        synthesiseClaimed(recipeFor(wanted.plate), wanted.width, wanted.mono ? Mono::Yes : Mono::No);
        convolver->adoptImpulse();
        // A pending request is served by this impulse; if the values moved since it was
        // raised, the next block raises another.
        rebuildRequested[0].store(false, std::memory_order_release);
        rebuildRequested[1].store(false, std::memory_order_release);
    }
    releaseSynthesis();
}

void Controlsgui::warmUpTubeStage()
{
    // The stage is silent for its first second of internal time and then fades in; running
    // that on silence here leaves it as the host's first second and a half of silence would.
    constexpr int kChunk = 256;
    const float silence[kChunk] = {};
    float ta[kChunk], tb[kChunk];
    while (tubeStage.warmupCounter() < TubeStage::kWarmupSteps)
        tubeStage.processBlock(silence, silence, ta, tb, kChunk);
    for (int fade = (int)std::ceil(kTubeFadeSeconds * currentSampleRate); fade > 0; fade -= kChunk)
        tubeStage.processBlock(silence, silence, ta, tb, std::min(fade, kChunk));
}

int Controlsgui::impulseLengthFor(float length) const
{
    const float samples = (length * 310000.0f + 11025.0f) * refToRate;
    return std::min((int)samples, QS_ConvolverP::kImpulseCapacity);
}

Controlsgui::ImpulseShape Controlsgui::currentShape() const
{
    const int plate = selectorIndex(control(kPlateType));  // menu entries past the last: steel
    return ImpulseShape{impulseLengthFor(control(kLength)), control(kWidth), control(kSound), control(kTune),
                        plate >= 1 && plate <= 4 ? plate : 0, selectorIndex(control(kMode)) == 5};
}

bool Controlsgui::sameShape(const ImpulseShape& built, const ImpulseShape& wanted) const
{
    // In "Panned (Width) Mono" "Width" pans the feed and does not shape the plate.
    const bool widthMatters = selectorIndex(control(kMode)) != 4;
    return built.length == wanted.length && (!widthMatters || built.width == wanted.width) &&
           built.sound == wanted.sound && built.tune == wanted.tune && built.plate == wanted.plate &&
           built.mono == wanted.mono;
}

bool Controlsgui::rendersOffline()
{
    if (callHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline)
        return true;
    const double audio = (double)samplesSinceRequest / (double)currentSampleRate;
    const double clock = std::chrono::duration<double>(std::chrono::steady_clock::now() - requestTime).count();
    return audio - clock > kOfflineLeadSeconds;
}

bool Controlsgui::tryClaimSynthesis()
{
    bool expected = false;
    return synthesisBusy.compare_exchange_strong(expected, true, std::memory_order_acquire,
                                                 std::memory_order_relaxed);
}

void Controlsgui::claimSynthesis()
{
    while (!tryClaimSynthesis())
        synthesisBusy.wait(true, std::memory_order_relaxed);
}

void Controlsgui::releaseSynthesis()
{
    synthesisBusy.store(false, std::memory_order_release);
    synthesisBusy.notify_all();
}

bool Controlsgui::synthesisePending()
{
    if (!maySynthesise() || !rebuildRequested[0].load(std::memory_order_acquire))
        return false;
    claimSynthesis();
    const bool build = mayBeginSynthesis();
    if (build) {
        synthesiseClaimed(recipeFor(selectorIndex(control(kPlateType))), cachedParameters[kWidth],
                          Mono::FromRouting);
        rebuildRequested[0].store(false, std::memory_order_release);
        rebuildRequested[1].store(false, std::memory_order_release);
    }
    releaseSynthesis();
    return build;
}

