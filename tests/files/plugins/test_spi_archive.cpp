// An SPI archive plug-in as a third party would write it (no engine headers): ustar archives.
// GetArchiveInfo lists the regular files (path and file name split at the last '/'), GetFile
// hands an entry over in memory (LocalAlloc, fixed or with TEST_SPI_MOVEABLE moveable) or writes
// it into a folder under its file name.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
void* LocalAlloc(unsigned flags, size_t bytes);
void* LocalLock(void* block);
int LocalUnlock(void* block);
}

namespace {

#ifdef TEST_SPI_MOVEABLE
const unsigned kFlags = 0x0042; // LHND
#else
const unsigned kFlags = 0x0040; // LPTR
#endif
const size_t kRecord = 428;

using Progress = int (*)(int, int, intptr_t);

struct Entry {
    std::string path; // up to and with the last '/'
    std::string name;
    uint32_t position;
    uint32_t size;
    uint32_t time;
};

uint32_t Octal(const char* field, size_t size)
{
    uint32_t value = 0;
    for (size_t i = 0; i < size && field[i] >= '0' && field[i] <= '7'; ++i)
        value = value * 8 + static_cast<uint32_t>(field[i] - '0');
    return value;
}

bool List(const char* archive, std::vector<Entry>* entries)
{
    FILE* f = std::fopen(archive, "rb");
    if (f == nullptr)
        return false;
    char header[512];
    long at = 0;
    while (std::fread(header, 1, 512, f) == 512 && header[0] != 0) {
        if (std::memcmp(header + 257, "ustar", 5) != 0)
            break;
        const uint32_t size = Octal(header + 124, 12);
        std::string full(header + 345, strnlen(header + 345, 155));
        if (!full.empty())
            full += '/';
        full.append(header, strnlen(header, 100));
        if (header[156] == '0' || header[156] == 0) {
            const size_t slash = full.rfind('/');
            const size_t cut = slash == std::string::npos ? 0 : slash + 1;
            entries->push_back(Entry{full.substr(0, cut), full.substr(cut), static_cast<uint32_t>(at + 512), size,
                                     Octal(header + 136, 12)});
        }
        at += 512 + (size + 511) / 512 * 512;
        if (std::fseek(f, at, SEEK_SET) != 0)
            break;
    }
    std::fclose(f);
    return true;
}

void Put32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>(v >> (8 * i));
}

} // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int GetPluginInfo(int infoNo, char* buffer, int length)
{
    const char* text = infoNo == 0 ? "00AM" : infoNo == 2 ? "*.tar" : infoNo == 3 ? "ustar archives" : nullptr;
    if (text == nullptr || length <= 0)
        return 0;
    std::snprintf(buffer, static_cast<size_t>(length), "%s", text);
    return static_cast<int>(std::strlen(buffer));
}

EXPORT int IsSupported(const char*, const void* head)
{
    return std::memcmp(static_cast<const char*>(head) + 257, "ustar", 5) == 0 ? 1 : 0;
}

EXPORT int GetArchiveInfo(const char* path, intptr_t, unsigned flag, void** info)
{
    std::vector<Entry> entries;
    if ((flag & 7) != 0 || !List(path, &entries))
        return 6;
    void* handle = LocalAlloc(kFlags, (entries.size() + 1) * kRecord);
    auto* records = static_cast<char*>(LocalLock(handle));
    for (size_t i = 0; i < entries.size(); ++i) {
        char* r = records + i * kRecord;
        std::memcpy(r, "USTAR", 5);
        Put32(r + 8, entries[i].position);
        Put32(r + 12, entries[i].size);
        Put32(r + 16, entries[i].size);
        Put32(r + 20, entries[i].time);
        std::snprintf(r + 24, 200, "%s", entries[i].path.c_str());
        std::snprintf(r + 224, 200, "%s", entries[i].name.c_str());
        Put32(r + 424, 0x1234u + static_cast<uint32_t>(i));
    }
    LocalUnlock(handle);
    *info = handle;
    return 0;
}

EXPORT int GetFile(const char* path, intptr_t position, char* destination, unsigned flag, Progress progress,
                   intptr_t user)
{
    std::vector<Entry> entries;
    if (!List(path, &entries))
        return 6;
    const Entry* entry = nullptr;
    for (const Entry& e : entries)
        if (e.position == static_cast<uint32_t>(position))
            entry = &e;
    if (entry == nullptr)
        return 8;
    if (progress != nullptr && progress(0, static_cast<int>(entry->size), user) != 0)
        return 1;
    std::vector<char> bytes(entry->size);
    FILE* f = std::fopen(path, "rb");
    const bool read = f != nullptr && std::fseek(f, static_cast<long>(position), SEEK_SET) == 0 &&
                      std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr)
        std::fclose(f);
    if (!read)
        return 6;
    if ((flag & 0x700) == 0x100) {
        void* handle = LocalAlloc(kFlags & ~0x40u, bytes.size());
        std::memcpy(LocalLock(handle), bytes.data(), bytes.size());
        LocalUnlock(handle);
        *reinterpret_cast<void**>(destination) = handle;
    } else {
        const std::string out = std::string(destination) + "/" + entry->name;
        FILE* o = std::fopen(out.c_str(), "wb");
        if (o == nullptr)
            return 7;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), o) == bytes.size();
        if (std::fclose(o) != 0 || !written)
            return 7;
    }
    if (progress != nullptr)
        progress(static_cast<int>(entry->size), static_cast<int>(entry->size), user);
    return 0;
}
