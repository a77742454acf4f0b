// tessaro-tool sob: assemble SOB source into a flat image or a linkable module or library, list
// them, run a flat image on the machine, and write USER_VAR.SOB and SOB_INIT.DAT.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "command.h"
#include "script/script_memory.h"
#include "script/sob_vm.h"
#include "winapi/text.h"

// The system script under the host (cmd_voiceinf.cpp).
int RunSobHost(int argc, char** argv);

namespace {

// Decimal or 0x hex, within max.
bool ParseNumber(const char* text, uint64_t max, uint64_t* value)
{
    int radix = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text += 2;
    }
    if (*text == '\0')
        return false;
    uint64_t v = 0;
    for (; *text != '\0'; ++text) {
        int digit;
        if (*text >= '0' && *text <= '9')
            digit = *text - '0';
        else if (radix == 16 && *text >= 'a' && *text <= 'f')
            digit = *text - 'a' + 10;
        else if (radix == 16 && *text >= 'A' && *text <= 'F')
            digit = *text - 'A' + 10;
        else
            return false;
        v = v * radix + digit;
        if (v > max)
            return false;
    }
    *value = v;
    return true;
}

struct Options {
    std::vector<const char*> positional;
    uint64_t base = CScriptMemory::kBase;
    uint64_t entry = 0;
    bool hasEntry = false;
    uint64_t memory = 1u << 20;
    uint64_t stack = 4096;
    uint64_t budget = 10000000;
    std::vector<std::pair<uint32_t, uint32_t>> dumps;
    bool module = false;      // asm: write a SOB0 module
    bool library = false;     // asm: write the SOB2 library
    const char* vars = nullptr; // the variable list that numbers `uservar` names
    const char* lib = nullptr;  // the library's source that places `lib` labels
};

// Options allowed for the subcommand; false (message printed) on anything else.
bool ParseOptions(int argc, char** argv, bool runOptions, Options* options)
{
    for (int i = 2; i < argc; ++i) {
        const char* a = argv[i];
        if (a[0] != '-' || a[1] != '-') {
            options->positional.push_back(a);
            continue;
        }
        if (std::strcmp(a, "--module") == 0 || std::strcmp(a, "--library") == 0) {
            (a[2] == 'm' ? options->module : options->library) = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "sob: %s needs a value\n", a);
            return false;
        }
        const char* v = argv[++i];
        bool ok = false;
        if (std::strcmp(a, "--base") == 0) {
            ok = ParseNumber(v, UINT32_MAX, &options->base);
        } else if (std::strcmp(a, "--vars") == 0) {
            options->vars = v;
            ok = true;
        } else if (std::strcmp(a, "--lib") == 0) {
            options->lib = v;
            ok = true;
        } else if (runOptions && std::strcmp(a, "--entry") == 0) {
            ok = ParseNumber(v, UINT32_MAX, &options->entry);
            options->hasEntry = true;
        } else if (runOptions && std::strcmp(a, "--memory") == 0) {
            ok = ParseNumber(v, CScriptMemory::kMaxSize, &options->memory) && options->memory >= CScriptMemory::kMinSize;
        } else if (runOptions && std::strcmp(a, "--stack") == 0) {
            ok = ParseNumber(v, CScriptMemory::kMaxSize / 4, &options->stack) && options->stack != 0;
        } else if (runOptions && std::strcmp(a, "--budget") == 0) {
            ok = ParseNumber(v, UINT64_MAX / 16, &options->budget);
        } else if (runOptions && std::strcmp(a, "--dump") == 0) {
            std::string range(v);
            const size_t colon = range.find(':');
            uint64_t address = 0, length = 0;
            ok = colon != std::string::npos && ParseNumber(range.substr(0, colon).c_str(), UINT32_MAX, &address) &&
                 ParseNumber(range.substr(colon + 1).c_str(), UINT32_MAX, &length);
            if (ok)
                options->dumps.emplace_back(static_cast<uint32_t>(address), static_cast<uint32_t>(length));
        } else {
            std::fprintf(stderr, "sob: unknown option %s\n", a);
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "sob: bad value for %s: %s\n", a, v);
            return false;
        }
    }
    return true;
}

