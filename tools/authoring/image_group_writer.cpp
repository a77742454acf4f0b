#include "authoring/image_group_writer.h"

#include "authoring/elg_encoder.h"
#include "authoring/picture_io.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace image_groups {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

bool ParseNumber(const std::string& word, int64_t* value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    *value = std::strtoll(word.c_str(), &end, 0);
    return *end == 0;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& out)
{
    std::string digits;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            digits += c;
    if (digits.size() % 2)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        int64_t v = 0;
        if (!ParseNumber("0x" + digits.substr(i, 2), &v))
            return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

// The lines of a layout, split into words; comments (#) and blank lines dropped. rest[i] is the
// text after the first word (for texts with spaces).
struct Line {
    int number;
    std::vector<std::string> words;
    std::string rest;
};

std::vector<Line> SplitLines(const std::string& layout)
{
    std::vector<Line> lines;
    std::istringstream in(layout);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (const size_t hash = text.find('#'); hash != std::string::npos && text.rfind("blob text", 0) != 0
            && text.rfind("record", 0) != 0)
            text.erase(hash);
        std::istringstream words(text);
        Line line{number, {}, {}};
        for (std::string w; words >> w;)
            line.words.push_back(w);
        if (line.words.empty())
            continue;
        const size_t first = text.find(line.words[0]) + line.words[0].size();
        line.rest = first < text.size() ? text.substr(first + 1) : std::string();
        lines.push_back(line);
    }
    return lines;
}

// The common directives: header words, groups and entries. Entries are 16 bytes each.
struct Common {
    uint16_t header[6] = {};
    bool groupsGiven = false;
    uint32_t groups = 0;
    uint32_t closes = 0;
    bool openFrames = false; // frames after the last closing entry
    std::vector<uint8_t> entries;
    uint32_t entryCount = 0;
};

// Numbers from words[from..], count of them required; false when missing or not numbers.
bool Numbers(const Line& line, size_t from, size_t count, int64_t* values)
{
    if (line.words.size() < from + count)
        return false;
    for (size_t i = 0; i < count; ++i)
        if (!ParseNumber(line.words[from + i], &values[i]))
            return false;
    return true;
}

void AddEntry(Common& c, int64_t a, int64_t b, int64_t x, int64_t y, int64_t last)
{
    Put32(c.entries, static_cast<uint32_t>(a));
    Put32(c.entries, static_cast<uint32_t>(b));
    Put16(c.entries, static_cast<uint32_t>(x));
    Put16(c.entries, static_cast<uint32_t>(y));
    Put32(c.entries, static_cast<uint32_t>(last));
    ++c.entryCount;
}

// Handles header, groups, entry and close lines. 1 handled, 0 not one of them, -1 bad line.
int CommonLine(const Line& line, Common& c, bool kad)
{
    const std::string& w = line.words[0];
    int64_t v[5] = {};
    if (w == "header") {
        for (size_t i = 1; i < line.words.size() && i <= 6; ++i)
            if (!ParseNumber(line.words[i], &v[0]))
                return -1;
            else
                c.header[i - 1] = static_cast<uint16_t>(v[0]);
        return 1;
    }
    if (w == "groups") {
        if (!Numbers(line, 1, 1, v))
            return -1;
        c.groupsGiven = true;
        c.groups = static_cast<uint32_t>(v[0]);
        return 1;
    }
    if (w == "close") {
        // KAG: picture index (default -1); KAD: first and second fields (default -1, 0).
        v[0] = -1;
        v[1] = 0;
        for (size_t i = 1; i < line.words.size() && i <= 2; ++i)
            if (!ParseNumber(line.words[i], &v[i - 1]))
                return -1;
        AddEntry(c, v[0], kad ? v[1] : 0, 0, 0, 0);
        ++c.closes;
        c.openFrames = false;
        return 1;
    }
    if (w == "entry") {
        // KAG: picture time x y; KAD: first second x y offset.
        if (!Numbers(line, 1, kad ? 5 : 4, v))
            return -1;
        AddEntry(c, v[0], v[1], v[2], v[3], kad ? v[4] : 0);
        const bool closing = kad ? v[0] < 0 && v[1] < 1 : v[0] < 0;
        c.closes += closing ? 1 : 0;
        c.openFrames = !closing;
        return 1;
    }
    return 0;
}

std::vector<uint8_t> Head(const char* magic, Common& c)
{
    std::vector<uint8_t> out(magic, magic + 4);
    if (c.groupsGiven)
        c.header[3] = static_cast<uint16_t>(c.groups);
    else if (c.header[3] == 0)
        c.header[3] = static_cast<uint16_t>(c.closes + (c.openFrames ? 1 : 0));
    for (uint16_t word : c.header)
        Put16(out, word);
    return out;
}

bool Fail(std::string* error, const Line& line, const std::string& what)
{
    if (error)
        *error = "line " + std::to_string(line.number) + ": " + what;
    return false;
}

struct KagPicture {
    std::vector<uint8_t> data;
    int16_t a = -1;
    int16_t b = 0;
};

