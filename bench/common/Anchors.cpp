#include "bench/common/Anchors.h"

#include "dsp/RealFft.h"

#include <cstring>
#include <random>
#include <stdexcept>
#include <unistd.h>

#if LUSTRANA_HAVE_ZITA
#include <zita-convolver.h>
#endif
#if LUSTRANA_HAVE_FFTW
#include <fftw3.h>
#endif

namespace bench {

namespace {

std::vector<float> noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v)
        x = d(gen);
    return v;
}

} // namespace

// ---- zita-convolver ----------------------------------------------------------------------

#if LUSTRANA_HAVE_ZITA

struct ZitaUniform::Impl {
    Convproc proc;                 // two inputs, two outputs, one level of 2048
    std::vector<float> impulse[2]; // kept alive while zita copies from them
    std::vector<float> input;      // a block of input samples
};

bool ZitaUniform::available() { return true; }

ZitaUniform::ZitaUniform(int impulseLength) : impl(new Impl)
{
    parts = (impulseLength + kPartition - 1) / kPartition;
    impl->proc.set_options(Convproc::OPT_VECTOR_MODE | Convproc::OPT_FFTW_MEASURE);
    if (impl->proc.configure(2, 2, impulseLength, kPartition, kPartition, kPartition, 0.0f))
        throw std::runtime_error("zita-convolver configure failed");
    for (int c = 0; c < 2; c++) {
        impl->impulse[c] = noise(impulseLength, 20 + c);
        impl->proc.impdata_create(c, c, 1, impl->impulse[c].data(), 0, impulseLength);
    }
    impl->input = noise(kPartition, 30);
    if (impl->proc.start_process(0, 0))
        throw std::runtime_error("zita-convolver start failed");
}

ZitaUniform::~ZitaUniform()
{
    impl->proc.stop_process();
    while (!impl->proc.check_stop())
        usleep(1000);
    impl->proc.cleanup();
}

void ZitaUniform::block()
{
    for (int c = 0; c < 2; c++)
        std::memcpy(impl->proc.inpdata(c), impl->input.data(), sizeof(float) * kPartition);
    impl->proc.process(true);
    volatile float sink = impl->proc.outdata(0)[0] + impl->proc.outdata(1)[kPartition - 1];
    (void)sink;
}

#else

struct ZitaUniform::Impl {};
bool ZitaUniform::available() { return false; }
ZitaUniform::ZitaUniform(int) { throw std::runtime_error("built without zita-convolver"); }
ZitaUniform::~ZitaUniform() = default;
void ZitaUniform::block() {}

#endif

// ---- plain multiply-accumulate plus transforms -------------------------------------------

namespace {

constexpr int kHalf = kPartition;
constexpr int kStride = 2 * kHalf + 16;

void plainMac(float* acc, const float* x, const float* h)
{
    for (int k = 0; k < kHalf; k++) {
        acc[k] += x[k] * h[k] - x[kHalf + k] * h[kHalf + k];
        acc[kHalf + k] += x[kHalf + k] * h[k] + x[k] * h[kHalf + k];
    }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2,fma"))) void plainMacAvx2(float* acc, const float* x, const float* h)
{
    // the same loop; the target lets the compiler use 8-wide vectors and fused products
    for (int k = 0; k < kHalf; k++) {
        acc[k] = __builtin_fmaf(-x[kHalf + k], h[kHalf + k], __builtin_fmaf(x[k], h[k], acc[k]));
        acc[kHalf + k] = __builtin_fmaf(x[k], h[kHalf + k], __builtin_fmaf(x[kHalf + k], h[k], acc[kHalf + k]));
    }
}
bool hasAvx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
#else
void plainMacAvx2(float* acc, const float* x, const float* h) { plainMac(acc, x, h); }
bool hasAvx2() { return false; }
#endif

} // namespace

struct PlainMacFft::Impl {
    int partitions;
    bool avx2;
    std::vector<float> x, h, acc, time;   // rows of both channels; accumulator; time row
#if LUSTRANA_HAVE_FFTW
    float* real = nullptr;                 // FFTW buffers and plans
    fftwf_complex* spectrum = nullptr;
    fftwf_plan forward = nullptr, inverse = nullptr;
#endif
    std::unique_ptr<RealFft> fft;          // when FFTW is absent
};

PlainMacFft::PlainMacFft(int partitions) : impl(new Impl)
{
    impl->partitions = partitions;
    impl->avx2 = hasAvx2();
    impl->x = noise(size_t(2) * partitions * kStride, 40);
    impl->h = noise(impl->x.size(), 41);
    impl->acc.assign(2 * kStride, 0.0f);
    impl->time = noise(2 * kHalf, 42);
#if LUSTRANA_HAVE_FFTW
    impl->real = fftwf_alloc_real(2 * kHalf);
    impl->spectrum = fftwf_alloc_complex(kHalf + 1);
    impl->forward = fftwf_plan_dft_r2c_1d(2 * kHalf, impl->real, impl->spectrum, FFTW_MEASURE);
    impl->inverse = fftwf_plan_dft_c2r_1d(2 * kHalf, impl->spectrum, impl->real, FFTW_MEASURE);
    std::memcpy(impl->real, impl->time.data(), sizeof(float) * 2 * kHalf);
#else
    impl->fft = std::make_unique<RealFft>(2 * kHalf);
#endif
}

PlainMacFft::~PlainMacFft()
{
#if LUSTRANA_HAVE_FFTW
    fftwf_destroy_plan(impl->forward);
    fftwf_destroy_plan(impl->inverse);
    fftwf_free(impl->real);
    fftwf_free(impl->spectrum);
#endif
}

const char* PlainMacFft::describe() const
{
#if LUSTRANA_HAVE_FFTW
    return impl->avx2 ? "AVX2/FMA multiply-accumulate, FFTW transforms"
                      : "portable multiply-accumulate, FFTW transforms";
#else
    return impl->avx2 ? "AVX2/FMA multiply-accumulate, RealFft transforms"
                      : "portable multiply-accumulate, RealFft transforms";
#endif
}

void PlainMacFft::block()
{
    Impl& m = *impl;
    for (int c = 0; c < 2; c++) {
        float* acc = m.acc.data() + size_t(c) * kStride;
#if LUSTRANA_HAVE_FFTW
        fftwf_execute(m.forward);
#else
        m.fft->forward(acc, m.time.data());
#endif
        std::memset(acc, 0, sizeof(float) * 2 * kHalf);
        const size_t base = size_t(c) * m.partitions * kStride;
        for (int p = 0; p < m.partitions; p++) {
            const float* x = m.x.data() + base + size_t(p) * kStride;
            const float* h = m.h.data() + base + size_t(p) * kStride;
            if (m.avx2)
                plainMacAvx2(acc, x, h);
            else
                plainMac(acc, x, h);
        }
#if LUSTRANA_HAVE_FFTW
        fftwf_execute(m.inverse);
#else
        m.fft->inverse(acc, m.time.data());
#endif
    }
}

std::string dragonflyPlatePath()
{
    for (const char* dir : {"/usr/lib/lxvst", "/usr/lib/vst", "/usr/lib/x86_64-linux-gnu/vst",
                            "/usr/lib/x86_64-linux-gnu/lxvst", "/usr/local/lib/vst"}) {
        std::string path = std::string(dir) + "/DragonflyPlateReverb-vst.so";
        if (access(path.c_str(), R_OK) == 0)
            return path;
    }
    return {};
}

} // namespace bench
