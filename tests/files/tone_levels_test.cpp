// Tone levels of a recorded mix (tools/authoring/tone_levels.h and `tessaro-tool sound tones`): a
// tone is found loud where it sounds and absent elsewhere, silence against silence is 0 dB, and
// waves or stretches it cannot measure are refused.
#include "authoring/tone_levels.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "command_output.h"
#include "files/temp_folder.h"

namespace {

// A 16-bit stereo wave at `rate`: 440 Hz at a third of full scale for its first second, then a
// second of silence. The right channel is the left one inverted for half of the tone, so that the
// channels must be mixed, not just one read.
std::string TwoSecondWave(uint32_t rate)
{
    std::string bytes;
    const auto put16 = [&](int v) {
        bytes += static_cast<char>(v & 0xFF);
        bytes += static_cast<char>((v >> 8) & 0xFF);
    };
    const auto put32 = [&](uint32_t v) {
        put16(static_cast<int>(v & 0xFFFF));
        put16(static_cast<int>(v >> 16));
    };
    const uint32_t frames = 2 * rate;
    bytes += "RIFF";
    put32(36 + frames * 4);
    bytes += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(2);
    put32(rate);
    put32(rate * 4);
    put16(4);
    put16(16);
    bytes += "data";
    put32(frames * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const int left = i < rate ? static_cast<int>(std::lround(10000 * std::sin(2 * std::numbers::pi * 440 * t))) : 0;
        put16(left);
        put16(i < rate / 2 ? left : left / 2);
    }
    return bytes;
}

RiffWave Read(const std::string& bytes)
{
    RiffWave wave;
    EXPECT_TRUE(ReadRiffWave(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &wave));
    return wave;
}

} // namespace

TEST(ToneLevels, ToneLoudWhereItSoundsAndAbsentElsewhere)
{
    const std::string bytes = TwoSecondWave(44100);
    const RiffWave wave = Read(bytes);
    struct Case {
        double from, to, frequency, atLeast, below;
    } cases[] = {
        {0, 1000, 440, 50, 1000},      // the tone over the 16-bit floor
        {0, 1000, 1760, -1000, 0},     // its second octave is not there
        {0, 1000, 600, -1000, 10},     // a neighbour gets no leakage from it
        {1000, 2000, 440, -0.1, 0.1},  // silence against silence
        {-500, 9000, 440, 50, 1000},   // times clamped to the sound
        {800, 1300, 440, 50, 1000},    // a stretch across the tone's end
    };
    for (const Case& c : cases) {
        std::vector<double> levels;
        std::string error;
        ASSERT_TRUE(ToneLevelsDb(wave, c.from, c.to, {c.frequency}, &levels, &error)) << error;
        ASSERT_EQ(levels.size(), 1u);
        EXPECT_GE(levels[0], c.atLeast) << c.from << "-" << c.to << " ms at " << c.frequency << " Hz";
        EXPECT_LT(levels[0], c.below) << c.from << "-" << c.to << " ms at " << c.frequency << " Hz";
    }
}

TEST(ToneLevels, RefusesWhatItCannotMeasure)
{
    const std::string bytes = TwoSecondWave(44100);
    const RiffWave wave = Read(bytes);
    RiffWave eightBit = wave;
    eightBit.bitsPerSample = 8;
    const std::string slowBytes = TwoSecondWave(4000);
    const RiffWave slow = Read(slowBytes);
    struct Case {
        const RiffWave* wave;
        double from, to, frequency;
        const char* error;
    } cases[] = {
        {&eightBit, 0, 1000, 440, "16-bit"},
        {&slow, 0, 1000, 440, "rate is too low"},
        {&wave, 0, 50, 440, "less than"},        // shorter than one block
        {&wave, 1000, 500, 440, "less than"},    // backwards
        {&wave, 3000, 4000, 440, "less than"},   // past the end
        {&wave, 0, 1000, 0, "frequency"},
        {&wave, 0, 1000, 22050, "frequency"},
        {&wave, 0, 1000, NAN, "frequency"},
    };
    for (const Case& c : cases) {
        std::vector<double> levels;
        std::string error;
        EXPECT_FALSE(ToneLevelsDb(*c.wave, c.from, c.to, {c.frequency}, &levels, &error)) << c.error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(ToneLevels, ToolPrintsOneLevelPerFrequency)
{
    TempFolder dir;
    dir.Write("mix.wav", TwoSecondWave(44100));
    dir.Write("not.wav", "RIFF....WAVEjunk");
    const std::string tool = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool sound tones ";
    const std::string out = CommandOutput(tool + dir.Linux("mix.wav") + " 0 1000 440 1760");
    double loud = 0, quiet = 0;
    ASSERT_EQ(std::sscanf(out.c_str(), "440 %lf\n1760 %lf", &loud, &quiet), 2) << out;
    EXPECT_GE(loud, 50);
    EXPECT_LT(quiet, 0);
    const auto status = [&](const std::string& arguments) {
        const int s = std::system((tool + arguments + " >/dev/null 2>&1").c_str());
        return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    };
    EXPECT_EQ(status(dir.Linux("not.wav") + " 0 1000 440"), 1);
    EXPECT_EQ(status(dir.Linux("mix.wav") + " 0 10 440"), 1);
    EXPECT_EQ(status(dir.Linux("mix.wav") + " 0 1000 abc"), 2);
    EXPECT_EQ(status(dir.Linux("mix.wav") + " 0 1000"), 2);
}
