#include "natives/save_slots.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "natives/game_app_link.h"
#include "natives/save_file.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

struct Ring {
    int first, last;  // slots the ring walks
    uint8_t AppConfig::*next;
    int noneCode;     // MakeSaveFileName's answer when the ring holds no file
};

constexpr Ring kRings[] = {
    {0, 9, &AppConfig::ringBank0, 1},
    {5, 9, &AppConfig::ringBank1, 2},
};

const Ring* RingOf(int bank)
{
    return bank >= 0 && bank < static_cast<int>(std::size(kRings)) ? &kRings[bank] : nullptr;
}

bool FileExists(const std::string& name)
{
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string SlotFile(int bank, int slot)
{
    const std::string folder = g_pGameApp != nullptr ? g_pGameApp->GetSaveFolder() : std::string();
    char name[32];
    std::snprintf(name, sizeof name, "DATA%02d%02d.SAV", bank, slot);
    return folder + name;
}

// Where a slot operation reads: its file, or -1 when it names none.
int ExistingSlotFile(int bank, int slot, std::string* name)
{
    if (bank >= 0 && bank < kSaveBanks && slot >= 0 && slot < kSaveSlots) {
        *name = SlotFile(bank, slot);  // a missing file fails where it is opened
        return 0;
    }
    const int r = MakeSaveFileName(name, bank, slot);
    return r < 0 || (slot < 0 && r != 0) ? -1 : 0;
}

// Opens a save file for rewriting its header fields → the handle, or INVALID_HANDLE_VALUE; *valid
// false when it opened but is no save file.
HANDLE OpenForFields(const std::string& name, bool* valid)
{
    *valid = false;
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    uint8_t head[8];
    DWORD read = 0;
    LARGE_INTEGER size{};
    // The magic alone let these writes into any file that starts with it: the version and the
    // header's size are checked too.
    *valid = ReadFile(file, head, sizeof head, &read, nullptr) && read == sizeof head &&
             std::memcmp(head, savefile::kMagic, 4) == 0 && std::memcmp(head + 4, "\0\0\0\0", 4) == 0 &&
             GetFileSizeEx(file, &size) && size.QuadPart >= static_cast<LONGLONG>(savefile::kHeaderSize);
    return file;
}

bool WriteAt(HANDLE file, size_t offset, const void* data, size_t size)
{
    DWORD written = 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

bool WriteCommentField(HANDLE file, const std::string& comment)
{
    uint8_t field[savefile::kCommentSize] = {};
    const std::string cut = savefile::CutText(comment, savefile::kCommentMax);
    std::memcpy(field, cut.data(), cut.size());
    return WriteAt(file, savefile::kCommentOffset, field, sizeof field);
}

// Breaks after at most 82 bytes a line, at most 4 lines; a line feed of the text is a break too.
std::string WrapComment(const std::string& text)
{
    constexpr size_t kLineBytes = 82;
    constexpr int kLines = 4;
    std::string out;
    size_t line = 0;
    int lines = 1;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            if (++lines > kLines)
                break;
            out += '\n';
            line = 0;
            ++i;
            continue;
        }
        const size_t step = winapi::IsSjisLeadByte(c) && i + 1 < text.size() ? 2 : 1;
        if (line + step > kLineBytes) {
            if (++lines > kLines)
                break;
            out += "\r\n";
            line = 0;
        }
        out.append(text, i, step);
        line += step;
        i += step;
    }
    return out;
}

} // namespace

int NextRingSlot(int bank)
{
    const Ring* ring = RingOf(bank);
    if (ring == nullptr)
        return -1;
    const int next = g_pAppConfig != nullptr ? g_pAppConfig->*ring->next : ring->first;
    return next >= ring->first && next <= ring->last ? next : ring->first;
}

int LastRingSlot(int bank)
{
    const Ring* ring = RingOf(bank);
    if (ring == nullptr)
        return -1;
    const int last = g_pAppConfig == nullptr ? -1 : bank == 0 ? g_pAppConfig->lastSlotBank0 : g_pAppConfig->lastSlotBank1;
    return last >= ring->first && last <= ring->last ? last : NextRingSlot(bank);
}

void AdvanceRing(int bank)
{
    const Ring* ring = RingOf(bank);
    if (ring == nullptr || g_pAppConfig == nullptr)
        return;
    const int slot = NextRingSlot(bank);
    g_pAppConfig->*ring->next = static_cast<uint8_t>(slot >= ring->last ? ring->first : slot + 1);
}