bool ReadPicture(const Line& line, const std::string& folder, KagPicture& picture, std::string* error)
{
    if (line.words.size() < 2)
        return Fail(error, line, "picture needs a file name");
    const std::string path = folder.empty() ? line.words[1] : folder + "/" + line.words[1];
    bool raw = false;
    for (size_t i = 2; i < line.words.size(); ++i) {
        const std::string& w = line.words[i];
        int64_t v[2];
        if (w == "raw") {
            raw = true;
        } else if (w == "alpha") {
            picture.a = -2;
        } else if (w == "key" && Numbers(line, i + 1, 2, v)) {
            picture.a = static_cast<int16_t>(v[0]);
            picture.b = static_cast<int16_t>(v[1]);
            i += 2;
        } else {
            return Fail(error, line, "unknown picture option '" + w + "'");
        }
    }
    std::string message;
    if (raw) {
        if (!pictures::ReadFile(path, picture.data, &message))
            return Fail(error, line, message);
        return true;
    }
    pictures::Decoded decoded;
    elg::Picture elgPicture;
    if (!pictures::DecodeFile(path, decoded, &message)
        || !elg::PictureFromPixels(decoded.width, decoded.height, decoded.pixels.data(), decoded.hasAlpha ? 32 : 24,
                                   elgPicture, &message)
        || !elg::Encode(elgPicture, elg::Options{}, picture.data, &message))
        return Fail(error, line, message);
    return true;
}

} // namespace

bool BuildKag(const std::string& layout, const std::string& folder, std::vector<uint8_t>& out, std::string* error)
{
    Common c;
    uint32_t skip = 0;
    std::vector<KagPicture> pictures;
    for (const Line& line : SplitLines(layout)) {
        const int handled = CommonLine(line, c, false);
        if (handled < 0)
            return Fail(error, line, "bad numbers");
        if (handled > 0)
            continue;
        int64_t v[1];
        if (line.words[0] == "skip" && Numbers(line, 1, 1, v)) {
            skip = static_cast<uint32_t>(v[0]);
        } else if (line.words[0] == "picture") {
            pictures.emplace_back();
            if (!ReadPicture(line, folder, pictures.back(), error))
                return false;
        } else {
            return Fail(error, line, "unknown line '" + line.words[0] + "'");
        }
    }
    out = Head("KAG", c);
    Put32(out, skip);
    out.insert(out.end(), skip, 0);
    Put32(out, c.entryCount);
    out.insert(out.end(), c.entries.begin(), c.entries.end());
    Put32(out, static_cast<uint32_t>(pictures.size()));
    const size_t records = out.size();
    for (const KagPicture& p : pictures) {
        Put32(out, static_cast<uint32_t>(p.data.size()));
        Put32(out, 0); // the offset, set below
        Put16(out, static_cast<uint16_t>(p.a));
        Put16(out, static_cast<uint16_t>(p.b));
    }
    for (size_t i = 0; i < pictures.size(); ++i) {
        Set32(out, records + 12 * i + 4, static_cast<uint32_t>(out.size()));
        out.insert(out.end(), pictures[i].data.begin(), pictures[i].data.end());
    }
    return true;
}

bool BuildKad(const std::string& layout, std::vector<uint8_t>& out, std::string* error)
{
    Common c;
    std::vector<uint8_t> blob;
    std::vector<uint8_t> records;
    uint32_t recordCount = 0;
    for (const Line& line : SplitLines(layout)) {
        const int handled = CommonLine(line, c, true);
        if (handled < 0)
            return Fail(error, line, "bad numbers");
        if (handled > 0)
            continue;
        const std::string& w = line.words[0];
        int64_t v[2];
        if (w == "blob" && line.words.size() >= 2 && line.words[1] == "text") {
            const std::string text = line.rest.size() > 5 ? line.rest.substr(5) : std::string();
            blob.insert(blob.end(), text.begin(), text.end());
        } else if (w == "blob" && line.words.size() >= 2 && line.words[1] == "hex") {
            if (!ParseHex(line.rest.substr(4), blob))
                return Fail(error, line, "bad hex");
        } else if ((w == "record" || w == "record-hex") && Numbers(line, 1, 2, v)) {
            // record C D TEXT... / record-hex C D HEX...
            std::vector<uint8_t> bytes;
            std::string tail;
            size_t at = 0;
            for (int skip = 0; skip < 2; ++skip)
                at = line.rest.find(line.words[static_cast<size_t>(skip) + 1], at) + line.words[static_cast<size_t>(skip) + 1].size();
            tail = at < line.rest.size() ? line.rest.substr(at + 1) : std::string();
            if (w == "record")
                bytes.assign(tail.begin(), tail.end());
            else if (!ParseHex(tail, bytes))
                return Fail(error, line, "bad hex");
            Put16(records, static_cast<uint32_t>(bytes.size()));
            records.insert(records.end(), bytes.begin(), bytes.end());
            Put16(records, static_cast<uint32_t>(v[0]));
            Put16(records, static_cast<uint32_t>(v[1]));
            ++recordCount;
        } else {
            return Fail(error, line, "unknown line '" + w + "'");
        }
    }
    out = Head("KAD", c);
    Put32(out, static_cast<uint32_t>(blob.size()));
    out.insert(out.end(), blob.begin(), blob.end());
    Put32(out, c.entryCount);
    out.insert(out.end(), c.entries.begin(), c.entries.end());
    Put32(out, recordCount);
    out.insert(out.end(), records.begin(), records.end());
    return true;
}

bool PackFile(bool kad, const std::string& layoutPath, const std::string& outPath, std::string* error)
{
    std::vector<uint8_t> text;
    if (!pictures::ReadFile(layoutPath, text, error))
        return false;
    const std::string layout(text.begin(), text.end());
    const size_t slash = layoutPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : layoutPath.substr(0, slash);
    std::vector<uint8_t> out;
    if (!(kad ? BuildKad(layout, out, error) : BuildKag(layout, folder, out, error)))
        return false;
    return pictures::WriteFile(outPath, out, error);
}

} // namespace image_groups
