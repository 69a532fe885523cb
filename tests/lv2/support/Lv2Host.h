// Test helpers that load the installed Lustrana.lv2 through lilv, as an LV2 host does: the
// world (our bundle and the LV2 specifications only), instances with or without a worker
// (run synchronously inside schedule_work, as Ardour runs it while freewheeling, or on a
// thread of its own, as jalv does), and offline renders in fresh threads.
#pragma once

#include "lv2/Lv2Ports.h"
#include "support/Plugin.h"

#include <lilv/lilv.h>
#include <lv2/worker/worker.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Where the install step of the tests put the bundle's parent directory (lib/lv2).
std::string installedLv2Directory();

class Lv2World {
public:
    Lv2World();  // loads the installed bundle; the test fails if the plug-in is missing
    ~Lv2World();
    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;

    LilvWorld* world() const { return lilvWorld; }
    const LilvPlugin* plugin() const { return lustrana; }
    LilvNode* uri(const char* text) const;  // a new node; free with lilv_node_free

private:
    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* lustrana = nullptr;
};

Lv2World& lv2World();  // one per test program

enum class WorkerMode {
    None,         // no features at all, as lv2apply instantiates
    Synchronous,  // work() and work_response() inside schedule_work
    Threaded,     // work() on a worker thread, responses delivered after the next run
};

class Lv2Instance {
public:
    explicit Lv2Instance(WorkerMode mode, double rate = 44100.0);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool valid() const { return instance != nullptr; }
    float control[lv2port::kCount] = {};   // control port buffers, connected at construction
    void connectAudio(float* inL, float* inR, float* outL, float* outR);
    void activate();
    void deactivate();
    void run(uint32_t frames);             // and, threaded, delivers the responses that came
    int schedules() const { return scheduled; }
    // Threaded: waits until the worker has nothing left to do (responses are delivered by
    // the next run).
    void waitForWorker();

private:
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data);
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data);
    void workerLoop();

    WorkerMode mode;
    LilvInstance* instance = nullptr;
    const LV2_Worker_Interface* workerInterface = nullptr;
    LV2_Worker_Schedule scheduleFeature{};
    LV2_Feature workerFeature{};
    int scheduled = 0;                          // schedule_work calls
    std::vector<std::vector<char>> responses;   // synchronous: responses of the running work
    std::mutex mutex;                           // threaded: guards the queues
    std::condition_variable wake;
    std::deque<std::vector<char>> jobs;         // threaded: scheduled messages
    std::deque<std::vector<char>> done;         // threaded: responses not yet delivered
    bool busy = false;                          // threaded: work() is running
    bool stopping = false;
    std::thread worker;
};

// A change of a control port before the given sample.
struct PortChange {
    size_t at;       // sample index
    uint32_t port;   // control port
    float value;
};

struct Lv2Render {
    WorkerMode mode = WorkerMode::None;
    std::vector<uint32_t> blocks = {512};  // block lengths, repeated
    bool inPlace = false;                  // outputs written over the inputs' buffers
    double rate = 44100.0;
};

// Renders `in` through a fresh instance on a fresh thread (whose dither starts at 1): the
// parameter values (index, value) before activate, then the changes at their samples.
StereoBuffer renderLv2(const StereoBuffer& in, const std::vector<std::pair<int, float>>& values,
                       const std::vector<PortChange>& changes, const Lv2Render& how);

// The same through the VST 2.4 plug-in and our VST host, rendering offline (process level 4):
// the values, the resume, then blocks of `block` split at the changes.
StereoBuffer renderVst(const StereoBuffer& in, const std::vector<std::pair<int, float>>& values,
                       const std::vector<PortChange>& changes, int block = 512, float rate = 44100.0f);
