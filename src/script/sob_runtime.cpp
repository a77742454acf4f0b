#include "script/sob_runtime.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include <emmintrin.h>

#include "files/file_stream.h"
#include "files/lzss.h"
#include "files/path_utils.h"
#include "script/byte_reader.h"
#include "script/script_name.h"
#include "script/sob_linkable.h"
#include "winapi/kernel.h"

namespace {

// The module name of a file: its base name without folder and extension, upper-cased.
std::string ModuleName(const char* fileName)
{
    std::string name = ScriptBaseName(fileName);
    CharUpperA(name.data());
    return name;
}

// The whole file through the file manager; false when it cannot be opened.
bool ReadWholeFile(CFileStream& file, const char* name)
{
    return name != nullptr && file.OpenInMemory(name) == 0 && file.GetBuffer() != nullptr;
}

bool ClassSelected(uint8_t cls, int classSelector)
{
    return classSelector >= 1 && classSelector <= 3 ? cls == classSelector - 1 : true;
}

bool StorageSelected(uint8_t kind, int storageSelector)
{
    return storageSelector == 0 || kind == storageSelector - 1;
}

bool SaveSelected(const SobVarRecord& record, int selector)
{
    if (record.kind > 1)
        return false;
    return selector == 0 ? record.cls == 1 : selector == 1 ? record.cls == 2 : true;
}

} // namespace

CSobRuntime::CSobRuntime(uint32_t memorySize) : m_memory(memorySize), m_machine(m_memory)
{
    m_natives.reserve(kMaxNatives); // never moves: machines keep a pointer to it
    BindNatives(m_machine);
    SetStackSize(kDefaultStackCells);
    m_retTgsExp = m_memory.Allocate(4);
    RegisterVariable("retTgsExp", m_retTgsExp);
}

CSobRuntime::~CSobRuntime()
{
    if (!m_readLogFile.empty())
        SaveReadLog(nullptr);
    TruncateModules(0);
    for (VarCopy& copy : m_copies)
        FreeCopy(copy);
}

// ---- natives, host variables, machine ----

int CSobRuntime::AddNative(SobNative native)
{
    if (native == nullptr || m_natives.size() >= kMaxNatives)
        return 1;
    m_natives.push_back(native);
    BindNatives(m_machine);
    return 0;
}

void CSobRuntime::BindNatives(CSobVM& machine)
{
    machine.SetNatives(m_natives.data(), static_cast<uint32_t>(m_natives.size()), this);
}

int CSobRuntime::RegisterVariable(const char* /*name*/, uint32_t address)
{
    m_hostVariables.push_back(address);
    return 0;
}

int CSobRuntime::SetStackSize(uint32_t cells)
{
    m_stackCells = cells;
    return m_machine.AllocateStack(cells);
}

int32_t CSobRuntime::RetTgsExp() const
{
    uint32_t v = 0;
    m_memory.Load32(m_retTgsExp, &v);
    return static_cast<int32_t>(v);
}

void CSobRuntime::SetRetTgsExp(int32_t value)
{
    m_memory.Store32(m_retTgsExp, static_cast<uint32_t>(value));
}

int CSobRuntime::PushZero()
{
    return m_machine.PushZero();
}

int CSobRuntime::CallAddress(uint32_t address)
{
    return m_machine.Call(address);
}

// ---- modules and linking ----

bool CSobRuntime::ResolveLink(int table, uint32_t value, uint32_t imageBase, uint32_t imageSize, uint32_t* cell) const
{
    switch (table) {
    case 1:
        if (value >= m_copies[kLive].records.size())
            return false;
        *cell = m_copies[kLive].records[value].address;
        return true;
    case 2:
        if (value >= m_natives.size())
            return false;
        *cell = CScriptMemory::kNativeBase + value;
        return true;
    case 3:
        if (value >= m_hostVariables.size())
            return false;
        *cell = m_hostVariables[value];
        return true;
    case 4:
        if (m_libraryBase == 0 || value > m_librarySize)
            return false;
        *cell = m_libraryBase + value;
        return true;
    case 5:
        if (value > imageSize)
            return false;
        *cell = imageBase + value;
        return true;
    default:
        return false;
    }
}

