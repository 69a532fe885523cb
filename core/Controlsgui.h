// Controlsgui: the Lustrana plate-reverb effect.
//
// Lifecycle: the constructor builds the program bank and the whole engine once (convolver,
// synthesis filters, modulators, delay rings, tube stage) and registers the instance with the
// process-wide synthesis timer; nothing is allocated afterwards. [host thread] resume, before
// processing starts, warms the tube stage up (the first time) and builds the plate impulse for
// the current settings if the one in use does not match them, so the first sample already
// reverberates. [audio thread] processReplacing runs the control update and the per-sample
// chain. [timer thread] buildPlateImpulse synthesises a new plate impulse when block
// processing asked for one and hands it to the convolver. When the host renders offline (it
// says so, or the audio runs ahead of the clock), processReplacing synthesises a requested
// impulse itself before the next sample, so the change takes effect at the same block
// boundary on every machine. The destructor leaves the registry first, so the timer never
// visits a dying instance.
#pragma once

#include "core/ControlsguiProgram.h"
#include "core/Parameters.h"
#include "core/PlateLink.h"
#include "core/Rand15.h"
#include "core/TubeStage.h"
#include "dsp/QS_CHORUS_1.h"
#include "host/AudioEffectX.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

class QS_ConvolverP;
class QS_LowpassN;
class QS_Peaking_1b;

// Who builds the plate impulses that block processing asks for.
enum class SynthesisDriver {
    Timer,     // the process-wide 500 ms timer; offline renders on the audio thread (VST 2.4)
    Inline,    // processReplacing itself, before the next sample (hosts without a worker)
    External,  // the owner, through synthesisePending() on a thread of its choice
};

class Controlsgui : public AudioEffectX, public PlateLink {
public:
    static constexpr int kRingLength = 8820;      // dry ring, samples
    // The pre-delay ring holds 200 ms at every rate a host may set (up to 384 kHz); at
    // 44.1 kHz its delay is the same as a ring of 8820 samples.
    static constexpr int kPreDelayCapacity = 8820 * 9;
    static constexpr int kDryDelay = 2048;        // equals the convolver's hop
    static constexpr int kDispersionStages = 40;  // first-order allpasses per channel
    static const char kVendor[];                  // 13-character web address
    static constexpr float kMinSampleRate = 1000.0f;    // rates outside are held to these
    static constexpr float kMaxSampleRate = 1000000.0f;
    static constexpr float kMaxInput = 1e4f;      // plate-feed input bound, +80 dBFS
    static constexpr float kMaxNormalisedCorner = 0.49f;  // input filter corners stay below Nyquist
    // A host that is this far ahead of the wall clock since a request renders offline.
    static constexpr double kOfflineLeadSeconds = 0.25;
    static constexpr double kTubeFadeSeconds = 0.5;  // warm-up beyond the silent second

    explicit Controlsgui(audioMasterCallback audioMaster, SynthesisDriver driver = SynthesisDriver::Timer);
    ~Controlsgui() override;

    // Host answers.
    void suspend() override {}
    void resume() override;
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 canDo(char* text) override;
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    // Own operations, in this order.
    virtual void buildEngine();
    virtual void selectProgram(VstInt32 program);
    virtual void storeProgram();
    void requestPing() override;
    float* getLevelToPlate() override;
    virtual void buildStandardSteel();
    virtual void buildThickSteel();
    virtual void buildThinIron();
    virtual void buildThinBrass();
    virtual void buildElastic();

    // [timer thread] picks the variant for the live PlateType.
    void buildPlateImpulse();
    // [host thread, not while processing] the tube stage's warm-up the first time, and a
    // plate impulse for the current shaping values, made current at once, unless the one in
    // use matches them. Instances that may not synthesise only warm up.
    void prepareToPlay();
    // [any thread but a real-time audio thread] serves a pending request now: synthesises
    // and loads the impulse (waiting for a synthesis the timer is running). False when
    // nothing was pending or a loaded impulse still waits for its swap (try after the next
    // block boundary).
    bool synthesisePending();