int MakeSaveFileName(std::string* out, int bank, int slot)
{
    if (out == nullptr || bank < 0 || bank >= kSaveBanks || slot >= kSaveSlots)
        return -1;
    if (slot >= 0) {
        *out = SlotFile(bank, slot);
        return FileExists(*out) ? 0 : 3;
    }
    const Ring* ring = RingOf(bank);
    if (ring == nullptr)
        return -1;
    const int size = ring->last - ring->first + 1;
    const int next = NextRingSlot(bank) - ring->first;
    for (int back = 1; back <= size; ++back) {
        const int s = ring->first + (next - back + size) % size;
        *out = SlotFile(bank, s);
        if (FileExists(*out))
            return 0;
    }
    return ring->noneCode;
}

int ReadFileHead(const std::string& name, size_t size, std::vector<uint8_t>* out, FILETIME* lastWrite)
{
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    LARGE_INTEGER fileSize{};
    bool ok = GetFileSizeEx(file, &fileSize) && fileSize.QuadPart >= 0;
    if (ok) {
        const size_t take = static_cast<uint64_t>(fileSize.QuadPart) < size ? static_cast<size_t>(fileSize.QuadPart) : size;
        try {
            out->assign(take, 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        DWORD read = 0;
        ok = ok && (take == 0 || (ReadFile(file, out->data(), static_cast<DWORD>(take), &read, nullptr) && read == take));
    }
    if (ok && lastWrite != nullptr)
        ok = GetFileTime(file, nullptr, nullptr, lastWrite);
    CloseHandle(file);
    return ok ? 0 : 2;
}

void FormatSaveDates(const FILETIME& time, std::string* longDate, std::string* shortDate)
{
    static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    FILETIME local{};
    SYSTEMTIME t{};
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &t))
        t = SYSTEMTIME{};
    char text[64];
    if (longDate != nullptr) {
        std::snprintf(text, sizeof text, "%04d/%02d/%02d(%s) %02d:%02d", t.wYear, t.wMonth, t.wDay,
                      winapi::Sjis(kWeekdays[t.wDayOfWeek % 7]), t.wHour, t.wMinute);
        *longDate = text;
    }
    if (shortDate != nullptr) {
        std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d", t.wYear % 100, t.wMonth, t.wDay, t.wHour,
                      t.wMinute);
        *shortDate = text;
    }
}

