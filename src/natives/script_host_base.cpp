#include "natives/script_host_base.h"
#include "natives/task_natives.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "controls/text_layer.h"
#include "files/file_stream.h"
#include "files/lzss.h"
#include "files/path_utils.h"
#include "files/safe_file_writer.h"
#include "natives/form_natives.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/owned_list_natives.h"
#include "natives/text_object.h"
#include "platform/object_lifetime.h"
#include "script/byte_reader.h"
#include "script/script_transfer.h"
#include "winapi/kernel.h"

namespace {

uint8_t ByteSum(const uint8_t* data, size_t size)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += data[i];
    return static_cast<uint8_t>(sum);
}

// A NUL-terminated string inside exactly length bytes → false when no NUL lies within them.
bool TakeString(ByteReader& r, uint32_t length, std::string* out)
{
    const uint8_t* p;
    if (!r.Take(length, &p))
        return false;
    const void* nul = std::memchr(p, 0, length);
    if (nul == nullptr)
        return false;
    if (out != nullptr)
        out->assign(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(nul) - p);
    return true;
}

// The whole file, or false when it cannot be opened.
bool ReadFile(CFileStream& file, const std::string& path)
{
    return file.OpenInMemory(path.c_str()) == 0 && file.GetBuffer() != nullptr;
}

using LzssBuffer = std::unique_ptr<BYTE, void (*)(BYTE*)>;

// Packs raw bytes; U = raw size when packing won, else the raw bytes stored with U = 0.
void Pack(const std::vector<uint8_t>& raw, std::vector<uint8_t>* stored, uint32_t* unpacked)
{
    BYTE* packed = nullptr;
    DWORD packedSize = 0;
    if (!raw.empty() &&
        LzssCompress(raw.data(), &packed, static_cast<DWORD>(raw.size()), &packedSize, true) == 0) {
        LzssBuffer hold(packed, LzssFree);
        stored->assign(packed, packed + packedSize);
        *unpacked = static_cast<uint32_t>(raw.size());
        return;
    }
    *stored = raw;
    *unpacked = 0;
}

// The stored data expanded: U = 0 is raw, else at most limit bytes unpacked from exactly S.
bool Unpack(const uint8_t* stored, uint32_t storedSize, uint32_t unpacked, uint32_t limit,
            LzssBuffer* holder, const uint8_t** body, size_t* bodySize)
{
    if (unpacked == 0) {
        *body = stored;
        *bodySize = storedSize;
        return true;
    }
    if (unpacked > limit)
        return false;
    BYTE* out = nullptr;
    if (LzssDecompress(stored, storedSize, &out, unpacked, true) != 0)
        return false;
    holder->reset(out);
    *body = out;
    *bodySize = unpacked;
    return true;
}

} // namespace

bool IsNameInsideFolder(const char* name)
{
    if (name == nullptr || name[0] == '\0' || name[0] == '\\' || name[0] == '/')
        return false;
    size_t start = 0;
    const size_t length = std::strlen(name);
    for (size_t i = 0; i <= length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (i < length && IsDBCSLeadByte(c) && i + 1 < length) {
            ++i;
            continue;
        }
        if (c == ':')
            return false;
        if (c == '\\' || c == '/' || c == '\0') {
            if (i - start == 2 && name[start] == '.' && name[start + 1] == '.')
                return false;
            start = i + 1;
        }
    }
    return true;
}

CScriptHostBase::CScriptHostBase(uint32_t memorySize) : CSobRuntime(memorySize)
{
    g_ScriptTransferState = kTransferNone;
    g_ScriptCallDepth = 0;
    for (uint32_t n = 0; n < 3; ++n)
        AddNative(GetNativeRow(n).function);
    m_bootFlag = Memory().Allocate(4);
    m_appProc = Memory().Allocate(4);
    RegisterVariable("ScriptBootFlg", m_bootFlag);
    RegisterVariable("retAppProc", m_appProc);
    SetObjectDestroyedListener(&CScriptHostBase::ObjectDestroyed, this);
    m_roots.AddRoot(g_BaseFolder);
    s_newest = this;
    s_newestContext = static_cast<CSobRuntime*>(this);
}

CScriptHostBase::~CScriptHostBase()
{
    if (s_newest == this) {
        s_newest = nullptr;
        s_newestContext = nullptr;
    }
    SetObjectDestroyedListener(nullptr, nullptr);
    if (!m_persistentFile.empty())
        SavePersistentVariables(nullptr);
}