namespace {

// Whether every entry of a link table is good: its cell inside an image of size bytes and its
// value below valueEnd. Four words (two entries) at a time against the two limits, compared
// signed after flipping the top bit, which orders them as unsigned.
bool TableFits(const SobLinkTable& table, uint32_t size, uint64_t valueEnd)
{
    if (table.count == 0)
        return true;
    if (size < 4 || valueEnd == 0)
        return false;
    const uint32_t lastOffset = size - 4;
    const uint32_t lastValue = static_cast<uint32_t>(std::min<uint64_t>(valueEnd - 1, UINT32_MAX));
    const __m128i flip = _mm_set1_epi32(INT32_MIN);
    const __m128i limits = _mm_xor_si128(
        _mm_setr_epi32(static_cast<int>(lastOffset), static_cast<int>(lastValue), static_cast<int>(lastOffset),
                       static_cast<int>(lastValue)),
        flip);
    __m128i over = _mm_setzero_si128();
    const uint8_t* entry = table.entries;
    uint32_t i = 0;
    auto over16 = [&](const uint8_t* p) {
        const __m128i words = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), flip);
        return _mm_cmpgt_epi32(words, limits);
    };
    for (; i + 8 <= table.count; i += 8, entry += 64) {
        const __m128i a = _mm_or_si128(over16(entry), over16(entry + 16));
        const __m128i b = _mm_or_si128(over16(entry + 32), over16(entry + 48));
        over = _mm_or_si128(over, _mm_or_si128(a, b));
    }
    for (; i + 2 <= table.count; i += 2, entry += 16)
        over = _mm_or_si128(over, over16(entry));
    bool good = _mm_movemask_epi8(over) == 0;
    if (i < table.count) {
        uint32_t offset, value;
        std::memcpy(&offset, entry, 4);
        std::memcpy(&value, entry + 4, 4);
        good = good && offset <= lastOffset && value <= lastValue;
    }
    return good;
}

// Writes one checked link table's cells: lookup[value] or add + value. The count is read once:
// byte stores into the image could alias the table, and the compiler would read it per entry.
template <bool kLookup>
void PatchTable(const SobLinkTable& table, uint8_t* image, const uint32_t* lookup, uint32_t add)
{
    const uint8_t* entry = table.entries;
    const uint32_t count = table.count;
    for (uint32_t i = 0; i < count; ++i, entry += 8) {
        uint32_t offset, value;
        std::memcpy(&offset, entry, 4);
        std::memcpy(&value, entry + 4, 4);
        const uint32_t cell = kLookup ? lookup[value] : add + value;
        std::memcpy(image + offset, &cell, 4);
    }
}

} // namespace