    // Read-only views for tests and tools that link the engine directly.
    bool isRegistered() const { return registered; }
    int getRegistrySlot() const { return registrySlot; }
    bool rebuildPending() const { return rebuildRequested[0].load(std::memory_order_acquire); }
    int getImpulseLength() const { return impulseLength; }
    float getRateToRef() const { return rateToRef; }
    float getRefToRate() const { return refToRate; }
    QS_ConvolverP* getConvolver() { return convolver.get(); }
    // [any thread] duration of the last synthesis including loadImpulse, in microseconds
    long long lastSynthesisMicroseconds() const { return synthesisMicros.load(std::memory_order_relaxed); }
    int getPreDelaySamples() const { return preDelaySamples; }
    int getRoutingMode() const { return routingMode.load(std::memory_order_relaxed); }
    SynthesisDriver getSynthesisDriver() const { return driver; }
    bool maySynthesise() const { return registered || driver != SynthesisDriver::Timer; }

private:
    friend class InstanceRegistry;

    struct Biquad {
        double f, a0, a1, a2, invA0, b0, b1, b2, alpha, cosw;  // coefficients
        double x1[2], x2[2], y1[2], y2[2];                      // memories per channel
    };

    // Creates the editor, which attaches itself; without one the effect has no editor.
    void createEditor();
    // Shows a parameter change on the editor, if there is one.
    void editorSetParameter(VstInt32 index, float value);

    // Control update [audio thread]
    float control(int index) const;  // the value processing reads: default if NaN, else 0..1
    void updateControls();
    static void computeBiquad(Biquad& q, float f, float qDivisor, bool highpass);
    static void computeHighpass(Biquad& q, float value, float rateToRef);
    static void computeLowpass(Biquad& q, float value, float rateToRef);
    // Plate synthesis [timer thread, or whichever thread holds the synthesis claim]
    struct PlateRecipe;
    // What an impulse was built for; a resume compares it with the current values.
    struct ImpulseShape {
        int length;        // samples
        float width;       // end width of the matrix; not compared in mode 4
        float sound, tune; // as read when the synthesis began
        int plate;         // variant index
        bool mono;         // "Follow the source"
    };
    enum class Mono { FromRouting, No, Yes };  // copy the left impulse into the right?
    static const PlateRecipe& recipeFor(int plate);
    void synthesise(const PlateRecipe& recipe);
    // Builds impulseLength samples for the given end width and loads them; the caller holds
    // the claim and clears the request.
    void synthesiseClaimed(const PlateRecipe& recipe, float width, Mono mono);
    bool mayBeginSynthesis() const;
    bool tryClaimSynthesis();
    void claimSynthesis();         // waits for a synthesis on another thread
    void releaseSynthesis();
    int impulseLengthFor(float length) const;  // samples of a plate of this "Length"
    ImpulseShape currentShape() const;
    bool sameShape(const ImpulseShape& built, const ImpulseShape& wanted) const;
    // [audio thread] whether the host renders offline, asked only while a request waits
    bool rendersOffline();
    void warmUpTubeStage();
    // [audio thread] the per-sample chain over samples [begin, end) of the block
    void processChain(float** inputs, float** outputs, VstInt32 begin, VstInt32 end, int mode,
                      float& peakLevel);
    // [audio thread] dither and routing of count samples from first: inputs (non-finite as 0)
    // to inL and inR, the routed feed of the input stage to A and B
    void routeChunk(float** inputs, VstInt32 first, int count, int mode, float* inL, float* inR,
                    float* A, float* B);
    // [audio thread] the chain of one sample after the tube stage: raw inputs, routed inputs,
    // tube stage outputs in; the output sample out, the block's peak feed level updated
    void chainSample(float L, float R, float A, float B, float TA, float TB, float& outputL,
                     float& outputR, float& peakLevel);
    void setRegistrySlot(int slot) { registrySlot = slot; }

    // Parameters and programs [any thread writes, audio and timer threads read]
    std::atomic<float> parameterValues[kNumParams];  // live values, unclamped
    std::unique_ptr<ControlsguiProgram[]> programBank;  // 50 programs, owned

    // Sample-rate ratios [host thread writes while suspended]
    float currentSampleRate = 44100.0f;  // last setSampleRate
    float rateToRef = 1.0f;              // 44100 / fs
    float refToRate = 1.0f;              // 1 / rateToRef
    float hostPeriod = 1.0f / 44100.0f;  // 1 / fs, read by the tube stage