int32_t CScriptHostBase::BootFlag() const
{
    uint32_t v = 0;
    const_cast<CScriptHostBase*>(this)->Memory().Load32(m_bootFlag, &v);
    return static_cast<int32_t>(v);
}

// ---- modules and the run step ----

int CScriptHostBase::OpenScript(const char* name, CSobVM* machine)
{
    if (name == nullptr)
        name = g_ScriptTransferTarget;
    // Longer names overran the 64-byte path; names leaving SCRIPT\ reached other files.
    if (std::strlen(name) > kMaxScriptName || !IsNameInsideFolder(name))
        return kSobLoadOpenFailed;
    const std::string path = std::string("SCRIPT\\") + name + ".SOB";
    return LoadModule(path.c_str(), machine);
}

uint32_t CScriptHostBase::RunStep()
{
    FreeRetiredMirrors();
    // After a failed jump the running module is gone: running it again would run freed code.
    if (m_jumpFailed)
        return kRunJumpFailed;
    // After the return request the script has ended: running on would run past its last cell.
    if (g_ScriptTransferState == kTransferReturn)
        return kRunEnded;
    CSobVM& machine = Machine();
    for (;;) {
        const int r = machine.Run();
        if (g_ScriptTransferState == kTransferReturn)
            return kRunEnded;
        if (r == kSobFault) {
            g_ScriptTransferState = kTransferNone;
            return kRunBadScript;
        }
        switch (g_ScriptTransferState) {
        case kTransferNone:
            if (r != kSobLeave)
                return static_cast<uint32_t>(r);
            if (g_ScriptCallDepth == 0)
                return kRunEnded;
            --g_ScriptCallDepth;
            UnloadModule();
            if (machine.PopIp() != 0)
                return kRunBadScript;
            break;
        case kTransferJump:
            if (r != kSobLeave)
                return kRunBadScript;
            UnloadModule();
            if (OpenScript(nullptr, nullptr) != 0) {
                m_jumpFailed = true;
                return kRunJumpFailed;
            }
            break;
        case kTransferCall:
            if (r == kSobLeave)
                return kRunBadScript;
            // A full stack cannot keep the caller's place: refuse before loading anything.
            if (machine.PushIp() != 0) {
                g_ScriptTransferState = kTransferNone;
                return kRunCallFailed;
            }
            if (OpenScript(nullptr, nullptr) != 0) {
                machine.PopIp();
                g_ScriptTransferState = kTransferNone;
                return kRunCallFailed;
            }
            ++g_ScriptCallDepth;
            break;
        case kTransferReturn:
            return kRunEnded;
        default:
            break;
        }
        g_ScriptTransferState = kTransferNone;
    }
}

void CScriptHostBase::ResetCallStack(int32_t boot)
{
    OnResetCallStack();
    Memory().Store32(m_bootFlag, static_cast<uint32_t>(boot));
    SetStackSize(StackSize());
    g_ScriptCallDepth = 0;
    g_ScriptTransferState = kTransferNone;
    m_jumpFailed = false;
    const bool library = !LoadedModules().empty() && LoadedModules()[0].library;
    TruncateModules(library ? 1 : 0);
}

bool CScriptHostBase::ResolveScriptPath(const char* name, std::string* path) const
{
    // One set: a link may lead from one root into another.
    CScriptPathRoots roots = m_roots;
    return roots.AddRoot(ReadLogFolder().c_str()) && roots.Resolve(name, path);
}

// ---- engine objects ----

uint32_t CScriptHostBase::ObjectHandle(void* object, ScriptObjectType type)
{
    if (object == nullptr)
        return 0;
    std::lock_guard<std::mutex> lock(m_objectLock);
    const auto found = m_objectHandles.find(object);
    if (found != m_objectHandles.end()) {
        Handles().Narrow(found->second, type);
        return found->second;
    }
    const uint32_t handle = Handles().Add(object, type);
    if (handle != 0)
        m_objectHandles.emplace(object, handle);
    return handle;
}

bool CScriptHostBase::ClearOnDestruction(uint32_t handle, uint32_t cell)
{
    if (Handles().Get(handle, ScriptObjectType::Any) == nullptr || !Memory().Contains(cell, 4))
        return false;
    std::lock_guard<std::mutex> lock(m_objectLock);
    m_ownerCells[handle].push_back(cell);
    return true;
}