int CSobRuntime::Link(const uint8_t* data, size_t size, int tableIndex, bool library)
{
    SobLinkable image;
    if (!ParseSobLinkable(data, size, &image, false))
        return kSobLoadLinkFailed;
    const uint32_t imageSize = image.imageSize;
    if (imageSize > CScriptMemory::kMaxSize)
        return kSobLoadNoScriptMemory;
    // Every table is checked before anything is allocated or written.
    const uint64_t libraryEnd = m_libraryBase != 0 ? uint64_t(m_librarySize) + 1 : 0;
    if (!TableFits(image.tables[0], imageSize, m_varAddresses.size()) ||
        !TableFits(image.tables[1], imageSize, m_natives.size()) ||
        !TableFits(image.tables[2], imageSize, m_hostVariables.size()) ||
        !TableFits(image.tables[3], imageSize, libraryEnd) ||
        !TableFits(image.tables[4], imageSize, uint64_t(imageSize) + 1))
        return kSobLoadLinkFailed;
    // Every byte is overwritten below, so the block need not be cleared.
    const uint32_t base = m_memory.Allocate(imageSize + 4, false);
    uint8_t* target = base != 0 ? m_memory.Span(base, imageSize + 4) : nullptr;
    if (target == nullptr) {
        if (base != 0)
            m_memory.Free(base);
        return kSobLoadNoScriptMemory;
    }
    if (imageSize != 0)
        std::memcpy(target, image.image, imageSize);
    PatchTable<true>(image.tables[0], target, m_varAddresses.data(), 0);
    PatchTable<false>(image.tables[1], target, nullptr, CScriptMemory::kNativeBase);
    PatchTable<true>(image.tables[2], target, m_hostVariables.data(), 0);
    PatchTable<false>(image.tables[3], target, nullptr, m_libraryBase);
    PatchTable<false>(image.tables[4], target, nullptr, base);
    SobModuleRecord record;
    record.image = base;
    record.size = image.imageSize;
    record.codeLength = image.codeLength;
    record.tableIndex = library ? -1 : tableIndex;
    record.library = library;
    if (library) {
        // The library is the first record, so that resetting the call stack can keep it.
        m_modules.insert(m_modules.begin(), record);
        m_libraryBase = base;
        m_librarySize = image.imageSize;
    } else {
        m_modules.push_back(record);
    }
    UpdateCurrentEntry();
    return kSobLoadOk;
}

int CSobRuntime::LoadModule(const char* fileName, CSobVM* machine)
{
    CFileStream file;
    if (!ReadWholeFile(file, fileName))
        return kSobLoadOpenFailed;
    return LoadModuleBytes(fileName, static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize(), machine);
}

int CSobRuntime::LoadModuleBytes(const char* fileName, const uint8_t* data, size_t size, CSobVM* machine)
{
    if (data == nullptr || size < 4 || std::memcmp(data, "SOB0", 4) != 0)
        return kSobLoadBadModule;
    int index = -1;
    if (m_hasModuleTable) {
        const std::string name = ModuleName(fileName != nullptr ? fileName : "");
        for (uint32_t i = 0; i < m_moduleCount && index < 0; ++i) {
            if (m_moduleTable[i].name == name)
                index = static_cast<int>(i);
        }
        if (index < 0)
            return kSobLoadBadModule;
    }
    CSobVM& vm = machine != nullptr ? *machine : m_machine;
    if (&vm.Memory() != &m_memory)
        return kSobLoadBadMachine;
    const int linked = Link(data + 4, size - 4, index, false);
    if (linked != kSobLoadOk)
        return linked;
    if (vm.PushZero() != 0) {
        TruncateModules(m_modules.size() - 1);
        return kSobLoadBadMachine;
    }
    vm.SetIp(m_modules.back().image);
    if (&vm != &m_machine)
        BindNatives(vm);
    return kSobLoadOk;
}

int CSobRuntime::UnloadModule()
{
    if (m_modules.empty() || m_modules.back().library)
        return 0;
    OnUnloadModule();
    TruncateModules(m_modules.size() - 1);
    return 0;
}

uint32_t CSobRuntime::GetEntry()
{
    return !m_modules.empty() && !m_modules.back().library ? m_modules.back().image : 0;
}

void CSobRuntime::TruncateModules(size_t keep)
{
    for (size_t i = keep; i < m_modules.size(); ++i) {
        m_memory.Free(m_modules[i].image);
        if (m_modules[i].library) {
            m_libraryBase = 0;
            m_librarySize = 0;
        }
    }
    if (keep < m_modules.size())
        m_modules.resize(keep);
    UpdateCurrentEntry();
}

void CSobRuntime::UpdateCurrentEntry()
{
    // The library has no entry of its own: with only the library left there is no current entry.
    m_current = m_hasModuleTable && !m_modules.empty() && !m_modules.back().library ? m_modules.back().tableIndex : -1;
}

// ---- system files ----

