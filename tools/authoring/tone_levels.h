// How loud given frequencies are in a stretch of a 16-bit PCM WAVE, against frequencies that no
// test sound uses: Goertzel energy over Hann-windowed blocks of the channels' mix. The tests of
// the demo game read the engine's recorded mix with it (music on or off, a chime heard or not).
#pragma once

#include <string>
#include <vector>

#include "authoring/riff_reader.h"

// The frequencies the levels are measured against (Hz): far from the test tones and their
// first harmonics.
const std::vector<double>& ToneReferenceFrequencies();

// For each of `frequencies`, 10·log10 of its mean energy over the mean energy of the reference
// frequencies, between fromMs and toMs of the sound (both clamped to it); silence on both sides
// gives 0 dB. → false with a message in *error when the wave is not 16-bit PCM, its rate is too
// low for the references, the stretch holds less than one block, or a frequency is not between 0
// and half the rate.
bool ToneLevelsDb(const RiffWave& wave, double fromMs, double toMs, const std::vector<double>& frequencies,
                  std::vector<double>* levels, std::string* error);
