#include "tools/render/Fft.h"

#include <cmath>
#include <stdexcept>
#include <utility>

Fft::Fft(int size) : n(size), reversed(size), twiddles(size / 2)
{
    if (size < 2 || (size & (size - 1)) != 0)
        throw std::invalid_argument("FFT size must be a power of two");
    int bits = 0;
    while ((1 << bits) < n)
        bits++;
    for (int i = 0; i < n; i++) {
        int r = 0;
        for (int b = 0; b < bits; b++)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        reversed[i] = r;
    }
    for (int k = 0; k < n / 2; k++)
        twiddles[k] = std::polar(1.0, -2.0 * M_PI * k / n);
}

void Fft::forward(std::vector<std::complex<double>>& data) const
{
    for (int i = 0; i < n; i++)
        if (i < reversed[i])
            std::swap(data[i], data[reversed[i]]);
    for (int length = 2; length <= n; length <<= 1) {
        int half = length / 2;
        int stride = n / length;
        for (int start = 0; start < n; start += length)
            for (int k = 0; k < half; k++) {
                std::complex<double> odd = data[start + k + half] * twiddles[k * stride];
                data[start + k + half] = data[start + k] - odd;
                data[start + k] += odd;
            }
    }
}
