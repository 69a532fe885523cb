// A small VST 2.4 host, as a library: loads a plug-in file as a DAW does (dlopen, then
// VSTPluginMain or else main), creates instances with a host callback that records every
// call the plug-in makes, and wraps the dispatcher. Works with any Linux VST2 effect.
#pragma once

#include "host/vst2.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct HostCall {
    VstInt32 opcode;  // audioMaster… opcode
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

class VstInstance;

class VstLibrary {
public:
    // Loads the file; throws std::runtime_error naming the problem.
    explicit VstLibrary(const std::string& path);
    ~VstLibrary();
    VstLibrary(const VstLibrary&) = delete;
    VstLibrary& operator=(const VstLibrary&) = delete;

    VstPluginMainProc entry() const { return entryProc; }
    const std::string& path() const { return file; }
    void* symbol(const char* name) const;  // any exported symbol, or null

    // Calls the entry with our host callback. Null when the plug-in declines.
    // versionAnswer is what audioMasterVersion answers (0 plays a host that is too old).
    std::unique_ptr<VstInstance> instantiate(VstIntPtr versionAnswer = 2400);

private:
    std::string file;              // the plug-in file
    void* handle;                  // dlopen handle
    VstPluginMainProc entryProc;   // VSTPluginMain, or main
};

class VstInstance {
public:
    ~VstInstance();  // closes the effect if still open
    VstInstance(const VstInstance&) = delete;
    VstInstance& operator=(const VstInstance&) = delete;

    AEffect* effect() const { return aeffect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // Text answers, read through generously sized buffers.
    std::string effectName();
    std::string vendorString();
    std::string productString();
    std::string parameterName(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string programName();
    std::string programNameIndexed(VstInt32 index, bool* ok = nullptr);

    void setParameter(VstInt32 index, float value) { aeffect->setParameter(aeffect, index, value); }
    float getParameter(VstInt32 index) { return aeffect->getParameter(aeffect, index); }
    void setSampleRate(float rate);
    void processReplacing(float** inputs, float** outputs, VstInt32 frames)
    {
        aeffect->processReplacing(aeffect, inputs, outputs, frames);
    }
    // Processes planar stereo: left and right of `frames` samples, in place.
    void processStereo(float* left, float* right, VstInt32 frames);

    VstIntPtr close();  // effClose; the effect is gone afterwards
    bool isOpen() const { return aeffect != nullptr; }

    // Recorded callbacks.
    std::vector<HostCall> calls() const;
    std::vector<HostCall> callsOf(VstInt32 opcode) const;
    void clearCalls();

    float hostSampleRate = 44100.0f;  // answered to audioMasterGetSampleRate
    VstInt32 hostBlockSize = 512;     // answered to audioMasterGetBlockSize
    std::atomic<VstIntPtr> processLevel{0};  // answered to audioMasterGetCurrentProcessLevel
                                      // (0 unknown, as Ardour answers; 4 offline)
    // Resizes the host's editor window for audioMasterSizeWindow (width, height) and says
    // whether it did. While it is set, canDo "sizeWindow" answers 1; while empty, -1.
    std::function<bool(int width, int height)> sizeWindow;

private:
    friend class VstLibrary;
    friend VstIntPtr hostCallback(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float);
    VstInstance() = default;
    void record(const HostCall& call);

    AEffect* aeffect = nullptr;
    mutable std::mutex callMutex;   // callbacks may come from several threads
    std::vector<HostCall> log;      // every callback, in order
};
