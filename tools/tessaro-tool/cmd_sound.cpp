// tessaro-tool sound convert: decodes a sound through the engine's sound-decoder manager (the
// built-in Ogg decoder and the SLL plug-ins of a folder) and writes it as a RIFF/WAVE file.
#include <cstdio>
#include <cstring>
#include <string>

#include "authoring/file_io.h"
#include "command.h"
#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "files/wav_export.h"

namespace {

int RunSound(int argc, char** argv)
{
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
                     "                            decode NAME (Ogg Vorbis, or what an SLL plug-in reads) into a WAV",
                     RunSound);