bool ReadInput(const char* path, std::vector<BYTE>* bytes)
{
    if (ReadWholeFile(path, bytes))
        return true;
    std::fprintf(stderr, "sob: cannot read %s\n", path);
    return false;
}

void PrintErrors(const std::vector<std::string>& errors)
{
    for (const std::string& e : errors)
        std::fprintf(stderr, "%s\n", e.c_str());
}

bool AssembleFile(const char* path, SobAssembly* assembly)
{
    std::vector<BYTE> source;
    if (!ReadInput(path, &source))
        return false;
    std::vector<std::string> errors;
    if (!AssembleSob(std::string_view(reinterpret_cast<const char*>(source.data()), source.size()), path, assembly,
                     &errors)) {
        PrintErrors(errors);
        return false;
    }
    return true;
}

bool ReadVariables(const char* path, SobVariableLayout* layout)
{
    std::vector<BYTE> source;
    if (!ReadInput(path, &source))
        return false;
    std::vector<std::string> errors;
    if (!ParseSobVariables(std::string_view(reinterpret_cast<const char*>(source.data()), source.size()), path, layout,
                           &errors)) {
        PrintErrors(errors);
        return false;
    }
    return true;
}

bool WriteOutput(const char* path, const std::vector<uint8_t>& bytes)
{
    if (WriteWholeFile(path, bytes.data(), bytes.size()))
        return true;
    std::fprintf(stderr, "sob: cannot write %s\n", path);
    return false;
}

// The optional --vars list and --lib source.
bool ReadLinkLists(const Options& options, SobVariableLayout* layout, SobAssembly* library)
{
    return (options.vars == nullptr || ReadVariables(options.vars, layout)) &&
           (options.lib == nullptr || AssembleFile(options.lib, library));
}

int Assemble(const Options& options)
{
    if (options.positional.size() != 2 || (options.module && options.library))
        return 2;
    SobAssembly assembly;
    if (!AssembleFile(options.positional[0], &assembly))
        return 1;
    std::vector<uint8_t> bytes;
    std::string error;
    if (options.module || options.library) {
        SobVariableLayout layout;
        SobAssembly library;
        if (!ReadLinkLists(options, &layout, &library))
            return 1;
        if (!WriteSobLinkable(assembly, options.library, options.vars ? &layout : nullptr,
                              options.lib ? &library : nullptr, &bytes, &error)) {
            std::fprintf(stderr, "%s: %s\n", options.positional[0], error.c_str());
            return 1;
        }
        return WriteOutput(options.positional[1], bytes) ? 0 : 1;
    }
    if (!ResolveSob(assembly, static_cast<uint32_t>(options.base), &bytes, &error)) {
        std::fprintf(stderr, "%s: %s\n", options.positional[0], error.c_str());
        return 1;
    }
    if (!WriteWholeFile(options.positional[1], bytes.data(), bytes.size())) {
        std::fprintf(stderr, "sob: cannot write %s\n", options.positional[1]);
        return 1;
    }
    return 0;
}