namespace {

// What a slot's header gives the listing: magic and version, the fields behind the thumbnail and,
// when asked, the thumbnail. Only those bytes are read: a bank of ten files is listed from a few
// hundred bytes each, not their 32 KB headers. The fields are read up to the header's end, so a
// short read there says the file is cut short without asking for its size.
struct SlotHead {
    uint8_t start[8] = {};
    uint8_t fields[savefile::kHeaderSize - savefile::kTitleOffset] = {};
    std::vector<uint8_t> thumbnail;
    FILETIME written{};
};

// → 0; 2 not read; 3 the file ends first.
int ReadWhole(HANDLE file, void* into, size_t size)
{
    DWORD read = 0;
    if (!ReadFile(file, into, static_cast<DWORD>(size), &read, nullptr))
        return 2;
    return read == size ? 0 : 3;
}

// → 0; 2 not opened or not read; 3 shorter than a header, or not a save file.
int ReadSlotHead(const std::string& name, bool thumbnail, SlotHead* out)
{
    static_assert(savefile::kThumbOffset == sizeof SlotHead::start &&
                  savefile::kThumbOffset + savefile::kThumbBytes == savefile::kTitleOffset);
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    int code = GetFileTime(file, nullptr, nullptr, &out->written) ? 0 : 2;
    if (code == 0)
        code = ReadWhole(file, out->start, sizeof out->start); // a fresh handle reads from the start
    if (code == 0 && (std::memcmp(out->start, savefile::kMagic, 4) != 0 || std::memcmp(out->start + 4, "\0\0\0\0", 4) != 0))
        code = 3;
    if (code == 0 && thumbnail) {
        // The thumbnail lies between the magic and the fields: read in order, without seeking.
        try {
            out->thumbnail.resize(savefile::kThumbBytes);
        } catch (const std::bad_alloc&) {
            code = 2;
        }
        if (code == 0)
            code = ReadWhole(file, out->thumbnail.data(), savefile::kThumbBytes);
    } else if (code == 0 &&
               SetFilePointer(file, static_cast<LONG>(savefile::kTitleOffset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        code = 2;
    }
    if (code == 0)
        code = ReadWhole(file, out->fields, sizeof out->fields);
    CloseHandle(file);
    return code;
}

} // namespace

int ReadSaveSlotInfo(int bank, int slot, CImage* thumbnail, SaveSlotInfo* info, bool wrap)
{
    std::string name;
    if (ExistingSlotFile(bank, slot, &name) != 0)
        return -1;
    // Only the header is read here: its stored-length block is not checked against the state.
    SlotHead head;
    if (const int code = ReadSlotHead(name, thumbnail != nullptr, &head); code != 0)
        return code;
    if (thumbnail != nullptr) {
        if (thumbnail->Create(savefile::kThumbWidth, savefile::kThumbHeight, 32, 0) != 0)
            return 1;
        savefile::ThumbnailToImage(head.thumbnail.data(), thumbnail);
    }
    if (info != nullptr) {
        const auto field = [&](size_t offset, size_t size) {
            const char* at = reinterpret_cast<const char*>(head.fields + (offset - savefile::kTitleOffset));
            return std::string(at, strnlen(at, size));
        };
        info->title = field(savefile::kTitleOffset, savefile::kTitleSize);
        info->comment = field(savefile::kCommentOffset, savefile::kCommentSize);
        if (wrap)
            info->comment = WrapComment(info->comment);
        info->protect = head.fields[savefile::kProtectOffset - savefile::kTitleOffset];
        FormatSaveDates(head.written, &info->date, &info->shortDate);
    }
    return 0;
}

int ReadSaveInfoRecord(int bank, int slot, uint8_t* record)
{
    std::string name;
    if (MakeSaveFileName(&name, bank, slot) != 0)
        return -1;
    SlotHead head;
    if (const int code = ReadSlotHead(name, false, &head); code != 0)
        return code;
    std::memcpy(record, head.fields, savefile::kTitleSize);
    return 0;
}

int GetSaveTitleText(std::string* out, int bank, int slot, int separatorKind)
{
    if (out == nullptr)
        return 1;
    SaveSlotInfo info;
    const int r = ReadSaveSlotInfo(bank, slot, nullptr, &info, false);
    if (r != 0)
        return r;
    const char* separator = separatorKind == 0 ? " " : separatorKind == 1 ? "\n" : "\r\n";
    *out = winapi::Sjis("『") + info.title + winapi::Sjis("』") + separator + winapi::Sjis("【記録日時 ") + info.date +
           winapi::Sjis("】");
    return 0;
}

int WriteSaveComment(int bank, int slot, const char* comment)
{
    std::string name;
    if (ExistingSlotFile(bank, slot, &name) != 0)
        return -1;
    bool valid = false;
    HANDLE file = OpenForFields(name, &valid);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const bool ok = valid && (comment == nullptr || WriteCommentField(file, comment));
    CloseHandle(file);
    return valid ? (ok ? 0 : 1) : 2;
}

int WriteSlotChanges(int bank, int slot, const std::string& comment, uint8_t protect, uint8_t* changeBits)
{
    std::string name;
    if (*changeBits == 0)
        return 0;
    if (ExistingSlotFile(bank, slot, &name) != 0)
        return 1;
    bool valid = false;
    HANDLE file = OpenForFields(name, &valid);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    bool ok = valid;
    if (ok && (*changeBits & 1) != 0)
        ok = WriteCommentField(file, comment);
    if (ok && (*changeBits & 2) != 0)
        ok = WriteAt(file, savefile::kProtectOffset, &protect, 1);
    CloseHandle(file);
    *changeBits = 0;
    return ok ? 0 : 1;
}

int CopySaveData(int fromBank, int fromSlot, int toBank, int toSlot)
{
    std::string from, to;
    if (MakeSaveFileName(&from, fromBank, fromSlot) != 0)
        return 1;
    if (MakeSaveFileName(&to, toBank, toSlot) < 0)
        return 3;
    return CopyFileA(from.c_str(), to.c_str(), FALSE) ? 0 : 3;
}

int DeleteSaveData(int bank, int slot)
{
    std::string name;
    if (MakeSaveFileName(&name, bank, slot) != 0)
        return 1;
    return DeleteFileA(name.c_str()) ? 0 : 2;
}