void CScriptHostBase::ObjectDestroyed(const void* object, void* context)
{
    CScriptHostBase* host = static_cast<CScriptHostBase*>(context);
    // The form keeps no scene or font a script deleted.
    g_MainForm.ForgetObject(object);
    ForgetFormNativesObject(object);
    // Path tasks made by scripts stop before their sprite's end.
    ForgetPathTaskTarget(object);
    // Sheets and animations the scripts made keep no surface or drawable that ended.
    ForgetOwnedListObject(object);
    // Text objects keep no name panel, linked control or wait sheet that ended.
    CTextObject::ForgetEverywhere(object);
    // Panels and text layers keep no font or frame image a script deleted since.
    CTextPanel::ForgetEverywhere(object);
    CTextLayer::ForgetFontEverywhere(object);
    std::lock_guard<std::mutex> lock(host->m_objectLock);
    if (const auto mirror = host->m_mirrors.find(object); mirror != host->m_mirrors.end()) {
        host->m_retiredMirrors.push_back(mirror->second.address);
        host->m_mirrors.erase(mirror);
    }
    const auto found = host->m_objectHandles.find(object);
    if (found == host->m_objectHandles.end())
        return;
    const uint32_t handle = found->second;
    host->m_objectHandles.erase(found);
    host->Handles().Remove(handle);
    const auto cells = host->m_ownerCells.find(handle);
    if (cells == host->m_ownerCells.end())
        return;
    // A cell still holding the handle is cleared; one the script reused since is left alone.
    for (uint32_t cell : cells->second) {
        uint32_t value = 0;
        if (host->Memory().Load32(cell, &value) && value == handle)
            host->Memory().Store32(cell, 0);
    }
    host->m_ownerCells.erase(cells);
}

// ---- mirrored engine strings ----

uint32_t CScriptHostBase::MirrorBytes(const void* source, const void* data, uint32_t size)
{
    if (source == nullptr)
        return 0;
    FreeRetiredMirrors();
    std::lock_guard<std::mutex> lock(m_objectLock);
    auto found = m_mirrors.find(source);
    if (found == m_mirrors.end() || found->second.capacity < size) {
        const uint32_t address = Memory().Allocate(size, false);
        if (address == 0)
            return 0;
        if (found != m_mirrors.end()) {
            Memory().Free(found->second.address);
            found->second = Mirror{address, size};
        } else {
            found = m_mirrors.emplace(source, Mirror{address, size}).first;
        }
    }
    if (size != 0)
        std::memcpy(Memory().Span(found->second.address, size), data, size);
    return found->second.address;
}

uint32_t CScriptHostBase::MirrorString(const void* source, const char* text)
{
    if (text == nullptr)
        text = "";
    const size_t length = std::strlen(text);
    if (length >= Memory().Size())
        return 0;
    return MirrorBytes(source, text, static_cast<uint32_t>(length + 1));
}

void CScriptHostBase::ReleaseMirror(const void* source)
{
    std::lock_guard<std::mutex> lock(m_objectLock);
    if (const auto found = m_mirrors.find(source); found != m_mirrors.end()) {
        Memory().Free(found->second.address);
        m_mirrors.erase(found);
    }
}

void CScriptHostBase::FreeRetiredMirrors()
{
    std::lock_guard<std::mutex> lock(m_objectLock);
    for (uint32_t address : m_retiredMirrors)
        Memory().Free(address);
    m_retiredMirrors.clear();
}

// ---- voice table ----

int CScriptHostBase::LoadVoiceInfo(const char* fileName)
{
    m_voices = VoiceTable();
    m_voiceNames.clear();
    CFileStream file;
    if (fileName == nullptr || !ReadFile(file, fileName))
        return 0;
    if (!LoadVoiceInfoBytes(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize()))
        std::fprintf(stderr, "%s: damaged voice table, no voices\n", fileName);
    return 0;
}