int Disassemble(const Options& options)
{
    if (options.positional.size() != 1)
        return 2;
    std::vector<BYTE> image;
    if (!ReadInput(options.positional[0], &image))
        return 1;
    if (image.size() >= 4 && (std::memcmp(image.data(), "SOB0", 4) == 0 || std::memcmp(image.data(), "SOB2", 4) == 0)) {
        SobVariableLayout layout;
        SobAssembly library;
        if (!ReadLinkLists(options, &layout, &library))
            return 1;
        std::string text, error;
        if (!DisassembleSobLinkable(image.data(), image.size(), options.vars ? &layout : nullptr,
                                    options.lib ? &library : nullptr, &text, &error)) {
            std::fprintf(stderr, "%s: %s\n", options.positional[0], error.c_str());
            return 1;
        }
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    std::fputs(DisassembleSob(image.data(), image.size(), static_cast<uint32_t>(options.base)).c_str(), stdout);
    return 0;
}

int WriteVariables(const Options& options)
{
    if (options.positional.size() != 2)
        return 2;
    SobVariableLayout layout;
    if (!ReadVariables(options.positional[0], &layout))
        return 1;
    return WriteOutput(options.positional[1], WriteSobUserVarFile(layout)) ? 0 : 1;
}

// NAME:READBITS:CHOICEBITS rows (names UTF-8, written in Shift-JIS).
int WriteModuleTable(const Options& options)
{
    if (options.positional.empty())
        return 2;
    std::vector<SobModuleTableRow> rows;
    for (size_t i = 1; i < options.positional.size(); ++i) {
        const std::string row = options.positional[i];
        const size_t second = row.rfind(':');
        const size_t first = second == std::string::npos || second == 0 ? std::string::npos : row.rfind(':', second - 1);
        uint64_t readBits = 0, choiceBits = 0;
        if (first == std::string::npos || !ParseNumber(row.substr(first + 1, second - first - 1).c_str(), 0xFFFF, &readBits) ||
            !ParseNumber(row.substr(second + 1).c_str(), 0xFFFF, &choiceBits)) {
            std::fprintf(stderr, "sob: bad module row %s (NAME:READBITS:CHOICEBITS)\n", row.c_str());
            return 2;
        }
        const std::string name = winapi::Utf8ToSjis(row.substr(0, first));
        if (winapi::SjisToUtf8(name) != row.substr(0, first)) {
            std::fprintf(stderr, "sob: module name has no Shift-JIS form: %s\n", row.c_str());
            return 1;
        }
        rows.push_back({name, static_cast<uint16_t>(readBits), static_cast<uint16_t>(choiceBits)});
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!WriteSobModuleTable(rows, &bytes, &error)) {
        std::fprintf(stderr, "sob: %s\n", error.c_str());
        return 1;
    }
    return WriteOutput(options.positional[0], bytes) ? 0 : 1;
}

int RunImage(const Options& options)
{
    if (options.positional.size() != 1)
        return 2;
    std::vector<BYTE> image;
    if (!ReadInput(options.positional[0], &image))
        return 1;
    CScriptMemory memory(static_cast<uint32_t>(options.memory));
    uint8_t* target = memory.Span(static_cast<uint32_t>(options.base), static_cast<uint32_t>(image.size()));
    if (image.size() > UINT32_MAX || target == nullptr) {
        std::fprintf(stderr, "sob: the image does not fit in script memory at that base\n");
        return 2;
    }
    for (const auto& [address, length] : options.dumps) {
        if (memory.Span(address, length) == nullptr) {
            std::fprintf(stderr, "sob: dump range 0x%" PRIx32 ":%" PRIu32 " is outside script memory\n", address, length);
            return 2;
        }
    }
    // The image's range is taken from the allocator first (a fresh memory gives its first block
    // at its start), so the stack comes from the space after it.
    const uint64_t imageEnd = options.base - CScriptMemory::kBase + image.size();
    CSobVM machine(memory);
    if (memory.Allocate(static_cast<uint32_t>(imageEnd)) != CScriptMemory::kBase ||
        machine.AllocateStack(static_cast<uint32_t>(options.stack)) != 0) {
        std::fprintf(stderr, "sob: no room for a stack of %" PRIu64 " cells after the image\n", options.stack);
        return 2;
    }
    if (!image.empty())
        std::memcpy(target, image.data(), image.size());
    machine.SetIp(static_cast<uint32_t>(options.hasEntry ? options.entry : options.base));
    int result;
    while (true) {
        const uint64_t used = machine.InstructionCount();
        if (options.budget != 0 && used >= options.budget) {
            result = kSobBudget;
            break;
        }
        machine.SetInstructionBudget(options.budget != 0 ? options.budget - used : 0);
        result = machine.Run();
        if (result != kSobYield)
            break;
    }
    std::printf("result=%d fault=%d ip=0x%" PRIx32 " acc=%" PRId32 " sp=0x%" PRIx32 "\n", result,
                static_cast<int>(machine.Fault()), machine.Ip(), machine.Accumulator(), machine.Sp());
    for (const auto& [address, length] : options.dumps) {
        const uint8_t* bytes = memory.Span(address, length);
        for (uint32_t i = 0; i < length; i += 32) {
            std::printf("0x%" PRIx32 ":", address + i);
            for (uint32_t k = i; k < length && k < i + 32; ++k)
                std::printf(" %02x", bytes[k]);
            std::printf("\n");
        }
    }
    return 0;
}

int RunSob(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "host") == 0)
        return RunSobHost(argc, argv);
    const char* usage = "usage: tessaro-tool sob asm IN.txt OUT [--base ADDR | --module | --library] [--vars VARS.txt]\n"
                        "               [--lib LIB.txt] | sob dis IN [--base ADDR] [--vars VARS.txt] [--lib LIB.txt] |\n"
                        "       sob run IMAGE [--base ADDR] [--entry ADDR] [--memory BYTES] [--stack CELLS]\n"
                        "               [--budget N] [--dump ADDR:LEN]... |\n"
                        "       sob vars VARS.txt USER_VAR.SOB | sob init SOB_INIT.DAT NAME:READBITS:CHOICEBITS...\n";
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    const bool run = std::strcmp(argv[1], "run") == 0;
    Options options;
    if (!ParseOptions(argc, argv, run, &options)) {
        std::fputs(usage, stderr);
        return 2;
    }
    int code = 2;
    if (std::strcmp(argv[1], "asm") == 0)
        code = Assemble(options);
    else if (std::strcmp(argv[1], "dis") == 0)
        code = Disassemble(options);
    else if (run)
        code = RunImage(options);
    else if (std::strcmp(argv[1], "vars") == 0)
        code = WriteVariables(options);
    else if (std::strcmp(argv[1], "init") == 0)
        code = WriteModuleTable(options);
    if (code == 2)
        std::fputs(usage, stderr);
    return code;
}

} // namespace

