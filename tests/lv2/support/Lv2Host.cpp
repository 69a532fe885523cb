#include "lv2/support/Lv2Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

std::string installedLv2Directory()
{
    return std::string(LUSTRANA_BINARY_DIR) + "/lv2-install/lib/lv2";
}

Lv2World::Lv2World()
{
    // Our bundle and the specifications (for the plugin classes), nothing else.
    const std::string path = installedLv2Directory() + ":/usr/lib/lv2";
    setenv("LV2_PATH", path.c_str(), 1);
    lilvWorld = lilv_world_new();
    lilv_world_load_all(lilvWorld);
    LilvNode* u = uri(lv2uri::kPlugin);
    lustrana = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), u);
    lilv_node_free(u);
    EXPECT_NE(lustrana, nullptr) << "Lustrana not found in " << installedLv2Directory();
}

Lv2World::~Lv2World()
{
    lilv_world_free(lilvWorld);
}

LilvNode* Lv2World::uri(const char* text) const
{
    return lilv_new_uri(lilvWorld, text);
}

Lv2World& lv2World()
{
    static Lv2World world;
    return world;
}

Lv2Instance::Lv2Instance(WorkerMode m, double rate) : mode(m)
{
    const LilvPlugin* plugin = lv2World().plugin();
    if (!plugin)
        return;
    std::vector<const LV2_Feature*> features;
    if (mode != WorkerMode::None) {
        scheduleFeature.handle = this;
        scheduleFeature.schedule_work = &Lv2Instance::schedule;
        workerFeature.URI = LV2_WORKER__schedule;
        workerFeature.data = &scheduleFeature;
        features.push_back(&workerFeature);
    }
    features.push_back(nullptr);
    instance = lilv_plugin_instantiate(plugin, rate, mode == WorkerMode::None ? nullptr : features.data());
    if (!instance)
        return;
    if (mode != WorkerMode::None)
        workerInterface =
            static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
    for (uint32_t p = lv2port::kFirstParameter; p < lv2port::kCount; p++) {
        if (lv2port::isParameter(p))
            control[p] = kParameterDefaults[lv2port::parameterOf(p)];
        lilv_instance_connect_port(instance, p, &control[p]);
    }
    if (mode == WorkerMode::Threaded)
        worker = std::thread([this] { workerLoop(); });
}

Lv2Instance::~Lv2Instance()
{
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        worker.join();
    }
    if (instance)
        lilv_instance_free(instance);
}

void Lv2Instance::connectAudio(float* inL, float* inR, float* outL, float* outR)
{
    lilv_instance_connect_port(instance, lv2port::kInLeft, inL);
    lilv_instance_connect_port(instance, lv2port::kInRight, inR);
    lilv_instance_connect_port(instance, lv2port::kOutLeft, outL);
    lilv_instance_connect_port(instance, lv2port::kOutRight, outR);
}

void Lv2Instance::activate()
{
    lilv_instance_activate(instance);
}

void Lv2Instance::deactivate()
{
    lilv_instance_deactivate(instance);
}

void Lv2Instance::run(uint32_t frames)
{
    lilv_instance_run(instance, frames);
    if (mode != WorkerMode::Threaded || !workerInterface)
        return;
    std::deque<std::vector<char>> arrived;
    {
        std::lock_guard<std::mutex> lock(mutex);
        arrived.swap(done);
    }
    for (auto& r : arrived)
        workerInterface->work_response(lilv_instance_get_handle(instance), (uint32_t)r.size(), r.data());
}

void Lv2Instance::waitForWorker()
{
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait(lock, [this] { return jobs.empty() && !busy; });
}

