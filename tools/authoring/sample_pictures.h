// Generated pictures for tests, benchmarks and fuzz seeds: photo-like gradients with noise, flat
// interface parts with few colours, pictures with an alpha channel, and a coverage picture that
// lets the ELG encoder use every opcode class.
#pragma once

#include <cstdint>
#include <vector>

namespace samples {

// 0xAARRGGBB pixels, top-down rows; alpha 255 unless the kind has alpha.
std::vector<uint32_t> PhotoLike(int width, int height, uint32_t seed);
std::vector<uint32_t> WithAlpha(int width, int height, uint32_t seed);
// At most 16 colours: flat panels, frames and a few diagonal strokes.
std::vector<uint32_t> InterfacePart(int width, int height, uint32_t seed);
// Noise above, flat areas below (at least 64 x 96 for every class to occur).
std::vector<uint32_t> Coverage(int width, int height, uint32_t seed);

}  // namespace samples