TESSARO_TOOL_COMMAND("sob",
                     "  sob asm IN.txt OUT [--base ADDR]   assemble SOB source into a flat image placed at ADDR\n"
                     "                                     (default 0x10000); exit 1 with the error lines\n"
                     "  sob asm IN.txt OUT --module|--library [--vars VARS.txt] [--lib LIB.txt]\n"
                     "                                     write a SOB0 module or the SOB2 library\n"
                     "  sob dis IN [--base ADDR] [--vars VARS.txt] [--lib LIB.txt]\n"
                     "                                     list a flat image, a SOB0 module or a SOB2 library\n"
                     "  sob vars VARS.txt USER_VAR.SOB     write the user variables (NAME KIND CLASS SIZE [= ...])\n"
                     "  sob init SOB_INIT.DAT NAME:READBITS:CHOICEBITS...\n"
                     "                                     write the module table (the last row is common)\n"
                     "  sob host FOLDER [--frames N]       run SCRIPT\\MAIN.SOB of a game folder under the host,\n"
                     "                                     headless, printing each frame's run-step result\n"
                     "  sob run IMAGE [--base ADDR] [--entry ADDR] [--memory BYTES] [--stack CELLS]\n"
                     "          [--budget N] [--dump ADDR:LEN]...\n"
                     "                                     run a flat image until it leaves, faults or\n"
                     "                                     uses up the budget; print the machine's state",
                     RunSob);