int CSobRuntime::LoadSystemFiles(const char* moduleTableFile, const char* userVarFile, const char* libraryFile,
                                 bool withInitial, bool withSnapshot)
{
    if (m_loaded)
        return kSobSysAlreadyLoaded;
    m_loaded = true;
    CFileStream file;
    if (ReadWholeFile(file, moduleTableFile)) {
        const int r = LoadModuleTable(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize());
        if (r != kSobSysOk)
            return r;
    }
    if (ReadWholeFile(file, userVarFile)) {
        const int r = LoadUserVariables(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize(), withInitial,
                                        withSnapshot);
        if (r != kSobSysOk)
            return r;
    }
    if (ReadWholeFile(file, libraryFile))
        return LoadFunctionLibrary(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize());
    return kSobSysOk;
}

int CSobRuntime::LoadModuleTable(const uint8_t* data, size_t size)
{
    ByteReader in(data, data != nullptr ? size : 0);
    uint32_t count;
    if (!in.U16(&count))
        return kSobSysBadModuleTable;
    std::unique_ptr<SobModuleEntry[]> table(new (std::nothrow) SobModuleEntry[count]);
    if (table == nullptr)
        return kSobSysBadModuleTable;
    for (uint32_t i = 0; i < count; ++i) {
        SobModuleEntry& entry = table[i];
        uint32_t length, readBits, choiceBits;
        const uint8_t* name;
        if (!in.U8(&length) || length == 0 || !in.Take(length, &name) || !in.U16(&readBits) || !in.U16(&choiceBits))
            return kSobSysBadModuleTable;
        // The last of the length's bytes stands for the NUL.
        entry.name.assign(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), length - 1));
        entry.nameLength = static_cast<uint8_t>(entry.name.size() + 1);
        if (entry.readBits.Create(readBits) == 2 || entry.choiceBits.Create(choiceBits) == 2)
            return kSobSysBadModuleTable;
    }
    m_moduleTable = std::move(table);
    m_moduleCount = count;
    m_hasModuleTable = true;
    UpdateCurrentEntry();
    return kSobSysOk;
}

int CSobRuntime::LoadFunctionLibrary(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < 4 || std::memcmp(data, "SOB2", 4) != 0)
        return kSobSysBadLibraryMagic;
    if (m_libraryBase != 0)
        return kSobSysLibraryLink;
    const int r = Link(data + 4, size - 4, -1, true);
    return r == kSobLoadOk ? kSobSysOk : r == kSobLoadNoScriptMemory ? kSobSysNoScriptMemory : kSobSysLibraryLink;
}

