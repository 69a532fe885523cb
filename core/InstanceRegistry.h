// The process-wide registry of instances whose plate impulse the synthesis timer keeps up
// to date (at most 20), and the timer itself: one thread, started with the first registered
// instance, ticking every 500 ms, stopped and joined when the last one leaves. One mutex
// guards the registry; the tick holds it while it visits the instances, so no instance is
// destroyed while its impulse is being synthesised.
#pragma once

class Controlsgui;

class InstanceRegistry {
public:
    static constexpr int kCapacity = 20;
    static constexpr int kTickMilliseconds = 500;

    // [host thread] enters the instance if a slot is free and sets its registered and
    // registrySlot fields; starts the timer for the first instance.
    static void enter(Controlsgui* instance);
    // [host thread] removes the instance (later entries move down); stops and joins the
    // timer when the registry becomes empty. Waits for a tick in progress.
    static void leave(Controlsgui* instance);

    static int count();
    static bool timerRunning();
    static Controlsgui* entry(int slot);  // tests: the instance in a slot, or null
};
