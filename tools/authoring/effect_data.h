// The pictures of the layer effects, drawn from the sample generators: "SYS/NOISE.ELG", the paper
// scraps "SYS/PAPER_0..7.ELG" (24-frame strips), the lights "SYS/GR_LT0..2.ELG" (5-frame strips
// with soft alpha), the snow flakes "SYS/SNOW_0..4.ELG" and the transitions' 8-bit rule pictures
// "SYS/RULE001..003.ELG" (800 x 600: a left-to-right ramp, a radial ramp, noise), as ELG files;
// the sample parts list "SYS/CA040.TXT" with its eye and mouth pictures; and the bg_anime folder
// "ANIME/": the animation "BG.KAD" (three groups, a loop) and its frames "F0..F5.ELG".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace effect_data {

struct File {
    std::string name; // relative, '/' between folders
    std::vector<uint8_t> bytes;
};

// Every file, the same bytes for the same seed; empty with a message on failure.
std::vector<File> Make(uint32_t seed, std::string* error);
// Writes them below folder (a Linux path) → false with a message.
bool Write(const std::string& folder, uint32_t seed, std::string* error);

} // namespace effect_data