    // Control update state [audio thread]
    float antiDenormal = 1e-22f;               // flips sign every sample or step
    float cachedParameters[kNumParams];        // values last acted on
    Biquad highpass;                           // plate-feed high-pass, double precision
    Biquad lowpass;                            // plate-feed low-pass, double precision
    std::atomic<int> routingMode{0};           // 0..5; the synthesis reads it too
    int inputStage = 0;                        // 0 tube stage, other solid state
    int preDelaySamples = 0;                   // ring distance, clamped to the ring
    float limiterAttack = 0.983f;              // per-sample coefficients of the wet limiter
    float limiterRelease = 0.999f;
    std::atomic<float> pingLevel{0.0f};        // one-shot impulse, set by the editor
    float levelToPlate = 0.0f;                 // meter value, published every block; read
                                               // and written whole through std::atomic_ref

    // Request handshake with the timer thread: raised by the audio thread only when clear,
    // cleared by the synthesis after loadImpulse returned (release/acquire).
    int impulseLength = 340000;                // samples of the next impulse
    std::atomic<bool> rebuildRequested[2];     // always set and cleared together

    // Convolver and its cells
    std::unique_ptr<QS_ConvolverP> convolver;  // owned
    float convolverInput[2] = {0, 0};          // input cells, left and right
    const float* convolverOutput[2] = {};      // the convolver's output cells
    float** backImpulse[2] = {};               // references to the back impulse buffers

    // Plate synthesis components [timer thread]
    std::unique_ptr<QS_LowpassN> synthLowpass[2];  // 6-stage darkening chains, owned
    float synthLowpassInput[2] = {0, 0};       // their input cells
    float synthLowpassCoefficient = 1.0f;      // shared coefficient cell
    std::unique_ptr<QS_Peaking_1b> toneFilter[6];  // 0..2 left, 3..5 right, owned
    float toneFilterInput[6][2] = {};          // their input cells
    float toneFilterControls[6][3] = {};       // centre, bandwidth, gain

    // Plate synthesis working state [the thread holding the synthesis claim]
    const SynthesisDriver driver;              // who serves the requests
    std::atomic<bool> synthesisBusy{false};    // the claim: one synthesis at a time
    rand15::Generator synthRandom;             // the synthesis noise, continued from one
                                               // impulse to the next, whatever the thread
    ImpulseShape builtShape{};                 // what the newest loaded impulse was built for
    bool hasBuiltImpulse = false;              // an impulse was ever loaded
    int synthIndex = 0;                        // sample counter i
    float synthAntiDenormal = 1e-22f;          // the synthesis's own flipping offset
    std::atomic<long long> synthesisMicros{0}; // duration of the last synthesis
    float dispersionPrevIn[2][kDispersionStages];  // previous stage inputs
    float dispersionPrevOut[2][kDispersionStages]; // previous stage outputs

    // Modulators [audio thread]
    std::unique_ptr<QS_CHORUS_1> chorus[2];    // left, right, owned
    ChorusParams chorusParams[2];              // their parameter blocks
    float chorusInput[2] = {0, 0};             // their input cells
    const float* chorusOutput[2] = {};         // their output cells
    float modPhase = 0.0f;                     // amplitude-modulation phase, radians
    float modIncrement = 0.0f;                 // its per-sample increment
    float modGain[2] = {0, 0};                 // amplitude gains, left and right

    // Wet limiter [audio thread]
    float limiterGr = 0.0f;                    // gain reduction, dB
    float limiterSmoothed = 0.0f;              // its smoothed value
    float limiterDb = 0.0f;                    // level, dB
    float limiterGain = 1.0f;                  // linear gain
    float limited[2] = {0, 0};                 // limited wet, left and right

    // Delay rings [audio thread]
    float dryRing[2][kRingLength];             // raw input for the dry path
    int dryWrite = kDryDelay;                  // write = read + dryDelay
    int dryRead = 0;
    int dryDelay = kDryDelay;
    float preDelayRing[2][kPreDelayCapacity];  // plate feed before the filters
    int preDelayRead = 0;
    int preDelayWrite = 0;

    // Input stage [audio thread; the first resume before any processing]
    TubeStage tubeStage;                       // the two-tube model, both channels
    bool tubeWarmedUp = false;                 // the first resume warmed it up
    bool processedAudio = false;               // a block has been processed

    // Offline detection [audio thread]: how far the audio ran since the request was raised,
    // against the wall clock.
    std::chrono::steady_clock::time_point requestTime{};  // when the request was raised
    int64_t samplesSinceRequest = 0;           // samples processed since then

    // Registry
    bool registered = false;                   // got a slot in the registry
    int registrySlot = -1;                     // slot index, or -1
};
