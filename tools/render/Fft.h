// An in-place radix-2 complex FFT of a fixed power-of-two size, for the spectrogram.
#pragma once

#include <complex>
#include <vector>

class Fft {
public:
    explicit Fft(int size);  // size: a power of two
    int size() const { return n; }
    void forward(std::vector<std::complex<double>>& data) const;

private:
    int n;                                        // transform length
    std::vector<int> reversed;                    // bit-reversed index of each position
    std::vector<std::complex<double>> twiddles;   // e^(-2πik/n), k < n/2
};
