// tessaro-tool kgm: writes KGM parts files from a UTF-8 layout text and lists them back as that
// text through the engine's own parser, so that packing what `list` printed gives the same bytes.
//   layout: '#' comments; an optional first line "background<TAB>NAME"; then one part a line,
//   tab-separated: reader a "NAME sized x y alpha visible [w h c]" (w h c exactly when sized != 0),
//   reader b "NAME kind x y byte5 byte6 w h c".
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "command.h"
#include "controls/parts_file.h"
#include "winapi/text.h"

namespace {

bool ParseReader(const char* text, EPartsReader* out)
{
    if (std::strcmp(text, "a") == 0)
        *out = EPartsReader::A;
    else if (std::strcmp(text, "b") == 0)
        *out = EPartsReader::B;
    else
        return false;
    return true;
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

// Decimal or 0x hexadecimal within [low, high].
bool Number(const std::string& text, long low, long high, long* out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool Name(const std::string& utf8, std::string* sjis, std::string* error)
{
    if (!winapi::Utf8ToSjisChecked(utf8, sjis)) {
        *error = "the name \"" + utf8 + "\" has no Shift-JIS form";
        return false;
    }
    if (sjis->size() > 255) {
        *error = "the name \"" + utf8 + "\" is longer than 255 bytes";
        return false;
    }
    return true;
}

bool ParseLine(const std::vector<std::string>& f, EPartsReader reader, PartsEntry* e, std::string* error)
{
    if (f.size() < 6) {
        *error = "too few fields";
        return false;
    }
    if (!Name(f[0], &e->name, error))
        return false;
    long v[8] = {};
    const long lows[8] = {0, -32768, -32768, 0, 0, -32768, -32768, 0};
    const long highs[8] = {255, 32767, 32767, 255, 255, 32767, 32767, 255};
    const char* names[8] = {reader == EPartsReader::A ? "sized" : "kind", "x", "y",
                            reader == EPartsReader::A ? "alpha" : "byte5", reader == EPartsReader::A ? "visible" : "byte6",
                            "w", "h", "c"};
    for (size_t i = 0; i < 5; ++i)
        if (!Number(f[i + 1], lows[i], highs[i], &v[i])) {
            *error = std::string("bad ") + names[i] + " \"" + f[i + 1] + "\"";
            return false;
        }
    const bool sized = reader == EPartsReader::B || v[0] != 0;
    if (f.size() != (sized ? 9u : 6u)) {
        *error = sized ? "w h c are needed" : "w h c are given only when sized";
        return false;
    }
    for (size_t i = 5; sized && i < 8; ++i)
        if (!Number(f[i + 1], lows[i], highs[i], &v[i])) {
            *error = std::string("bad ") + names[i] + " \"" + f[i + 1] + "\"";
            return false;
        }
    e->head = static_cast<uint8_t>(v[0]);
    e->x = static_cast<int16_t>(v[1]);
    e->y = static_cast<int16_t>(v[2]);
    e->byte5 = static_cast<uint8_t>(v[3]);
    e->byte6 = static_cast<uint8_t>(v[4]);
    e->sized = sized;
    e->width = static_cast<int16_t>(v[5]);
    e->height = static_cast<int16_t>(v[6]);
    e->c = static_cast<uint8_t>(v[7]);
    return true;
}

int Pack(const char* outPath, const char* layoutPath, EPartsReader reader)
{
    std::ifstream in(layoutPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kgm: cannot read %s\n", layoutPath);
        return 1;
    }
    PartsLayout layout;
    std::string line;
    int number = 0;
    bool first = true;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> fields = SplitTabs(line);
        std::string error;
        if (first && fields.size() == 2 && fields[0] == "background") {
            first = false;
            if (!Name(fields[1], &layout.background, &error)) {
                std::fprintf(stderr, "kgm: line %d: %s\n", number, error.c_str());
                return 1;
            }
            continue;
        }
        first = false;
        PartsEntry entry;
        if (!ParseLine(fields, reader, &entry, &error)) {
            std::fprintf(stderr, "kgm: line %d: %s\n", number, error.c_str());
            return 1;
        }
        if (layout.parts.size() == 65535) {
            std::fprintf(stderr, "kgm: line %d: more than 65535 parts\n", number);
            return 1;
        }
        layout.parts.push_back(std::move(entry));
    }
    const std::vector<uint8_t> bytes = WritePartsFile(layout, reader);
    if (!WriteWholeFile(outPath, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "kgm: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}

int List(const char* path, EPartsReader reader)
{
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(path, &bytes)) {
        std::fprintf(stderr, "kgm: cannot read %s\n", path);
        return 1;
    }
    PartsLayout layout;
    size_t offset = 0;
    const int code = ParsePartsFile(bytes.data(), bytes.size(), reader, &layout, &offset);
    if (code != 0) {
        std::fprintf(stderr, "kgm: %s: code %d at offset %zu\n", path, code, offset);
        return 1;
    }
    if (!layout.background.empty())
        std::printf("background\t%s\n", winapi::SjisToUtf8(layout.background).c_str());
    for (const PartsEntry& e : layout.parts) {
        std::printf("%s\t%u\t%d\t%d\t%u\t%u", winapi::SjisToUtf8(e.name).c_str(), e.head, e.x, e.y, e.byte5, e.byte6);
        if (e.sized)
            std::printf("\t%d\t%d\t%u", e.width, e.height, e.c);
        std::printf("\n");
    }
    return 0;
}

int RunKgm(int argc, char** argv)
{
    EPartsReader reader = EPartsReader::A;
    const bool pack = argc == 6 && std::strcmp(argv[1], "pack") == 0;
    const bool list = argc == 5 && std::strcmp(argv[1], "list") == 0;
    if ((!pack && !list) || std::strcmp(argv[argc - 2], "--reader") != 0 || !ParseReader(argv[argc - 1], &reader)) {
        std::fprintf(stderr, "usage: tessaro-tool kgm pack OUT.GMP LAYOUT.txt --reader a|b\n"
                             "       tessaro-tool kgm list FILE.GMP --reader a|b\n");
        return 2;
    }
    return pack ? Pack(argv[2], argv[3], reader) : List(argv[2], reader);
}

} // namespace

TESSARO_TOOL_COMMAND("kgm",
                     "kgm pack OUT.GMP LAYOUT.txt --reader a|b   write a KGM parts file from a layout text\n"
                     "kgm list FILE.GMP --reader a|b             print a parts file's layout text",
                     RunKgm);
