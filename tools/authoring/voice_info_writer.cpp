#include "authoring/voice_info_writer.h"

#include <sstream>

#include "winapi/text.h"

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// u8 length (with NUL) and the Shift-JIS bytes with their NUL → false when too long or unconvertible.
bool PutString(std::vector<uint8_t>& out, const std::string& utf8)
{
    std::string sjis;
    if (!winapi::Utf8ToSjisChecked(utf8, &sjis) || sjis.size() >= 255)
        return false;
    out.push_back(static_cast<uint8_t>(sjis.size() + 1));
    out.insert(out.end(), sjis.begin(), sjis.end());
    out.push_back(0);
    return true;
}

} // namespace

bool WriteVoiceInfo(std::string_view list, std::vector<uint8_t>* out, std::string* error)
{
    std::istringstream lines{std::string(list)};
    std::string line, extension;
    std::vector<uint8_t> entries;
    uint32_t entryCount = 0, mapCount = 0;
    int number = 0;
    bool haveExtension = false;
    while (std::getline(lines, line)) {
        ++number;
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string w; words >> w;)
            fields.push_back(w);
        if (fields.empty())
            continue;
        auto fail = [&](const char* message) {
            *error = std::to_string(number) + ": " + message;
            return false;
        };
        if (!haveExtension) {
            if (fields.size() != 1 || fields[0].size() > 7)
                return fail("the first line is the extension, at most 7 bytes");
            extension = fields[0];
            haveExtension = true;
            continue;
        }
        if (fields.size() < 2)
            return fail("a voice needs a name and an alias (or - or hidden)");
        if (!PutString(entries, fields[0]))
            return fail("bad name");
        if (fields[1] == "-") {
            entries.push_back(0);
        } else if (fields[1] == "hidden") {
            entries.push_back(1);
            entries.push_back(0); // one byte, never read
        } else {
            std::vector<uint8_t> alias;
            if (!PutString(alias, fields[1]))
                return fail("bad alias");
            entries.insert(entries.end(), alias.begin(), alias.end());
        }
        PutU32(entries, static_cast<uint32_t>(fields.size() - 2));
        for (size_t i = 2; i < fields.size(); ++i) {
            if (!PutString(entries, fields[i]))
                return fail("bad prefix");
        }
        mapCount += static_cast<uint32_t>(fields.size() - 2);
        ++entryCount;
    }
    if (!haveExtension) {
        *error = "no extension line";
        return false;
    }
    out->clear();
    if (!PutString(*out, extension)) {
        *error = "bad extension";
        return false;
    }
    PutU32(*out, mapCount);
    PutU32(*out, entryCount);
    out->insert(out->end(), entries.begin(), entries.end());
    return true;
}
