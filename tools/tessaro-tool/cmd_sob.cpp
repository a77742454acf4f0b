// tessaro-tool sob: assemble SOB source into a flat image, list an image, run one on the machine.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/sob_assembler.h"
#include "command.h"
#include "script/script_memory.h"
#include "script/sob_vm.h"

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
        if (i + 1 >= argc) {
            std::fprintf(stderr, "sob: %s needs a value\n", a);
            return false;
        }
        const char* v = argv[++i];
        bool ok = false;
        if (std::strcmp(a, "--base") == 0) {
            ok = ParseNumber(v, UINT32_MAX, &options->base);
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
            std::string spec(v);
            const size_t colon = spec.find(':');
            uint64_t address = 0, length = 0;
            ok = colon != std::string::npos && ParseNumber(spec.substr(0, colon).c_str(), UINT32_MAX, &address) &&
                 ParseNumber(spec.substr(colon + 1).c_str(), UINT32_MAX, &length);
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

int Assemble(const Options& options)
{
    if (options.positional.size() != 2)
        return 2;
    std::vector<BYTE> source;
    if (!ReadInput(options.positional[0], &source))
        return 1;
    SobAssembly assembly;
    std::vector<std::string> errors;
    if (!AssembleSob(std::string_view(reinterpret_cast<const char*>(source.data()), source.size()),
                     options.positional[0], &assembly, &errors)) {
        for (const std::string& e : errors)
            std::fprintf(stderr, "%s\n", e.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    std::string error;
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
    std::fputs(DisassembleSob(image.data(), image.size(), static_cast<uint32_t>(options.base)).c_str(), stdout);
    return 0;
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
    const char* usage = "usage: tessaro-tool sob asm IN.txt OUT [--base ADDR] | sob dis IN [--base ADDR] |\n"
                        "       sob run IMAGE [--base ADDR] [--entry ADDR] [--memory BYTES] [--stack CELLS]\n"
                        "               [--budget N] [--dump ADDR:LEN]...\n";
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
    if (code == 2)
        std::fputs(usage, stderr);
    return code;
}

} // namespace

TESSARO_TOOL_COMMAND("sob",
                     "  sob asm IN.txt OUT [--base ADDR]   assemble SOB source into a flat image placed at ADDR\n"
                     "                                     (default 0x10000); exit 1 with the error lines\n"
                     "  sob dis IN [--base ADDR]           list a flat image\n"
                     "  sob run IMAGE [--base ADDR] [--entry ADDR] [--memory BYTES] [--stack CELLS]\n"
                     "          [--budget N] [--dump ADDR:LEN]...\n"
                     "                                     run a flat image until it leaves, faults or\n"
                     "                                     uses up the budget; print the machine's state",
                     RunSob);
