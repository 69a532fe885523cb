#include "lv2/Lv2Plugin.h"

#include "core/Controlsgui.h"
#include "dsp/QS_ConvolverP.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

constexpr uint8_t kSynthesise = 1;  // the one work message: serve the pending request

} // namespace

Lv2Plugin::Lv2Plugin(double sampleRate, const LV2_Feature* const* features)
{
    for (const LV2_Feature* const* f = features; f && *f; f++)
        if (std::strcmp((*f)->URI, LV2_WORKER__schedule) == 0 && (*f)->data)
            worker = static_cast<const LV2_Worker_Schedule*>((*f)->data);
    effect = std::make_unique<Controlsgui>(nullptr, worker ? SynthesisDriver::External : SynthesisDriver::Inline);
    effect->setSampleRate((float)sampleRate);
    for (int i = 0; i < kNumParams; i++)
        given[i] = effect->getParameter(i);
}

Lv2Plugin::~Lv2Plugin() = default;

void Lv2Plugin::connectPort(uint32_t port, void* data)
{
    if (port >= lv2port::kCount)
        return;
    ports[port] = static_cast<float*>(data);
    // Some hosts read the latency before the first run (lv2proc does after activate).
    if (port == lv2port::kLatency && data)
        *ports[port] = (float)Controlsgui::kDryDelay;
}

void Lv2Plugin::takeControls(bool pingEdges)
{
    for (int i = 0; i < kNumParams; i++) {
        const float* port = ports[lv2port::portOf(i)];
        if (!port)
            continue;
        const float v = *port;
        // Compared bit for bit, so that a NaN from the host is handed over once, not forever.
        if (std::memcmp(&v, &given[i], sizeof v) != 0) {
            given[i] = v;
            effect->setParameter(i, v);
        }
    }
    if (const float* ping = ports[lv2port::kPing]) {
        const bool high = *ping > 0.5f;
        if (high && !pingHigh && pingEdges)
            effect->requestPing();
        pingHigh = high;
    }
}

void Lv2Plugin::activate()
{
    // Hosts connect the control ports before activating; a port not yet connected keeps the
    // value it had, and a value that differs at the first run is followed from there. A ping
    // port found up (a session saved with it up) is no click.
    takeControls(false);
    if (float* latency = ports[lv2port::kLatency])
        *latency = (float)Controlsgui::kDryDelay;
    // Ardour also activates on its audio thread (a plug-in switched back on while playing):
    // with a worker, only the first activation builds plates here; later changes go to the
    // worker from the first run on, which a host that renders offline runs synchronously.
    if (prepared && worker)
        return;
    prepared = true;
    effect->prepareToPlay();
    // The control update of a first block, and the impulse it asks for, here and now rather
    // than on the worker after the first run: then what an instance sounds like does not
    // depend on when a threaded worker gets to it (a host that exports right after loading
    // a session would otherwise hear one draw of the plate's noise or another).
    float* none[2] = {nullptr, nullptr};
    effect->processReplacing(none, none, 0);
    effect->synthesisePending();
}

void Lv2Plugin::scheduleSynthesis()
{
    // In flight before the call: a synchronous worker answers inside it.
    workInFlight = true;
    if (worker->schedule_work(worker->handle, sizeof kSynthesise, &kSynthesise) != LV2_WORKER_SUCCESS)
        workInFlight = false;  // asked again at the next run
}

float Lv2Plugin::process(uint32_t begin, uint32_t end)
{
    float* in[2] = {ports[lv2port::kInLeft] + begin, ports[lv2port::kInRight] + begin};
    float* out[2] = {ports[lv2port::kOutLeft] + begin, ports[lv2port::kOutRight] + begin};
    effect->processReplacing(in, out, (VstInt32)(end - begin));
    return std::atomic_ref<float>(*effect->getLevelToPlate()).load(std::memory_order_relaxed);
}

void Lv2Plugin::run(uint32_t frames)
{
    takeControls(true);
    if (float* latency = ports[lv2port::kLatency])
        *latency = (float)Controlsgui::kDryDelay;
    if (!ports[lv2port::kInLeft] || !ports[lv2port::kInRight] || !ports[lv2port::kOutLeft] ||
        !ports[lv2port::kOutRight])
        return;

    if (!worker) {
        // The engine builds a requested impulse itself, before the next sample.
        if (frames > 0)
            level = process(0, frames);
    } else {
        // The control update first (a block of no samples), so that a shaping change is
        // scheduled before any sample of this block: with a synchronous worker the impulse
        // is then loaded exactly where an offline render of the VST 2.4 plug-in loads it.
        process(0, 0);
        QS_ConvolverP& convolver = *effect->getConvolver();
        float peak = 0.0f;
        uint32_t done = 0;
        do {
            uint32_t end = frames;
            if (effect->rebuildPending() && !workInFlight) {
                if (!convolver.impulsePending())
                    scheduleSynthesis();
                else  // the back set is free after the next block step: run up to it
                    end = std::min(frames, done + (uint32_t)std::max(1, convolver.samplesToBlockStep()));
            }
            if (end > done)
                peak = std::max(peak, process(done, end));
            done = end;
        } while (done < frames);
        if (frames > 0)
            level = peak;
    }
    if (float* meter = ports[lv2port::kLevel])
        *meter = level;
}

LV2_Worker_Status Lv2Plugin::work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                                  uint32_t size, const void* data)
{
    if (size != sizeof kSynthesise || *static_cast<const uint8_t*>(data) != kSynthesise)
        return LV2_WORKER_ERR_UNKNOWN;
    // False when nothing was pending any more or a loaded impulse still waits for its swap:
    // run asks again once the request is still there and the back set is free.
    effect->synthesisePending();
    return respond(handle, sizeof kSynthesise, &kSynthesise);
}

LV2_Worker_Status Lv2Plugin::workResponse(uint32_t, const void*)
{
    // The convolver swaps the loaded impulse in by itself at its next block boundary.
    workInFlight = false;
    return LV2_WORKER_SUCCESS;
}