int CSobRuntime::LoadUserVariables(const uint8_t* data, size_t size, bool withInitial, bool withSnapshot)
{
    if (data == nullptr || size < 4 || std::memcmp(data, "SOB1", 4) != 0)
        return kSobSysBadUserVarMagic;
    ByteReader in(data + 4, size - 4);
    uint32_t blockSize, variableCount, fixupCount, end;
    const uint8_t *block, *variables, *fixups;
    if (!in.U32(&blockSize) || !in.Take(blockSize, &block) || !in.U32(&variableCount) ||
        variableCount > in.Left() / 10 || !in.Take(variableCount * 10ull, &variables) || !in.U32(&fixupCount) ||
        fixupCount > in.Left() / 8 || !in.Take(fixupCount * 8ull, &fixups) || !in.U32(&end) || end != 0)
        return kSobSysBadUserVars;

    std::vector<SobVarRecord> records(variableCount);
    std::vector<uint32_t> offsets(variableCount);
    uint32_t pointerCount = 0;
    uint64_t saveSize = 1;
    for (uint32_t i = 0; i < variableCount; ++i) {
        const uint8_t* p = variables + 10 * i;
        SobVarRecord& r = records[i];
        r.kind = p[0];
        r.cls = p[1];
        offsets[i] = SobLinkTable::Word(p + 2);
        r.size = SobLinkTable::Word(p + 6);
        if (r.kind > 2 || r.cls > 2 || static_cast<uint64_t>(offsets[i]) + r.size > blockSize)
            return kSobSysBadUserVars;
        pointerCount += r.kind == 1;
        // Save blocks of every variable must stay measurable in 31 bits.
        saveSize += static_cast<uint64_t>(r.size) + 1;
        if (saveSize > 0x7FFFFFFFu)
            return kSobSysBadUserVars;
    }
    for (uint32_t i = 0; i < fixupCount; ++i) {
        const uint64_t cell = SobLinkTable::Word(fixups + 8 * i);
        const uint64_t target = SobLinkTable::Word(fixups + 8 * i + 4);
        if (cell + 4 > blockSize || target >= blockSize)
            return kSobSysBadUserVars;
    }

    // Each copy: a data block and a pointer-cell array, allocated once so link entries stay valid.
    const bool wanted[3] = {true, withInitial, withSnapshot};
    VarCopy copies[3];
    for (int c = 0; c < 3; ++c) {
        if (!wanted[c])
            continue;
        VarCopy& copy = copies[c];
        copy.present = true;
        copy.block = m_memory.Allocate(blockSize);
        copy.cells = m_memory.Allocate(pointerCount * 4);
        if (copy.block == 0 || copy.cells == 0) {
            for (VarCopy& made : copies)
                FreeCopy(made);
            return kSobSysNoScriptMemory;
        }
        if (blockSize != 0)
            std::memcpy(m_memory.Span(copy.block, blockSize), block, blockSize);
        copy.records = records;
        uint32_t nextCell = 0;
        for (uint32_t i = 0; i < variableCount; ++i) {
            SobVarRecord& r = copy.records[i];
            if (r.kind == 1) {
                r.address = copy.cells + 4 * nextCell++;
                m_memory.Store32(r.address, copy.block + offsets[i]);
            } else {
                r.address = copy.block + offsets[i];
            }
        }
        for (uint32_t i = 0; i < fixupCount; ++i)
            m_memory.Store32(copy.block + SobLinkTable::Word(fixups + 8 * i),
                             copy.block + SobLinkTable::Word(fixups + 8 * i + 4));
    }
    for (int c = 0; c < 3; ++c) {
        FreeCopy(m_copies[c]);
        m_copies[c] = std::move(copies[c]);
    }
    m_varAddresses.clear();
    for (const SobVarRecord& r : m_copies[kLive].records)
        m_varAddresses.push_back(r.address);
    m_tracked.clear();
    return kSobSysOk;
}

void CSobRuntime::FreeCopy(VarCopy& copy)
{
    if (copy.block != 0)
        m_memory.Free(copy.block);
    if (copy.cells != 0)
        m_memory.Free(copy.cells);
    copy = VarCopy();
}

// ---- variables ----

bool CSobRuntime::VariableValueAddress(SobVarCopy copy, size_t index, uint32_t* address) const
{
    if (copy < kLive || copy > kSnapshot || index >= m_copies[copy].records.size())
        return false;
    return ValueAddress(m_copies[copy], index, address);
}

int CSobRuntime::ClearVariables(int classSelector, int storageSelector)
{
    const VarCopy& live = m_copies[kLive];
    for (size_t i = 0; i < live.records.size(); ++i) {
        const SobVarRecord& r = live.records[i];
        uint32_t a;
        if (ClassSelected(r.cls, classSelector) && StorageSelected(r.kind, storageSelector) && ValueAddress(live, i, &a) &&
            r.size != 0)
            std::memset(m_memory.Span(a, r.size), 0, r.size);
    }
    return 0;
}