bool CScriptHostBase::LoadVoiceInfoBytes(const uint8_t* data, size_t size)
{
    m_voices = VoiceTable();
    m_voiceNames.clear();
    if (data == nullptr)
        return false;
    ByteReader r(data, size);
    uint32_t n = 0, mapCount = 0, entryCount = 0;
    VoiceTable table;
    std::vector<VoiceText> names;
    // The extension had an 8-byte field: a longer one overran it.
    if (!r.U8(&n) || !TakeString(r, n, &table.extension) || table.extension.size() > kMaxVoiceExtension)
        return false;
    // Each entry takes at least 7 bytes and each map name 2: counts beyond the file are damage.
    if (!r.U32(&mapCount) || !r.U32(&entryCount) || mapCount > r.Left() / 2 || entryCount > r.Left() / 7)
        return false;
    for (uint32_t i = 0; i < entryCount; ++i) {
        VoiceText text;
        VoiceCharacter character;
        uint32_t a = 0, b = 0, k = 0;
        if (!r.U8(&a) || !TakeString(r, a, &text.name) || !r.U8(&b))
            return false;
        character.flag = b >= 1 ? 1 : 0;
        if (b > 1 ? !TakeString(r, b, &text.alias) : !r.Skip(b))
            return false;
        if (!r.U32(&k) || k > r.Left() / 2)
            return false;
        for (uint32_t j = 0; j < k; ++j) {
            uint32_t c = 0;
            VoicePrefix prefix;
            prefix.character = static_cast<int32_t>(i);
            if (!r.U8(&c) || !TakeString(r, c, &prefix.prefix))
                return false;
            table.prefixes.push_back(std::move(prefix));
        }
        table.characters.push_back(character);
        names.push_back(std::move(text));
    }
    // The map was sized by M and filled by the names: both must agree.
    if (table.prefixes.size() != mapCount)
        return false;
    m_voices = std::move(table);
    m_voiceNames = std::move(names);
    return true;
}

// ---- persistent variables ----

bool CScriptHostBase::FilePath(const char* name, std::string* path) const
{
    if (!IsNameInsideFolder(name))
        return false;
    *path = MakeFilePath(name);
    return true;
}

const char* CScriptHostBase::OrPersistentFile(const char* name) const
{
    if (name != nullptr)
        return name;
    return m_persistentFile.empty() ? nullptr : m_persistentFile.c_str();
}

bool CScriptHostBase::ReadSaveFile(const char* name, CFileStream& file) const
{
    std::string path;
    return name != nullptr && FilePath(name, &path) && ReadFile(file, path);
}

bool CScriptHostBase::SetPersistentFile(const char* name)
{
    if (name == nullptr)
        return false;
    m_persistentFile = name;
    return true;
}

std::vector<uint8_t> CScriptHostBase::BuildPersistentFile() const
{
    std::vector<uint8_t> raw;
    PutU32(raw, static_cast<uint32_t>(m_voices.characters.size()));
    for (const VoiceCharacter& c : m_voices.characters) {
        PutU32(raw, static_cast<uint32_t>(c.volume2));
        raw.push_back(c.enabled);
        raw.push_back(c.flag);
    }
    size_t left = GetVariablesSaveSize(1, false);
    const size_t at = raw.size();
    raw.resize(at + left);
    uint8_t* cursor = raw.data() + at;
    SaveVariables(&cursor, &left, 1, false);
    std::vector<uint8_t> stored, file;
    uint32_t unpacked = 0;
    Pack(raw, &stored, &unpacked);
    PutU32(file, static_cast<uint32_t>(stored.size()));
    PutU32(file, unpacked);
    file.insert(file.end(), stored.begin(), stored.end());
    return file;
}

int CScriptHostBase::SavePersistentVariables(const char* name)
{
    name = OrPersistentFile(name);
    if (name == nullptr)
        return 1;
    std::string path;
    if (!FilePath(name, &path))
        return 3;
    try {
        const std::vector<uint8_t> file = BuildPersistentFile();
        return WriteFileReplacing(path.c_str(), file.data(), file.size()) == 0 ? 0 : 3;
    } catch (const std::bad_alloc&) {
        return 2;
    }
}