LV2_Worker_Status Lv2Instance::schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data)
{
    auto* self = static_cast<Lv2Instance*>(handle);
    self->scheduled++;
    if (!self->workerInterface)
        return LV2_WORKER_ERR_UNKNOWN;
    const char* bytes = static_cast<const char*>(data);
    if (self->mode == WorkerMode::Synchronous) {
        self->responses.clear();
        LV2_Handle plugin = lilv_instance_get_handle(self->instance);
        self->workerInterface->work(plugin, &Lv2Instance::respond, self, size, data);
        for (auto& r : self->responses)
            self->workerInterface->work_response(plugin, (uint32_t)r.size(), r.data());
        self->responses.clear();
        return LV2_WORKER_SUCCESS;
    }
    {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->jobs.emplace_back(bytes, bytes + size);
    }
    self->wake.notify_all();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Lv2Instance::respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
{
    auto* self = static_cast<Lv2Instance*>(handle);
    const char* bytes = static_cast<const char*>(data);
    if (self->mode == WorkerMode::Synchronous) {
        self->responses.emplace_back(bytes, bytes + size);
    } else {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->done.emplace_back(bytes, bytes + size);
    }
    return LV2_WORKER_SUCCESS;
}

void Lv2Instance::workerLoop()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (stopping)
            return;
        std::vector<char> job = std::move(jobs.front());
        jobs.pop_front();
        busy = true;
        lock.unlock();
        workerInterface->work(lilv_instance_get_handle(instance), &Lv2Instance::respond, this, (uint32_t)job.size(),
                              job.data());
        lock.lock();
        busy = false;
        wake.notify_all();
    }
}

namespace {

template <typename Body>
void onFreshThread(Body body)
{
    std::thread t(body);
    t.join();
}

} // namespace

StereoBuffer renderLv2(const StereoBuffer& in, const std::vector<std::pair<int, float>>& values,
                       const std::vector<PortChange>& changes, const Lv2Render& how)
{
    StereoBuffer out(in.size());
    onFreshThread([&] {
        Lv2Instance lv2(how.mode, how.rate);
        if (!lv2.valid()) {
            ADD_FAILURE() << "no instance";
            return;
        }
        for (const auto& [index, value] : values)
            lv2.control[lv2port::portOf(index)] = value;
        StereoBuffer work = in;  // in place: the outputs are written over this copy
        StereoBuffer* target = how.inPlace ? &work : &out;
        lv2.activate();
        size_t pos = 0, next = 0, blockIndex = 0;
        while (pos < in.size() || blockIndex == 0) {
            while (next < changes.size() && changes[next].at <= pos) {
                lv2.control[changes[next].port] = changes[next].value;
                next++;
            }
            size_t n = std::min<size_t>(how.blocks[blockIndex++ % how.blocks.size()], in.size() - pos);
            if (next < changes.size())
                n = std::min(n, changes[next].at - pos);
            lv2.connectAudio(work.left.data() + pos, work.right.data() + pos, target->left.data() + pos,
                             target->right.data() + pos);
            lv2.run((uint32_t)n);
            pos += n;
            if (blockIndex > 100000000)
                break;
        }
        lv2.deactivate();
        if (how.inPlace)
            out = work;
    });
    return out;
}

StereoBuffer renderVst(const StereoBuffer& in, const std::vector<std::pair<int, float>>& values,
                       const std::vector<PortChange>& changes, int block, float rate)
{
    StereoBuffer out(in.size());
    onFreshThread([&] {
        std::unique_ptr<VstInstance> vst = newInstance();
        if (!vst)
            return;
        vst->processLevel = kVstProcessLevelOffline;
        vst->setSampleRate(rate);
        for (const auto& [index, value] : values)
            vst->setParameter(index, value);
        vst->dispatch(effMainsChanged, 0, 1);
        size_t pos = 0, next = 0;
        while (pos < in.size()) {
            while (next < changes.size() && changes[next].at <= pos) {
                if (lv2port::isParameter(changes[next].port))
                    vst->setParameter(lv2port::parameterOf(changes[next].port), changes[next].value);
                next++;
            }
            size_t n = std::min<size_t>(block, in.size() - pos);
            if (next < changes.size())
                n = std::min(n, changes[next].at - pos);
            float* inputs[2] = {const_cast<float*>(in.left.data() + pos), const_cast<float*>(in.right.data() + pos)};
            float* outputs[2] = {out.left.data() + pos, out.right.data() + pos};
            vst->processReplacing(inputs, outputs, (VstInt32)n);
            pos += n;
        }
    });
    return out;
}
