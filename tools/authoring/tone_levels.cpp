// Goertzel levels of a WAVE's mix (see tone_levels.h).
#include "authoring/tone_levels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr size_t kBlock = 4096; // about 93 ms at 44.1 kHz: bins of about 11 Hz
// Energies below this (a full-scale sine is about 0.25) count as silence, so that silence against
// silence is 0 dB instead of a division by zero.
constexpr double kFloor = 1e-14;

// The Goertzel energy of one windowed block at `frequency`, scaled so that a sine of amplitude A
// on the bin gives about A²/4 whatever the block's length.
double BlockEnergy(const std::vector<double>& block, double frequency, double rate, double windowSum)
{
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (double x : block) {
        const double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return power / (windowSum * windowSum);
}

} // namespace

const std::vector<double>& ToneReferenceFrequencies()
{
    static const std::vector<double> kReferences = {317.0, 1013.0, 1493.0, 2411.0, 2903.0};
    return kReferences;
}

bool ToneLevelsDb(const RiffWave& wave, double fromMs, double toMs, const std::vector<double>& frequencies,
                  std::vector<double>* levels, std::string* error)
{
    if (wave.formatTag != 1 || wave.bitsPerSample != 16 || wave.channels == 0 || wave.samplesPerSec == 0) {
        *error = "not a 16-bit PCM wave";
        return false;
    }
    const double rate = wave.samplesPerSec;
    if (ToneReferenceFrequencies().back() >= rate / 2) {
        *error = "the rate is too low for the reference frequencies";
        return false;
    }
    for (double f : frequencies) {
        if (!(f > 0.0 && f < rate / 2)) {
            *error = "frequency " + std::to_string(f) + " Hz is not between 0 and half the rate";
            return false;
        }
    }
    const size_t frameBytes = size_t{2} * wave.channels;
    const size_t frames = wave.dataSize / frameBytes;
    const auto frameAt = [&](double ms) {
        const double f = std::floor(std::max(0.0, ms) * rate / 1000.0);
        return f >= static_cast<double>(frames) ? frames : static_cast<size_t>(f);
    };
    const size_t first = frameAt(fromMs), end = frameAt(toMs);
    if (!(toMs > fromMs) || end <= first || end - first < kBlock) {
        *error = "the stretch holds less than " + std::to_string(kBlock) + " samples of the sound";
        return false;
    }

    std::vector<double> window(kBlock);
    double windowSum = 0.0;
    for (size_t i = 0; i < kBlock; ++i) {
        window[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / (kBlock - 1));
        windowSum += window[i];
    }
    const std::vector<double>& references = ToneReferenceFrequencies();
    std::vector<double> energy(frequencies.size(), 0.0);
    double referenceEnergy = 0.0;
    std::vector<double> block(kBlock);
    size_t blocks = 0;
    for (size_t at = first; at + kBlock <= end; at += kBlock, ++blocks) {
        for (size_t i = 0; i < kBlock; ++i) {
            const uint8_t* p = wave.data + (at + i) * frameBytes;
            double sum = 0.0;
            for (size_t c = 0; c < wave.channels; ++c)
                sum += static_cast<int16_t>(static_cast<uint16_t>(p[2 * c] | (p[2 * c + 1] << 8)));
            block[i] = window[i] * sum / (32768.0 * wave.channels);
        }
        for (size_t k = 0; k < frequencies.size(); ++k)
            energy[k] += BlockEnergy(block, frequencies[k], rate, windowSum);
        for (double f : references)
            referenceEnergy += BlockEnergy(block, f, rate, windowSum) / static_cast<double>(references.size());
    }
    levels->clear();
    for (double e : energy)
        levels->push_back(10.0 * std::log10((e / blocks + kFloor) / (referenceEnergy / blocks + kFloor)));
    return true;
}
