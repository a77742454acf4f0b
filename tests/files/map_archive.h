// A small archive kind for tests of the file manager: a text file whose lines are
// "name<TAB>contents"; a name written with a leading '*' is an entry that cannot be streamed
// (as a compressed entry). Decoded by MapDecoder, which claims the extension "MAP".
#pragma once

#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "files/archive.h"
#include "winapi/kernel.h"

class MapArchive : public CArchive {
public:
    struct Entry {
        std::string data;
        bool loadOnly;
    };
    std::map<std::string, Entry> entries;
    static inline int s_live = 0;

    MapArchive() { ++s_live; }
    ~MapArchive() override { --s_live; }

    DWORD GetEntryCount() override { return static_cast<DWORD>(entries.size()); }
    const CArchiveEntryName* GetEntryTable() override { return nullptr; }
    bool Exists(const char* name) override { return entries.count(Lower(name)) != 0; }
    const CArchiveEntry* FindEntry(const char*) override { return nullptr; }
    const CArchiveEntry* GetEntry(DWORD, char*) override { return nullptr; }
    int LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc,
                   void*) override
    {
        auto it = entries.find(Lower(name));
        if (it == entries.end())
            return 3;
        void* block = allocate(static_cast<DWORD>(it->second.data.size()), record, nullptr);
        if (block == nullptr)
            return 8;
        std::memcpy(block, it->second.data.data(), it->second.data.size());
        return 0;
    }
    int LoadByIndex(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                    void* context) override
    {
        if (index >= entries.size())
            return 3;
        return LoadByName(std::next(entries.begin(), index)->first.c_str(), allocate, record, progress, context);
    }
    CReadStream* OpenByName(const char* name, int* outCode) override
    {
        auto it = entries.find(Lower(name));
        if (it == entries.end()) {
            *outCode = 3;
            return nullptr;
        }
        if (it->second.loadOnly) {
            *outCode = -3;
            return nullptr;
        }
        CLoadRecord record;
        LoadByName(name, GlobalAllocCallback, &record, nullptr, nullptr);
        auto* reader = new CMemoryReader;
        reader->Attach(record.pointer, record.size);
        *outCode = 0;
        return reader;
    }
    CReadStream* OpenByIndex(DWORD, int* outCode) override
    {
        *outCode = -2;
        return nullptr;
    }

    static std::string Lower(const char* name)
    {
        std::string s = name;
        CharLowerA(s.data());
        return s;
    }
};

class MapDecoder : public CArchiveDecoder {
public:
    CArchive* Open(const char*, HANDLE handle, int* outCode) override
    {
        std::string text;
        char buffer[4096];
        DWORD n = 0;
        SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
        while (ReadFile(handle, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
        if (text.rfind("MAP\n", 0) != 0) {
            *outCode = 1;
            return nullptr;
        }
        auto* archive = new MapArchive;
        std::istringstream lines(text.substr(4));
        std::string line;
        while (std::getline(lines, line)) {
            size_t tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            std::string name = line.substr(0, tab);
            bool loadOnly = !name.empty() && name[0] == '*';
            archive->entries[MapArchive::Lower(name.c_str() + (loadOnly ? 1 : 0))] = {line.substr(tab + 1), loadOnly};
        }
        CloseHandle(handle); // the archive keeps everything in memory
        *outCode = 0;
        return archive;
    }
    DWORD Assist(void*) override { return 0; }
};