int CSobRuntime::CopyVariables(Copy from, Copy to, int classSelector, int storageSelector)
{
    if (!m_copies[from].present || !m_copies[to].present)
        return 1;
    const VarCopy& source = m_copies[from];
    const VarCopy& target = m_copies[to];
    for (size_t i = 0; i < target.records.size(); ++i) {
        const SobVarRecord& r = target.records[i];
        uint32_t s, d;
        if (ClassSelected(r.cls, classSelector) && StorageSelected(r.kind, storageSelector) &&
            ValueAddress(source, i, &s) && ValueAddress(target, i, &d))
            m_memory.Copy(d, s, r.size);
    }
    return 0;
}

int CSobRuntime::ResetVariables(int classSelector, int storageSelector)
{
    return CopyVariables(kInitial, kLive, classSelector, storageSelector);
}

int CSobRuntime::SnapshotVariables(int classSelector, int storageSelector)
{
    return CopyVariables(kLive, kSnapshot, classSelector, storageSelector);
}

int CSobRuntime::RestoreSnapshot(int classSelector, int storageSelector)
{
    return CopyVariables(kSnapshot, kLive, classSelector, storageSelector);
}

int CSobRuntime::FindVariable(uint32_t address) const
{
    const std::vector<SobVarRecord>& records = m_copies[kLive].records;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].address == address)
            return static_cast<int>(i);
    }
    return -1;
}

int CSobRuntime::SnapshotVariable(uint32_t address)
{
    if (!m_copies[kSnapshot].present)
        return 1;
    const int index = FindVariable(address);
    if (index < 0)
        return 2;
    uint32_t s, d;
    if (ValueAddress(m_copies[kLive], index, &s) && ValueAddress(m_copies[kSnapshot], index, &d))
        m_memory.Copy(d, s, m_copies[kLive].records[index].size);
    return 0;
}

int CSobRuntime::AddTrackedVariable(uint32_t address)
{
    if (!m_copies[kSnapshot].present)
        return 1;
    const int index = FindVariable(address);
    if (index < 0)
        return 2;
    m_tracked.push_back(index);
    return 0;
}

// ---- save blocks ----

uint32_t CSobRuntime::GetVariablesSaveSize(int selector, bool fromSnapshot) const
{
    if (fromSnapshot && !m_copies[kSnapshot].present)
        return 0;
    uint32_t size = 1; // bounded below 2^31 when the variables were loaded
    for (const SobVarRecord& r : m_copies[kLive].records) {
        if (SaveSelected(r, selector))
            size += r.size + 1;
    }
    return size;
}

int CSobRuntime::SaveVariables(uint8_t** cursor, size_t* left, int selector, bool fromSnapshot) const
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr)
        return 1;
    if (fromSnapshot && !m_copies[kSnapshot].present)
        return 2;
    const uint32_t size = GetVariablesSaveSize(selector, fromSnapshot);
    if (size > *left)
        return 3;
    const VarCopy& copy = m_copies[fromSnapshot ? kSnapshot : kLive];
    uint8_t* out = *cursor;
    *out++ = static_cast<uint8_t>(selector);
    for (size_t i = 0; i < copy.records.size(); ++i) {
        const SobVarRecord& r = copy.records[i];
        if (!SaveSelected(r, selector))
            continue;
        *out++ = r.kind;
        uint32_t a;
        // A pointer cell bent outside script memory: zeros keep the block readable.
        if (ValueAddress(copy, i, &a))
            std::memcpy(out, m_memory.Span(a, r.size), r.size);
        else
            std::memset(out, 0, r.size);
        out += r.size;
    }
    *cursor = out;
    *left -= size;
    return 0;
}

int CSobRuntime::CheckVariables(const uint8_t** cursor, size_t* left) const
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr || *left == 0)
        return 1;
    const uint8_t* in = *cursor;
    const int selector = in[0];
    size_t at = 1;
    for (const SobVarRecord& r : m_copies[kLive].records) {
        if (!SaveSelected(r, selector))
            continue;
        if (at >= *left || in[at] != r.kind || r.size > *left - at - 1)
            return 1;
        at += 1 + r.size;
    }
    *cursor += at;
    *left -= at;
    return 0;
}

