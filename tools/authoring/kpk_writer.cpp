#include "authoring/kpk_writer.h"

#include "authoring/name_trie_writer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "files/kpk_archive.h"
#include "files/kpk_cipher.h"
#include "files/lzss.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

void Put32(std::vector<BYTE>& out, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

void Set32(std::vector<BYTE>& out, size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<BYTE>(value >> (8 * i));
}

std::string NormaliseName(const std::string& name)
{
    std::string copy = name;
    for (size_t i = 0; i < copy.size(); ++i) {
        if (winapi::IsSjisLeadByte(static_cast<unsigned char>(copy[i])) && i + 1 < copy.size())
            ++i;
        else if (copy[i] == '/')
            copy[i] = '\\';
    }
    CharLowerA(copy.data());
    return copy;
}

bool IsStreamedSound(const std::string& name)
{
    auto endsWith = [&](const char* ext) {
        size_t n = std::strlen(ext);
        return name.size() >= n && name.compare(name.size() - n, n, ext) == 0;
    };
    return endsWith(".ogg") || endsWith(".wav");
}

} // namespace

bool BuildKpkArchive(const std::string& archivePath, const std::vector<KpkWriterEntry>& entries,
                     const KpkWriterOptions& options, std::vector<BYTE>* out, std::string* error)
{
    std::string ignored;
    if (error == nullptr)
        error = &ignored;
    const DWORD count = static_cast<DWORD>(entries.size());

    // The common prefix of all entries' data.
    size_t prefixLength = 0;
    if (options.prefix && !entries.empty()) {
        prefixLength = std::min<size_t>(255, entries[0].data.size());
        for (const KpkWriterEntry& e : entries) {
            size_t n = 0;
            while (n < prefixLength && n < e.data.size() && e.data[n] == entries[0].data[n])
                ++n;
            prefixLength = n;
        }
    }

    BYTE flags = 0;
    if (options.units)
        flags |= KPK_FLAG_UNITS;
    if (options.names)
        flags |= KPK_FLAG_NAMES;
    if (options.words)
        flags |= KPK_FLAG_WORDS;
    if (options.compress)
        flags |= KPK_FLAG_UNPACKED;
    CKpkCipher cipher(archivePath.c_str(), options.keyWords[0], options.keyWords[1]);

    // Entry bodies as stored.
    struct Stored {
        std::vector<BYTE> bytes;
        DWORD storedSize;
        DWORD unpackedSize;
    };
    std::vector<Stored> stored(count);
    for (DWORD i = 0; i < count; ++i) {
        const std::vector<BYTE>& data = entries[i].data;
        if (data.size() > kKpkMaxUnpackedSize) {
            *error = "entry too large: " + entries[i].name;
            return false;
        }
        std::vector<BYTE> body(data.begin() + static_cast<long>(prefixLength), data.end());
        if (options.words && body.size() > 3)
            cipher.ApplyWordTransform(body.data(), static_cast<DWORD>(body.size()));
        if (options.scramble)
            for (BYTE& b : body)
                b = CKpkCipher::ScrambleByte(b);
        Stored& s = stored[i];
        s.unpackedSize = static_cast<DWORD>(data.size());
        s.storedSize = s.unpackedSize;
        BYTE* packed = nullptr;
        DWORD packedSize = 0;
        if (options.compress && !IsStreamedSound(NormaliseName(entries[i].name)) &&
            LzssCompress(body.data(), &packed, static_cast<DWORD>(body.size()), &packedSize, true) == 0) {
            s.bytes.assign(packed, packed + packedSize);
            s.storedSize = packedSize;
            LzssFree(packed);
        } else {
            s.bytes = std::move(body);
        }
    }

    // The name trie.
    std::vector<BYTE> trie;
    bool wide = false;
    if (options.names) {
        std::vector<authoring::NameValue> names;
        std::set<std::string> seen;
        for (DWORD i = 0; i < count; ++i) {
            std::string name = NormaliseName(entries[i].name);
            if (name.empty() || name.size() > 255 || name.find('\0') != std::string::npos) {
                *error = "bad entry name: " + entries[i].name;
                return false;
            }
            if (!seen.insert(name).second) {
                *error = "two entries named " + name;
                return false;
            }
            names.push_back({name, i});
        }
        // Narrow links when everything fits in 16 bits, else wide ones.
        if (names.empty())
            trie.push_back(0); // a root without children
        else if (!authoring::BuildNameTrie(names, false, trie)) {
            wide = true;
            trie.clear();
            if (!authoring::BuildNameTrie(names, true, trie)) {
                *error = "the names do not fit a name trie (more than 255 different characters after one name part)";
                return false;
            }
        }
    }

    // The index, with offsets filled in once the layout is known.
    std::vector<BYTE> index;
    Put32(index, count);
    index.push_back(static_cast<BYTE>(prefixLength));
    if (count > 0)
        index.insert(index.end(), entries[0].data.begin(), entries[0].data.begin() + static_cast<long>(prefixLength));
    if (options.names) {
        index.push_back(wide ? 1 : 0);
        Put32(index, static_cast<DWORD>(trie.size()));
        index.insert(index.end(), trie.begin(), trie.end());
    }
    const size_t entryTable = index.size();
    const size_t entrySize = options.compress ? 13 : 9;
    index.resize(entryTable + count * entrySize);

    ULONGLONG indexEnd = 8 + index.size();
    DWORD headerLength;
    if (options.units) {
        ULONGLONG units = (indexEnd + kKpkUnit - 1) / kKpkUnit;
        if (units > 0xFFFFFF) {
            *error = "index too large";
            return false;
        }
        headerLength = static_cast<DWORD>(units);
        index.resize(static_cast<size_t>(units * kKpkUnit - 8), 0);
    } else {
        if (index.size() > 0xFFFFFF) {
            *error = "index too large";
            return false;
        }
        headerLength = static_cast<DWORD>(index.size());
    }

    out->clear();
    Put32(*out, kKpkMagic);
    Put32(*out, cipher.HeaderWord((static_cast<DWORD>(flags) << 24) | headerLength));
    size_t indexAt = out->size();
    out->insert(out->end(), index.begin(), index.end());
    for (DWORD i = 0; i < count; ++i) {
        if (options.units)
            out->resize((out->size() + kKpkUnit - 1) / kKpkUnit * kKpkUnit, 0);
        ULONGLONG offset = out->size();
        if (offset + stored[i].bytes.size() > 0xFFFFFFFFull) {
            *error = "archive larger than 4 GiB";
            return false;
        }
        size_t e = indexAt + entryTable + i * entrySize;
        (*out)[e] = options.scramble ? 1 : 0;
        Set32(*out, e + 1, static_cast<DWORD>(options.units ? offset / kKpkUnit : offset));
        Set32(*out, e + 5, stored[i].storedSize);
        if (options.compress)
            Set32(*out, e + 9, stored[i].unpackedSize);
        out->insert(out->end(), stored[i].bytes.begin(), stored[i].bytes.end());
    }
    cipher.ApplyIndexKeystream(out->data() + indexAt, index.size());
    return true;
}

