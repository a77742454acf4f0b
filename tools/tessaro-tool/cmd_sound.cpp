// tessaro-tool sound convert: decodes a sound through the engine's sound-decoder manager (the
// built-in Ogg decoder and the SLL plug-ins of a folder) and writes it as a RIFF/WAVE file.
// tessaro-tool sound tones: how loud given frequencies are in a stretch of a WAVE (a recorded mix).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/riff_reader.h"
#include "authoring/tone_levels.h"
#include "command.h"
#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "files/wav_export.h"

namespace {

// A number of the command line; false when it is not one.
bool ParseNumber(const char* text, double* out)
{
    char* end = nullptr;
    *out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*out);
}

int RunTones(int argc, char** argv)
{
    if (argc < 6)
        return -1;
    double from = 0, to = 0;
    std::vector<double> frequencies;
    bool numbers = ParseNumber(argv[3], &from) && ParseNumber(argv[4], &to);
    for (int i = 5; numbers && i < argc; ++i) {
        double f = 0;
        numbers = ParseNumber(argv[i], &f);
        frequencies.push_back(f);
    }
    if (!numbers)
        return -1;
    std::vector<BYTE> bytes;
    RiffWave wave;
    if (!ReadWholeFile(argv[2], &bytes) || !ReadRiffWave(bytes.data(), bytes.size(), &wave)) {
        std::fprintf(stderr, "sound: %s is not a readable PCM wave\n", argv[2]);
        return 1;
    }
    std::vector<double> levels;
    std::string error;
    if (!ToneLevelsDb(wave, from, to, frequencies, &levels, &error)) {
        std::fprintf(stderr, "sound: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    for (size_t i = 0; i < levels.size(); ++i)
        std::printf("%s %.1f\n", argv[5 + i], levels[i]);
    return 0;
}

int RunSound(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "tones") == 0)
        return RunTones(argc, argv);
    const bool plugins = argc == 7 && std::strcmp(argv[5], "--plugins") == 0;
    if ((argc != 5 && !plugins) || std::strcmp(argv[1], "convert") != 0) {
        std::fprintf(stderr, "usage: tessaro-tool sound convert BASEFOLDER NAME OUT.WAV [--plugins FOLDER]\n");
        return 2;
    }
    if (SetBaseFolder(WindowsPathOf(argv[2]).c_str()) != 0) {
        std::fprintf(stderr, "sound: bad base folder %s\n", argv[2]);
        return 1;
    }
    CFileManager files;
    files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    CSllManager sounds;
    if (RegisterOggDecoder(sounds) != 0)
        std::fprintf(stderr, "sound: the Ogg Vorbis library did not load\n");
    if (plugins) {
        const int failed = sounds.LoadFolder(WindowsPathOf(argv[6]).c_str());
        if (failed != 0)
            std::fprintf(stderr, "sound: %d plug-in(s) of %s did not load\n", failed, argv[6]);
    }
    CFileManager* previous = g_pFileManager;
    g_pFileManager = &files;
    const int code = ConvertSoundToWav(argv[3], WindowsPathOf(argv[4]).c_str(), &sounds);
    g_pFileManager = previous;
    if (code != 0)
        std::fprintf(stderr, "sound: converting %s failed (code %d)\n", argv[3], code);
    return code == 0 ? 0 : 1;
}

} // namespace

TESSARO_TOOL_COMMAND("sound",
                     "  sound convert BASEFOLDER NAME OUT.WAV [--plugins FOLDER]\n"
                     "                            decode NAME (Ogg Vorbis, or what an SLL plug-in reads) into a WAV\n"
                     "  sound tones WAV FROM_MS TO_MS FREQ...\n"
                     "                            each frequency's level in dB over unrelated ones between the\n"
                     "                            two times (16-bit PCM; channels mixed)",
                     RunSound);