int CSobRuntime::LoadVariables(const uint8_t** cursor, size_t* left)
{
    // The whole block is checked first: a mismatch changes no variable.
    const uint8_t* checked = cursor != nullptr ? *cursor : nullptr;
    size_t checkedLeft = left != nullptr ? *left : 0;
    if (CheckVariables(&checked, &checkedLeft) != 0)
        return 1;
    const VarCopy& live = m_copies[kLive];
    const uint8_t* in = *cursor;
    const int selector = in[0];
    size_t at = 1;
    for (size_t i = 0; i < live.records.size(); ++i) {
        const SobVarRecord& r = live.records[i];
        if (!SaveSelected(r, selector))
            continue;
        uint32_t a;
        if (ValueAddress(live, i, &a) && r.size != 0)
            std::memcpy(m_memory.Span(a, r.size), in + at + 1, r.size);
        at += 1 + r.size;
    }
    *cursor += at;
    *left -= at;
    return 0;
}

// ---- read and choice bits ----

const CBitArray* CSobRuntime::Bits(bool common, bool choice) const
{
    if (!m_hasModuleTable || m_moduleCount == 0)
        return nullptr;
    const int64_t index = common ? static_cast<int64_t>(m_moduleCount) - 1 : m_current;
    if (index < 0 || index >= m_moduleCount)
        return nullptr;
    return choice ? &m_moduleTable[index].choiceBits : &m_moduleTable[index].readBits;
}

CBitArray* CSobRuntime::Bits(bool common, bool choice)
{
    return const_cast<CBitArray*>(static_cast<const CSobRuntime*>(this)->Bits(common, choice));
}

bool CSobRuntime::TestReadBit(uint32_t bit, bool common) const
{
    const CBitArray* bits = Bits(common, false);
    return bits != nullptr && bits->GetBit(bit);
}

bool CSobRuntime::SetReadBit(uint32_t bit, bool common)
{
    CBitArray* bits = Bits(common, false);
    return bits != nullptr && bits->SetBit(bit, 1) == 0;
}

bool CSobRuntime::TestChoiceBit(uint32_t bit, bool common) const
{
    const CBitArray* bits = Bits(common, true);
    return bits != nullptr && bits->GetBit(bit);
}

bool CSobRuntime::SetChoiceBit(uint32_t bit, bool common)
{
    CBitArray* bits = Bits(common, true);
    return bits != nullptr && bits->SetBit(bit, 1) == 0;
}

// ---- read log ----

void CSobRuntime::SetReadLogFolder(const char* folder)
{
    m_readLogFolder = folder != nullptr ? folder : "";
}

bool CSobRuntime::SetReadLogFile(const char* name)
{
    if (name == nullptr)
        return false;
    m_readLogFile = name;
    return true;
}

std::vector<uint8_t> CSobRuntime::BuildReadLog() const
{
    return ::BuildReadLog("TLOG", m_moduleTable.get(), m_moduleCount);
}

int CSobRuntime::SaveReadLog(const char* name)
{
    if (name == nullptr)
        name = m_readLogFile.empty() ? nullptr : m_readLogFile.c_str();
    if (name == nullptr)
        return 1;
    if (!m_hasModuleTable)
        return 2;
    return WriteFileReplacing(MakeFilePath(name), BuildReadLog()) ? 0 : 3;
}

int CSobRuntime::LoadReadLog(const char* name)
{
    if (name == nullptr)
        name = m_readLogFile.empty() ? nullptr : m_readLogFile.c_str();
    if (name == nullptr)
        return 1;
    if (!m_hasModuleTable)
        return 0;
    CFileStream file;
    if (!ReadWholeFile(file, MakeFilePath(name).c_str()))
        return 1;
    return MergeReadLog(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize());
}

int CSobRuntime::MergeReadLog(const uint8_t* data, size_t size)
{
    return ::MergeReadLog("TLOG", data, size, m_moduleTable.get(), m_moduleCount);
}
