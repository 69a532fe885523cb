#include "core/InstanceRegistry.h"

#include "core/Controlsgui.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace {

std::mutex registryMutex;                                  // guards everything below
Controlsgui* registry[InstanceRegistry::kCapacity] = {};   // entries 0 .. count-1 in use
int registryCount = 0;                                     // entries in use
std::condition_variable_any tickWait;                      // wakes the timer to stop
std::jthread timerThread;                                  // the synthesis timer

// [timer thread] every 500 ms, visits each registered instance in slot order.
void timerLoop(std::stop_token stop)
{
    std::unique_lock<std::mutex> lock(registryMutex);
    while (!stop.stop_requested()) {
        tickWait.wait_for(lock, stop, std::chrono::milliseconds(InstanceRegistry::kTickMilliseconds),
                          [] { return false; });
        if (stop.stop_requested())
            break;
        for (int i = 0; i < InstanceRegistry::kCapacity && registry[i]; i++)
            registry[i]->buildPlateImpulse();
    }
}

} // namespace

void InstanceRegistry::enter(Controlsgui* instance)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    instance->registered = false;
    instance->registrySlot = -1;
    if (registryCount >= kCapacity)
        return;
    registry[registryCount] = instance;
    instance->registered = true;
    instance->registrySlot = registryCount;
    registryCount++;
    if (registryCount == 1 && !timerThread.joinable())
        timerThread = std::jthread(timerLoop);
}

void InstanceRegistry::leave(Controlsgui* instance)
{
    std::jthread stopping;
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        if (!instance->registered)
            return;
        int slot = instance->registrySlot;
        for (int i = slot; i + 1 < registryCount; i++) {
            registry[i] = registry[i + 1];
            registry[i]->registrySlot = i;
        }
        registry[registryCount - 1] = nullptr;
        registryCount--;
        instance->registered = false;
        instance->registrySlot = -1;
        if (registryCount == 0)
            stopping = std::move(timerThread);
    }
    // Outside the lock: the timer needs it to notice the stop request.
    if (stopping.joinable()) {
        stopping.request_stop();
        tickWait.notify_all();
        stopping.join();
    }
}

int InstanceRegistry::count()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return registryCount;
}

bool InstanceRegistry::timerRunning()
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return timerThread.joinable();
}

Controlsgui* InstanceRegistry::entry(int slot)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    return slot >= 0 && slot < kCapacity ? registry[slot] : nullptr;
}