int CScriptHostBase::ApplyPersistentFile(const uint8_t* data, size_t size)
{
    ByteReader header(data, size);
    uint32_t stored = 0, unpacked = 0;
    const uint8_t* packed;
    if (data == nullptr || !header.U32(&stored) || !header.U32(&unpacked) || !header.Take(stored, &packed))
        return 2;
    LzssBuffer holder(nullptr, LzssFree);
    const uint8_t* body;
    size_t bodySize;
    if (!Unpack(packed, stored, unpacked, kMaxPersistentBody, &holder, &body, &bodySize))
        return 2;
    ByteReader r(body, bodySize);
    uint32_t count = 0;
    const uint8_t* voices;
    if (!r.U32(&count) || count > r.Left() / 6 || !r.Take(static_cast<size_t>(count) * 6, &voices))
        return 2;
    const uint8_t* block;
    size_t left = r.Left();
    r.Take(left, &block);
    // The variables are checked whole before any changes; the voices follow only then.
    if (LoadVariables(&block, &left) != 0)
        return 2;
    if (count == m_voices.characters.size()) {
        for (uint32_t i = 0; i < count; ++i) {
            ByteReader v(voices + 6 * i, 6);
            uint32_t volume = 0, enabled = 0, flag = 0;
            v.U32(&volume);
            v.U8(&enabled);
            v.U8(&flag);
            m_voices.characters[i].volume2 = static_cast<int32_t>(volume);
            m_voices.characters[i].enabled = static_cast<uint8_t>(enabled);
            m_voices.characters[i].flag = static_cast<uint8_t>(flag);
        }
    }
    return 0;
}

int CScriptHostBase::LoadPersistentVariables(const char* name)
{
    CFileStream file;
    if (!ReadSaveFile(OrPersistentFile(name), file))
        return 1;
    return ApplyPersistentFile(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize());
}

int CScriptHostBase::SaveAllPersistentData()
{
    int result = 2;
    if (!m_persistentFile.empty()) {
        result = SavePersistentVariables(nullptr);
        if (result != 0)
            return result;
    }
    if (!ReadLogFile().empty())
        result = SaveReadLog(nullptr);
    return result;
}

// ---- variable files ----

int CScriptHostBase::CheckHeaderVariables(uint32_t header, uint32_t comment, uint32_t* headerSize,
                                          uint32_t* commentLength) const
{
    if (header == 0 && comment == 0)
        return -1;
    const std::vector<SobVarRecord>& records = VariableRecords();
    if (header != 0) {
        const int i = FindVariable(header);
        if (i < 0)
            return 3;
        if (records[i].kind != 0)
            return 1;
        if (headerSize != nullptr)
            *headerSize = records[i].size;
    }
    if (comment != 0) {
        const int i = FindVariable(comment);
        if (i < 0)
            return 3;
        if (records[i].kind != 1)
            return 2;
        uint32_t at = 0;
        const uint8_t* text = nullptr;
        if (VariableValueAddress(kSobLiveCopy, static_cast<size_t>(i), &at))
            text = const_cast<CScriptHostBase*>(this)->Memory().Span(at, records[i].size);
        // The string must end inside its buffer, or the length would run past it.
        const void* nul = text != nullptr ? std::memchr(text, 0, records[i].size) : nullptr;
        if (nul == nullptr)
            return 3;
        if (commentLength != nullptr)
            *commentLength = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - text) + 1;
    }
    return 0;
}

int CScriptHostBase::BuildVariableFile(int selector, uint32_t header, uint32_t comment, bool fromSnapshot,
                                       std::vector<uint8_t>* out) const
{
    uint32_t headerSize = 0, commentLength = 0;
    if (CheckHeaderVariables(header, comment, &headerSize, &commentLength) > 0)
        return 4;
    size_t left = GetVariablesSaveSize(selector, fromSnapshot);
    if (left <= 1)
        return 2;
    try {
        std::vector<uint8_t> block(left);
        uint8_t* cursor = block.data();
        if (SaveVariables(&cursor, &left, selector, fromSnapshot) != 0)
            return 2;
        // The selector stands in the header, not before the data.
        block.erase(block.begin());
        std::vector<uint8_t> stored;
        uint32_t unpacked = 0;
        Pack(block, &stored, &unpacked);
        CScriptMemory& memory = const_cast<CScriptHostBase*>(this)->Memory();
        auto valueBytes = [&](uint32_t variable, uint32_t size) {
            uint32_t at = 0;
            VariableValueAddress(kSobLiveCopy, static_cast<size_t>(FindVariable(variable)), &at);
            return memory.Span(at, size);
        };
        out->clear();
        PutU32(*out, static_cast<uint32_t>(stored.size()));
        PutU32(*out, unpacked);
        PutU32(*out, header != 0 ? headerSize : 0);
        if (header != 0) {
            const uint8_t* p = valueBytes(header, headerSize);
            out->insert(out->end(), p, p + headerSize);
        }
        PutU32(*out, comment != 0 ? commentLength : 0);
        if (comment != 0) {
            const uint8_t* p = valueBytes(comment, commentLength);
            out->insert(out->end(), p, p + commentLength);
        }
        out->push_back(static_cast<uint8_t>(selector));
        out->push_back(ByteSum(stored.data(), stored.size()));
        out->insert(out->end(), stored.begin(), stored.end());
        return 0;
    } catch (const std::bad_alloc&) {
        return 3;
    }
}

