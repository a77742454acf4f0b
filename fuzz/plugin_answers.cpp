// Fuzzes the plug-in records of the GLL, SLL and ADL families (plugin_record.cpp) through their
// managers, with fake plug-ins registered as built-in modules whose exports answer from the input:
// the type id, the type string and extension list (null or up to 40 bytes, NUL-ended as the
// contract asks), the decode object (null, a real built-in decoder, or a throw) and the assist
// answers. Each round loads one family's plug-in, looks decoders up by a name and a type id from
// the input, decodes a small file through it, and unloads a type.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/bmp_loader.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/kpk_archive.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "support/fuzz_input.h"
#include "support/picture_target.h"
#include "winapi/kernel.h"

namespace {

FuzzInput* g_in = nullptr;
int g_family = 0; // 0 GLL, 1 SLL, 2 ADL

// Up to 40 input bytes, then two NULs: a string or a NUL-separated list.
struct Text {
    char bytes[48];
    const char* Make()
    {
        const int kind = g_in->Small(3);
        if (kind == 0)
            return nullptr;
        const int n = kind == 1 ? 3 : g_in->Small(41);
        for (int i = 0; i < n; ++i)
            bytes[i] = static_cast<char>(kind == 1 ? "BMP"[i] : g_in->Byte());
        bytes[n] = bytes[n + 1] = 0;
        return bytes;
    }
};
Text g_typeString, g_extensions;

DWORD GetType()
{
    return g_in->Small(4) == 0 ? g_in->U32() : 100 + static_cast<DWORD>(g_in->Small(3));
}
const char* GetTypeString()
{
    return g_typeString.Make();
}
const char* GetSupportExt()
{
    return g_extensions.Make();
}
DWORD Assist(void*)
{
    return g_in->U32();
}
CPluginObject* GetDecodeObject()
{
    switch (g_in->Small(4)) {
    case 0:
        return nullptr;
    case 1:
        throw 1;
    default:
        if (g_family == 0)
            return new CBmpLoader;
        if (g_family == 1)
            return new COggDecoder("wuvorbis.dll");
        return new CKpkDecoder;
    }
}

#define FAMILY_MODULE(name, prefix, objectExport)                                                                     \
    const winapi::BuiltinProc name[] = {                                                                              \
        {"Get" prefix "Type", winapi::ToFarProc(GetType)},                                                            \
        {"Get" prefix "TypeString", winapi::ToFarProc(GetTypeString)},                                                \
        {"Get" prefix "SupportExt", winapi::ToFarProc(GetSupportExt)},                                                \
        {prefix "AssistFunc", winapi::ToFarProc(Assist)},                                                             \
        {prefix "AssistFunc2", winapi::ToFarProc(Assist)},                                                            \
        {objectExport, winapi::ToFarProc(GetDecodeObject)},                                                           \
    };
FAMILY_MODULE(kGll, "Gll", "GetGllLoadObject")
FAMILY_MODULE(kSll, "Sll", "GetSllDecodeObject")
FAMILY_MODULE(kAdl, "Adl", "GetAdlDecodeObject")
#undef FAMILY_MODULE

// A 2 x 1 24-bit bitmap.
const BYTE kBmp[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,
                     0, 0, 0, 0, 8, 0, 0, 0, 0,   0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0};

struct Folder {
    std::string path;
    Folder()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "tessaro-fuzz-plugins-" + std::to_string(getpid()) + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
        SetBaseFolder(path.c_str());
        winapi::RegisterBuiltinModule("fuzz.gll", kGll, std::size(kGll));
        winapi::RegisterBuiltinModule("fuzz.sll", kSll, std::size(kSll));
        winapi::RegisterBuiltinModule("fuzz.adl", kAdl, std::size(kAdl));
        // Exports missing: a module with only the first three.
        winapi::RegisterBuiltinModule("short.gll", kGll, 3);
    }
    ~Folder() { RemoveDirectoryA(path.c_str()); }
};

std::string Name()
{
    std::string name = "x.";
    for (int n = g_in->Small(6); n > 0; --n)
        name += static_cast<char>(g_in->Byte() | 0x20);
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Folder folder;
    FuzzInput in{data, size};
    g_in = &in;
    CGllManager gll;
    CSllManager sll;
    CFileManager files;
    for (int round = 0; round < 4 && !in.AtEnd(); ++round) {
        g_family = in.Small(3);
        const bool shortModule = in.Small(8) == 0;
        if (g_family == 0) {
            gll.LoadPlugin(shortModule ? "short.gll" : "fuzz.gll");
            const std::string name = Name();
            gll.FindByExtension(name.c_str(), in.Small(2) != 0);
            gll.FindPluginByType(in.U32());
            PictureTarget target;
            gll.LoadImageFromMemory(kBmp, sizeof kBmp, PictureTarget::Allocate, nullptr, &target, in.Small(2),
                                    nullptr, nullptr, name.c_str(), nullptr, nullptr, nullptr, nullptr);
            gll.UnloadType(GetType());
        } else if (g_family == 1) {
            sll.LoadPlugin("fuzz.sll");
            const std::string name = Name();
            sll.FindByExtension(name.c_str());
            sll.FindByType(in.U32());
            sll.UnloadType(GetType());
        } else {
            files.LoadDecoderPlugin("fuzz.adl");
            const std::string name = Name();
            files.FindDecoderByExtension(name.c_str());
            files.FindDecoderByType(in.U32());
            files.UnloadDecoderType(GetType());
        }
    }
    return 0;
}
