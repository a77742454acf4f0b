// tessaro-tool voiceinf: write and list the voice-information file; and `sob host`, the system
// script under the host, headless.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/voice_info_writer.h"
#include "command.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "natives/script_host.h"
#include "winapi/text.h"

namespace {

int RunVoiceInfo(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "pack") == 0) {
        std::vector<BYTE> list, out;
        if (!ReadWholeFile(argv[2], &list)) {
            std::fprintf(stderr, "voiceinf: cannot read %s\n", argv[2]);
            return 1;
        }
        std::string error;
        if (!WriteVoiceInfo(std::string(list.begin(), list.end()), &out, &error)) {
            std::fprintf(stderr, "%s:%s\n", argv[2], error.c_str());
            return 1;
        }
        if (!WriteWholeFile(argv[3], out.data(), out.size())) {
            std::fprintf(stderr, "voiceinf: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "list") == 0) {
        std::vector<BYTE> bytes;
        if (!ReadWholeFile(argv[2], &bytes)) {
            std::fprintf(stderr, "voiceinf: cannot read %s\n", argv[2]);
            return 1;
        }
        CScriptHostBase host(1u << 16);
        if (!host.LoadVoiceInfoBytes(bytes.data(), bytes.size())) {
            std::fprintf(stderr, "voiceinf: %s is damaged\n", argv[2]);
            return 1;
        }
        const VoiceTable& t = host.Voices();
        std::printf("extension %s\n", winapi::SjisToUtf8(t.extension).c_str());
        for (size_t i = 0; i < t.characters.size(); ++i) {
            const std::string& alias = *host.VoiceAlias(i);
            std::printf("%s %s", winapi::SjisToUtf8(*host.VoiceName(i)).c_str(),
                        !alias.empty() ? winapi::SjisToUtf8(alias).c_str() : (t.characters[i].flag ? "hidden" : "-"));
            for (const VoicePrefix& p : t.prefixes) {
                if (p.character == static_cast<int32_t>(i))
                    std::printf(" %s", winapi::SjisToUtf8(p.prefix).c_str());
            }
            std::printf("\n");
        }
        return 0;
    }
    std::fputs("usage: tessaro-tool voiceinf pack VOICES.txt OUT.DAT | voiceinf list VOICEINF.DAT\n", stderr);
    return 2;
}

} // namespace

// `sob host FOLDER [--frames N]`: SCRIPT\MAIN.SOB of a game folder under the host, one run step a
// frame, printing each step's result (natives not built yet say so on stderr).
int RunSobHost(int argc, char** argv)
{
    long frames = 1000;
    if (argc == 5 && std::strcmp(argv[3], "--frames") == 0) {
        char* end = nullptr;
        frames = std::strtol(argv[4], &end, 10);
        if (end == argv[4] || *end != '\0' || frames < 1) {
            std::fprintf(stderr, "sob host: bad frame count %s\n", argv[4]);
            return 2;
        }
    } else if (argc != 3) {
        std::fputs("usage: tessaro-tool sob host FOLDER [--frames N]\n", stderr);
        return 2;
    }
    // The host sees Windows paths: the Linux file system is drive Z:.
    std::string folder = "Z:" + std::filesystem::absolute(argv[2]).string();
    for (char& c : folder)
        c = c == '/' ? '\\' : c;
    folder = winapi::Utf8ToSjis(folder);
    if (SetBaseFolder(folder.c_str()) != 0) {
        std::fprintf(stderr, "sob host: bad folder %s\n", argv[2]);
        return 1;
    }
    CFileManager manager;
    g_pFileManager = &manager;
    int code = 0;
    {
        CScriptHost host(16u << 20);
        host.SetReadLogFolder(g_BaseFolder);
        const int sys = host.LoadSystemFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB",
                                             true, true);
        host.LoadVoiceInfo("SCRIPT\\VOICEINF.DAT");
        const int open = sys == 0 ? host.OpenScript("MAIN", nullptr) : -1;
        std::printf("system files %d, MAIN %d\n", sys, open);
        if (sys != 0 || open != 0) {
            code = 1;
        } else {
            for (long frame = 1; frame <= frames; ++frame) {
                const uint32_t r = host.RunStep();
                std::printf("frame %ld: %u\n", frame, r);
                if (r != kRunYielded) {
                    code = r == kRunEnded ? 0 : 1;
                    break;
                }
            }
        }
    }
    g_pFileManager = nullptr;
    return code;
}

TESSARO_TOOL_COMMAND("voiceinf",
                     "  voiceinf pack VOICES.txt OUT.DAT   write VOICEINF.DAT from a list (UTF-8: the extension,\n"
                     "                                     then a line a voice: name, alias | - | hidden, prefixes)\n"
                     "  voiceinf list VOICEINF.DAT         list a voice-information file in that form",
                     RunVoiceInfo);
