// tessaro-tool tob: pack scenario source into TOB files, list and disassemble them, and write the
// script table TGS_INIT.DAT.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/tob_packer.h"
#include "command.h"

namespace {

bool ReadText(const char* path, std::string* text)
{
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(path, &bytes)) {
        std::fprintf(stderr, "tob: cannot read %s\n", path);
        return false;
    }
    text->assign(bytes.begin(), bytes.end());
    return true;
}

bool ReadLists(const char* vars, const char* lib, SobVariableLayout* layout, SobAssembly* library)
{
    std::string text;
    std::vector<std::string> errors;
    if (vars != nullptr && (!ReadText(vars, &text) || !ParseSobVariables(text, vars, layout, &errors)))
        goto failed;
    if (lib != nullptr && (!ReadText(lib, &text) || !AssembleSob(text, lib, library, &errors)))
        goto failed;
    return true;
failed:
    for (const std::string& e : errors)
        std::fprintf(stderr, "%s\n", e.c_str());
    return false;
}

// Splits options (--tob1, --vars FILE, --lib FILE) from positional arguments → false on a bad one.
bool Options(int argc, char** argv, std::vector<const char*>* positional, bool* tob1, const char** vars,
             const char** lib)
{
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tob1") == 0) {
            *tob1 = true;
        } else if ((std::strcmp(argv[i], "--vars") == 0 || std::strcmp(argv[i], "--lib") == 0) &&
                   i + 1 < argc) {
            (argv[i][2] == 'v' ? *vars : *lib) = argv[i + 1];
            ++i;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            std::fprintf(stderr, "tob: unknown option %s\n", argv[i]);
            return false;
        } else {
            positional->push_back(argv[i]);
        }
    }
    return true;
}

int Pack(const std::vector<const char*>& args, bool tob1, const char* vars, const char* lib)
{
    if (args.size() != 2)
        return 2;
    SobVariableLayout layout;
    SobAssembly library;
    std::string source;
    if (!ReadLists(vars, lib, &layout, &library) || !ReadText(args[0], &source))
        return 1;
    TobPackOptions options;
    options.tob1 = tob1;
    options.variables = vars != nullptr ? &layout : nullptr;
    options.library = lib != nullptr ? &library : nullptr;
    std::vector<uint8_t> bytes;
    std::vector<std::string> errors;
    if (!PackTob(source, args[0], options, &bytes, &errors)) {
        for (const std::string& e : errors)
            std::fprintf(stderr, "%s\n", e.c_str());
        return 1;
    }
    if (!WriteWholeFile(args[1], bytes.data(), bytes.size())) {
        std::fprintf(stderr, "tob: cannot write %s\n", args[1]);
        return 1;
    }
    return 0;
}

int Show(const std::vector<const char*>& args, bool disassemble, const char* vars, const char* lib)
{
    if (args.size() != 1)
        return 2;
    SobVariableLayout layout;
    SobAssembly library;
    std::vector<BYTE> bytes;
    if (!ReadLists(vars, lib, &layout, &library))
        return 1;
    if (!ReadWholeFile(args[0], &bytes)) {
        std::fprintf(stderr, "tob: cannot read %s\n", args[0]);
        return 1;
    }
    std::string out, error;
    const bool ok = disassemble
                        ? DisassembleTob(bytes.data(), bytes.size(), vars != nullptr ? &layout : nullptr,
                                         lib != nullptr ? &library : nullptr, &out, &error)
                        : ListTob(bytes.data(), bytes.size(), &out, &error);
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", args[0], error.c_str());
        return 1;
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

// TGS_INIT.DAT A.TOB[:SECONDBITS] ...: the read bits are the file's message count.
int Init(const std::vector<const char*>& args)
{
    if (args.empty())
        return 2;
    std::vector<TgsInitRow> rows;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string path = args[i];
        uint32_t second = 0;
        const size_t colon = path.rfind(':');
        if (colon != std::string::npos && colon > 0) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(path.c_str() + colon + 1, &end, 0);
            if (*end != '\0' || v > 0xFFFFFFFFul) {
                std::fprintf(stderr, "tob: bad row %s (FILE.TOB[:SECONDBITS])\n", args[i]);
                return 2;
            }
            second = static_cast<uint32_t>(v);
            path.resize(colon);
        }
        std::vector<BYTE> bytes;
        std::string error;
        uint32_t messages = 0;
        if (!ReadWholeFile(path, &bytes) || !TobMessageCount(bytes.data(), bytes.size(), &messages)) {
            std::fprintf(stderr, "tob: cannot read the TOB file %s\n", path.c_str());
            return 1;
        }
        // The base name without folder and extension, as the store compares it.
        std::string name = path.substr(path.find_last_of('/') + 1);
        name = name.substr(0, name.rfind('.'));
        std::string sjis;
        if (!SjisName(name, &sjis, &error)) {
            std::fprintf(stderr, "tob: %s\n", error.c_str());
            return 1;
        }
        rows.push_back({sjis, messages, second});
    }
    std::vector<uint8_t> out;
    std::string error;
    if (!WriteTgsInit(rows, &out, &error)) {
        std::fprintf(stderr, "tob: %s\n", error.c_str());
        return 1;
    }
    if (!WriteWholeFile(args[0], out.data(), out.size())) {
        std::fprintf(stderr, "tob: cannot write %s\n", args[0]);
        return 1;
    }
    return 0;
}

int RunTob(int argc, char** argv)
{
    const char* usage =
        "usage: tessaro-tool tob pack SOURCE.txt OUT.TOB [--tob1] [--vars VARS.txt] [--lib LIB.txt] |\n"
        "       tob list FILE | tob dis FILE [--vars VARS.txt] [--lib LIB.txt] |\n"
        "       tob init TGS_INIT.DAT A.TOB[:SECONDBITS]...\n";
    std::vector<const char*> args;
    bool tob1 = false;
    const char *vars = nullptr, *lib = nullptr;
    int code = 2;
    if (argc >= 2 && Options(argc, argv, &args, &tob1, &vars, &lib)) {
        if (std::strcmp(argv[1], "pack") == 0)
            code = Pack(args, tob1, vars, lib);
        else if (std::strcmp(argv[1], "list") == 0)
            code = Show(args, false, vars, lib);
        else if (std::strcmp(argv[1], "dis") == 0)
            code = Show(args, true, vars, lib);
        else if (std::strcmp(argv[1], "init") == 0)
            code = Init(args);
    }
    if (code == 2)
        std::fputs(usage, stderr);
    return code;
}

} // namespace

TESSARO_TOOL_COMMAND(
    "tob",
    "  tob pack SOURCE.txt OUT.TOB [--tob1] [--vars VARS.txt] [--lib LIB.txt]\n"
    "                                     pack scenario source (docs/tob-scenario.md)\n"
    "  tob list FILE                      header, labels and messages of a TOB file\n"
    "  tob dis FILE [--vars VARS.txt] [--lib LIB.txt]\n"
    "                                     the file as source (packs back to the same bytes)\n"
    "  tob init TGS_INIT.DAT A.TOB[:SECONDBITS]...\n"
    "                                     write the script table (read bits = messages)",
    RunTob);
