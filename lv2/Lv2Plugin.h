// Lv2Plugin: one instance of Lustrana as an LV2 plug-in, around the same Controlsgui engine
// as the VST 2.4 plug-in, driven through the operations the VST 2.4 base classes call.
//
// Lifecycle: [instantiation] the constructor builds the engine (everything is allocated here)
// without an editor (the editor is the separate UI library, which reaches the plug-in only
// through ports) and without the private synthesis timer: when the host offers a worker,
// plate impulses are built in its work(); otherwise run() builds them before the next sample
// (offline tools such as lv2apply have no worker). activate gives the engine the control
// ports' values and prepares it (tube stage warmed up, the impulse for those values current),
// so the first sample reverberates. [audio thread] run hands changed port values to the
// engine, schedules the synthesis a shaping change asks for, processes, and writes the
// latency and the meter; it never allocates, locks or waits when a worker is offered, and
// neither does an activation after the first one then (Ardour activates on its audio thread).
// work_response runs in run's context (also inside schedule_work, when the host runs the
// worker synchronously, as Ardour does while freewheeling).
#pragma once

#include "lv2/Lv2Ports.h"

#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>

#include <memory>

class Controlsgui;

class Lv2Plugin {
public:
    Lv2Plugin(double sampleRate, const LV2_Feature* const* features);
    ~Lv2Plugin();
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    void connectPort(uint32_t port, void* data);  // [any thread but run's]
    void activate();  // [instantiation thread; Ardour also calls it on its audio thread]
    void run(uint32_t frames);                    // [audio thread]

    // The worker interface. [worker thread, or inside schedule_work]
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle, uint32_t size,
                           const void* data);
    // [audio thread]
    LV2_Worker_Status workResponse(uint32_t size, const void* data);

    bool hasWorker() const { return worker != nullptr; }
    Controlsgui& engine() { return *effect; }

private:
    // Hands every control port whose value moved to the engine; a rising edge of the ping
    // port sends the plate click when pingEdges.
    void takeControls(bool pingEdges);
    void scheduleSynthesis();
    // Processes [begin, end) of the block; returns the meter value of that part.
    float process(uint32_t begin, uint32_t end);

    std::unique_ptr<Controlsgui> effect;           // the engine, owned
    const LV2_Worker_Schedule* worker = nullptr;   // the host's worker, or null
    float* ports[lv2port::kCount] = {};            // connected buffers [audio thread reads]
    float given[kNumParams];                       // values last handed to the engine
    bool pingHigh = false;                         // the ping port was up at the last run
    bool workInFlight = false;                     // a synthesis was scheduled, no response yet
    bool prepared = false;                         // activated before: the plate was built
    float level = 0.0f;                            // meter value of the last block
};
