#include "script/read_log.h"

#include <cstring>
#include <memory>

#include "files/file_stream.h"
#include "files/lzss.h"
#include "files/path_utils.h"
#include "files/safe_file_writer.h"
#include "script/byte_reader.h"
#include "winapi/kernel.h"

std::vector<uint8_t> BuildReadLog(const char* magic, const SobModuleEntry* entries, uint32_t count)
{
    std::vector<uint8_t> body;
    for (uint32_t i = 0; i < count; ++i) {
        const SobModuleEntry& e = entries[i];
        body.push_back(static_cast<uint8_t>(e.name.size() + 1));
        body.insert(body.end(), e.name.begin(), e.name.end());
        body.push_back(0);
        for (const CBitArray* bits : {&e.readBits, &e.choiceBits}) {
            PutU32(body, bits->GetBitCount());
            PutU32(body, bits->GetByteCount());
            if (bits->GetBytes() != nullptr)
                body.insert(body.end(), bits->GetBytes(), bits->GetBytes() + bits->GetByteCount());
        }
    }
    BYTE* packed = nullptr;
    DWORD packedSize = 0;
    const bool compressed =
        !body.empty() &&
        LzssCompress(body.data(), &packed, static_cast<DWORD>(body.size()), &packedSize, true) == 0;
    std::vector<uint8_t> file(magic, magic + 4);
    PutU32(file, compressed ? packedSize : static_cast<uint32_t>(body.size()));
    PutU32(file, compressed ? static_cast<uint32_t>(body.size()) : 0);
    PutU32(file, count);
    if (compressed) {
        file.insert(file.end(), packed, packed + packedSize);
        LzssFree(packed);
    } else {
        file.insert(file.end(), body.begin(), body.end());
    }
    return file;
}

bool WriteFileReplacing(const std::string& target, const std::vector<uint8_t>& bytes)
{
    return WriteFileReplacing(target.c_str(), bytes.data(), bytes.size()) == 0;
}

int MergeReadLog(const char* magic, const uint8_t* data, size_t size, SobModuleEntry* entries, uint32_t count)
{
    if (data == nullptr || size < 16 || std::memcmp(data, magic, 4) != 0)
        return 2;
    ByteReader header(data + 4, 12);
    uint32_t stored, unpacked, storedCount;
    header.U32(&stored);
    header.U32(&unpacked);
    header.U32(&storedCount);
    if (stored > size - 16)
        return 2;
    std::unique_ptr<BYTE, void (*)(BYTE*)> expanded(nullptr, LzssFree);
    const uint8_t* body = data + 16;
    size_t bodySize = stored;
    if (unpacked != 0) {
        BYTE* out = nullptr;
        if (unpacked > kMaxReadLogBody || LzssDecompress(body, stored, &out, unpacked, true) != 0)
            return 2;
        expanded.reset(out);
        body = out;
        bodySize = unpacked;
    }
    // The whole log is parsed before any bit changes.
    struct Stored {
        std::string name;
        uint32_t bits[2];
        const uint8_t* bytes[2];
        uint32_t byteCount[2];
    };
    std::vector<Stored> storedEntries;
    ByteReader in(body, bodySize);
    for (uint32_t i = 0; i < storedCount; ++i) {
        Stored s;
        uint32_t length;
        const uint8_t* name;
        if (!in.U8(&length) || length == 0 || !in.Take(length, &name))
            return 2;
        s.name.assign(reinterpret_cast<const char*>(name),
                      strnlen(reinterpret_cast<const char*>(name), length - 1));
        for (int k = 0; k < 2; ++k) {
            if (!in.U32(&s.bits[k]) || !in.U32(&s.byteCount[k]) ||
                s.byteCount[k] != (static_cast<uint64_t>(s.bits[k]) + 7) / 8 ||
                !in.Take(s.byteCount[k], &s.bytes[k]))
                return 2;
        }
        storedEntries.push_back(std::move(s));
    }
    for (uint32_t i = 0; i < count; ++i)
        entries[i].merged = false;
    for (const Stored& s : storedEntries) {
        for (uint32_t i = 0; i < count; ++i) {
            SobModuleEntry& e = entries[i];
            if (e.merged || e.name != s.name)
                continue;
            if (s.bits[0] == e.readBits.GetBitCount() && s.byteCount[0] != 0)
                e.readBits.CopyFrom(s.bytes[0], s.byteCount[0]);
            if (s.bits[1] == e.choiceBits.GetBitCount() && s.byteCount[1] != 0)
                e.choiceBits.CopyFrom(s.bytes[1], s.byteCount[1]);
            e.merged = true;
            break;
        }
    }
    return 0;
}
