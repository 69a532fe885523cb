#include "tools/render/ReverbAnalysis.h"

#include "tools/render/Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

double toDb(double energyRatio)
{
    return 10.0 * std::log10(std::max(energyRatio, 1e-30));
}

// Fits a line to the decay curve between `from` and `to` dB (both negative) by least
// squares over every sample in that range; false when the curve never reaches `to`.
bool fitDecay(const std::vector<double>& decayDb, double rate, double from, double to, ChannelDecay& out)
{
    size_t start = 0;
    while (start < decayDb.size() && decayDb[start] > from)
        start++;
    size_t end = start;
    while (end < decayDb.size() && decayDb[end] > to)
        end++;
    if (end >= decayDb.size() || end - start < 8)
        return false;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = start; i <= end; i++) {
        double x = (double)i / rate, y = decayDb[i];
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    if (!(slope < 0.0))
        return false;
    out.fitSlope = slope;
    out.fitOffset = (sy - slope * sx) / n;
    out.fitFrom = (double)start / rate;
    out.fitTo = (double)end / rate;
    out.rt60 = -60.0 / slope;
    return true;
}

} // namespace

DecayAnalysis analyseDecay(const std::vector<float>& left, const std::vector<float>& right, double rate,
                           double window)
{
    DecayAnalysis result;
    int hop = std::max(1, (int)std::lround(window * rate));
    result.step = (double)hop / rate;
    const std::vector<float>* channels[2] = {&left, &right};
    for (int c = 0; c < 2; c++) {
        const std::vector<float>& h = *channels[c];
        ChannelDecay& out = result.channel[c];
        size_t length = h.size();
        double peak = 0.0;
        for (float x : h)
            peak = std::max(peak, (double)std::fabs(x));
        out.peakDb = 20.0 * std::log10(std::max(peak, 1e-10));

        // The plug-in's noise floor: the mean power of the last tenth of the response,
        // where the plate has died away. Schroeder's integration runs up to where the
        // level meets the floor and subtracts the floor's power (Chu's correction), so
        // that the floor does not bend the decay curve flat.
        size_t lastTenth = std::max<size_t>(1, length / 10);
        double floorPower = 0.0;
        for (size_t i = length - lastTenth; i < length; i++)
            floorPower += (double)h[i] * h[i];
        floorPower /= (double)lastTenth;
        std::vector<double> windowPower;
        for (size_t start = 0; start + hop <= length; start += hop) {
            double power = 0.0;
            for (size_t i = start; i < start + hop; i++)
                power += (double)h[i] * h[i];
            windowPower.push_back(power / hop);
        }
        size_t loudestWindow = std::max_element(windowPower.begin(), windowPower.end()) - windowPower.begin();
        size_t end = length;
        for (size_t w = loudestWindow; w < windowPower.size() && floorPower > 0.0; w++)
            if (windowPower[w] < 2.0 * floorPower) {
                end = w * hop;
                break;
            }
        std::vector<double> remaining(length + 1, 0.0);
        for (size_t i = end; i-- > 0;)
            remaining[i] = remaining[i + 1] + (double)h[i] * h[i] - floorPower;
        for (double& e : remaining)
            e = std::max(e, 0.0);
        double total = remaining[0];
        if (total <= 0.0)
            continue;
        std::vector<double> decayDb(length);
        for (size_t i = 0; i < length; i++)
            decayDb[i] = toDb(remaining[i] / total);

        double loudest = 0.0;
        std::vector<double> windows;
        for (size_t start = 0; start < length; start += hop) {
            size_t stop = std::min(length, start + hop);
            double energy = 0.0;
            for (size_t i = start; i < stop; i++)
                energy += (double)h[i] * h[i];
            energy /= (double)(stop - start);
            windows.push_back(energy);
            loudest = std::max(loudest, energy);
            if (start < end)
                out.decayDb.push_back((float)decayDb[start]);
        }
        for (double energy : windows)
            out.envelopeDb.push_back((float)toDb(energy / loudest));

        if (fitDecay(decayDb, rate, -5.0, -35.0, out))
            out.method = "T30";
        else if (fitDecay(decayDb, rate, -5.0, -25.0, out))
            out.method = "T20";
        else if (fitDecay(decayDb, rate, -5.0, -15.0, out))
            out.method = "T10";
    }
    return result;
}

Spectrogram computeSpectrogram(const std::vector<float>& signal, double rate, int columns, int fftSize)
{
    Spectrogram result;
    Fft fft(fftSize);
    result.bins = fftSize / 2 + 1;
    result.binStep = rate / fftSize;
    int64_t length = (int64_t)signal.size();
    int hop = std::max<int64_t>(1, (length + columns - 1) / std::max(1, columns));
    result.columns = (int)((length + hop - 1) / hop);
    result.columnStep = (double)hop / rate;
    result.levelDb.assign((size_t)result.columns * result.bins, -200.0f);

    std::vector<double> window(fftSize);
    for (int i = 0; i < fftSize; i++)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * (i + 0.5) / fftSize);
    std::vector<std::complex<double>> frame(fftSize);
    float loudest = -200.0f;
    for (int column = 0; column < result.columns; column++) {
        int64_t centre = (int64_t)column * hop;
        for (int i = 0; i < fftSize; i++) {
            int64_t at = centre + i - fftSize / 2;
            double x = at >= 0 && at < length ? signal[at] : 0.0;
            frame[i] = x * window[i];
        }
        fft.forward(frame);
        for (int bin = 0; bin < result.bins; bin++) {
            float db = (float)toDb(std::norm(frame[bin]));
            result.levelDb[(size_t)column * result.bins + bin] = db;
            loudest = std::max(loudest, db);
        }
    }
    for (float& db : result.levelDb)
        db -= loudest;
    return result;
}