int CScriptHostBase::SaveVariableFile(const char* name, int selector, uint32_t header, uint32_t comment,
                                      bool fromSnapshot)
{
    if (name == nullptr || name[0] == '\0')
        return 1;
    std::vector<uint8_t> file;
    const int built = BuildVariableFile(selector, header, comment, fromSnapshot, &file);
    if (built != 0)
        return built;
    std::string path;
    if (!FilePath(name, &path))
        return 1;
    return WriteFileReplacing(path.c_str(), file.data(), file.size()) == 0 ? 0 : 1;
}

int CScriptHostBase::ReadVariableFileHeader(const char* name, uint32_t header, uint32_t comment)
{
    name = OrPersistentFile(name);
    if (name == nullptr)
        return 1;
    uint32_t headerSize = 0, commentLength = 0;
    if (CheckHeaderVariables(header, comment, &headerSize, &commentLength) > 0)
        return 3;
    CFileStream file;
    if (!ReadSaveFile(name, file))
        return 1;
    ByteReader r(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize());
    uint32_t la = 0, lb = 0;
    const uint8_t *headerBytes = nullptr, *commentBytes = nullptr;
    if (!r.Skip(8) || !r.U32(&la))
        return 2;
    if (header != 0) {
        if (la == 0)
            return 2;
        if (la > headerSize)
            return 3;
    }
    if (!r.Take(la, &headerBytes))
        return 2;
    const std::vector<SobVarRecord>& records = VariableRecords();
    uint32_t commentAt = 0;
    if (comment != 0) {
        // Measured against the buffer, not the string now in it (an empty one refused every comment).
        const size_t i = static_cast<size_t>(FindVariable(comment));
        if (!r.U32(&lb) || lb == 0)
            return 2;
        if (lb > records[i].size)
            return 3;
        if (!r.Take(lb, &commentBytes) || std::memchr(commentBytes, 0, lb) == nullptr)
            return 2;
        VariableValueAddress(kSobLiveCopy, i, &commentAt);
    }
    if (header != 0)
        std::memcpy(Memory().Span(header, la), headerBytes, la);
    if (comment != 0)
        std::memcpy(Memory().Span(commentAt, lb), commentBytes, lb);
    return 0;
}

int CScriptHostBase::ApplyVariableFile(const uint8_t* data, size_t size)
{
    if (data == nullptr)
        return 2;
    ByteReader r(data, size);
    uint32_t stored = 0, unpacked = 0, la = 0, lb = 0, selector = 0, checksum = 0;
    const uint8_t* packed;
    if (!r.U32(&stored) || !r.U32(&unpacked) || !r.U32(&la) || !r.Skip(la) || !r.U32(&lb) || !r.Skip(lb) ||
        !r.U8(&selector) || !r.U8(&checksum) || !r.Take(stored, &packed))
        return 2;
    if (ByteSum(packed, stored) != checksum)
        return 2;
    LzssBuffer holder(nullptr, LzssFree);
    const uint8_t* body;
    size_t bodySize;
    if (!Unpack(packed, stored, unpacked, kMaxPersistentBody, &holder, &body, &bodySize))
        return 2;
    // The whole block must be the selected variables', kind by kind, before any is written.
    if (GetVariablesSaveSize(static_cast<int>(selector), false) != bodySize + 1)
        return 2;
    std::vector<uint8_t> block;
    try {
        block.reserve(bodySize + 1);
    } catch (const std::bad_alloc&) {
        return 2;
    }
    block.push_back(static_cast<uint8_t>(selector));
    block.insert(block.end(), body, body + bodySize);
    const uint8_t* cursor = block.data();
    size_t left = block.size();
    return LoadVariables(&cursor, &left) == 0 ? 0 : 2;
}

int CScriptHostBase::LoadVariableFile(const char* name)
{
    CFileStream file;
    if (!ReadSaveFile(OrPersistentFile(name), file))
        return 1;
    return ApplyVariableFile(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize());
}