bool WriteKpkArchive(const std::string& archivePath, const std::vector<KpkWriterEntry>& entries,
                     const KpkWriterOptions& options, std::string* error)
{
    std::vector<BYTE> bytes;
    if (!BuildKpkArchive(archivePath, entries, options, &bytes, error))
        return false;
    HANDLE h = CreateFileA(archivePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error != nullptr)
            *error = "cannot create " + archivePath;
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(h);
    if (!ok && error != nullptr)
        *error = "cannot write " + archivePath;
    return ok;
}

bool CollectKpkEntries(const std::string& folder, std::vector<KpkWriterEntry>* entries, std::string* error)
{
    std::error_code ec;
    std::filesystem::path root(folder);
    if (!std::filesystem::is_directory(root, ec)) {
        if (error != nullptr)
            *error = "not a folder: " + folder;
        return false;
    }
    entries->clear();
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        KpkWriterEntry entry;
        const std::string name = std::filesystem::relative(it->path(), root, ec).generic_string();
        // A name the engine could never look up is an error, not a silent '?'.
        if (!winapi::Utf8ToSjisChecked(name, &entry.name)) {
            if (error != nullptr)
                *error = "no Shift-JIS form: " + name;
            return false;
        }
        std::ifstream in(it->path(), std::ios::binary);
        entry.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        entries->push_back(std::move(entry));
    }
    if (ec) {
        if (error != nullptr)
            *error = "cannot list " + folder + ": " + ec.message();
        return false;
    }
    // Sorted as the archive names them (lower case), so the order does not depend on letter case.
    auto key = [](const KpkWriterEntry& e) { return NormaliseName(e.name); };
    std::sort(entries->begin(), entries->end(),
              [&](const KpkWriterEntry& a, const KpkWriterEntry& b) { return key(a) < key(b); });
    return true;
}
