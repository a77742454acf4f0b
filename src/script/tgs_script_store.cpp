#include "script/tgs_script_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/file_stream.h"
#include "script/byte_reader.h"
#include "script/script_name.h"
#include "winapi/kernel.h"

namespace {

uint32_t Word(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

bool SameName(const std::string& a, const char* b)
{
    return lstrcmpiA(a.c_str(), b) == 0;
}

} // namespace

// ---- the checks of a TOB file ----

namespace {

std::string At(const char* what, uint32_t at)
{
    return std::string(what) + " at " + std::to_string(at);
}

// Five link tables (u8 or u32 counts, then count × (u32 offset, u32 value)) filling the bytes
// given, each cell inside the code, and table 5's addresses inside the code too.
bool CheckLinkTables(const uint8_t* tables, size_t bytes, bool wideCounts, uint32_t codeLength,
                     std::string* error)
{
    ByteReader in(tables, bytes);
    for (int table = 1; table <= 5; ++table) {
        uint32_t count;
        if (!(wideCounts ? in.U32(&count) : in.U8(&count))) {
            *error = "link table " + std::to_string(table) + " runs past its record";
            return false;
        }
        if (count > in.Left() / 8) {
            *error = "link table " + std::to_string(table) + " count " + std::to_string(count) +
                     " runs past its record";
            return false;
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t offset, value;
            in.U32(&offset);
            in.U32(&value);
            if (!TobLinkCellFits(offset, codeLength)) {
                *error = "link " + std::to_string(i) + " of table " + std::to_string(table) + " writes at " +
                         std::to_string(offset) + ", outside the code (" + std::to_string(codeLength) +
                         " bytes)";
                return false;
            }
            if (table == 5 && value > codeLength) {
                *error = "link " + std::to_string(i) + " of table 5 names " + std::to_string(value) +
                         ", outside the code (" + std::to_string(codeLength) + " bytes)";
                return false;
            }
        }
    }
    if (in.Left() != 0) {
        *error = "link tables end " + std::to_string(in.Left()) + " bytes before their length";
        return false;
    }
    return true;
}

// A condition or argument operand of source kind 0-3.
bool CheckOperand(uint32_t kind, ByteReader& in, std::string* error)
{
    switch (kind) {
    case 0:
        if (!in.Skip(4))
            return *error = "constant runs past the record", false;
        return true;
    case 1: {
        uint32_t n;
        const uint8_t* s;
        if (!in.U16(&n) || !in.Take(n, &s))
            return *error = "string length runs past the record", false;
        if (n != 0 && std::memchr(s, 0, n) == nullptr)
            return *error = "string without its NUL", false;
        return true;
    }
    case 2:
        if (!in.Skip(8))
            return *error = "variable element runs past the record", false;
        return true;
    case 3: {
        uint32_t n, length;
        const uint8_t *code, *tables;
        if (!in.U16(&n) || !in.Take(n, &code) || !in.Skip(1))
            return *error = "expression code length runs past the record", false;
        if (!in.U16(&length) || length < 2 || !in.Take(length - 2, &tables))
            return *error = "expression link-table length runs past the record", false;
        if (!CheckLinkTables(tables, length - 2, false, n, error))
            return *error = "expression " + *error, false;
        return true;
    }
    default:
        *error = "unknown source kind " + std::to_string(kind);
        return false;
    }
}

} // namespace

bool CheckTobRecord(const uint8_t* text, uint32_t textSize, uint32_t at, uint32_t* end, std::string* error)
{
    if (static_cast<uint64_t>(at) + 2 > textSize) {
        *error = At("record", at) + " runs past the text";
        return false;
    }
    ByteReader in(text + at + 2, textSize - at - 2);
    std::string why;
    if (text[at + 1] == 's') {
        uint32_t n, length;
        const uint8_t* tables;
        if (!in.U32(&n) || !in.Skip(n) || !in.Skip(1))
            why = "code length runs past the text";
        else if (!in.U32(&length) || length < 4 || !in.Take(length - 4, &tables))
            why = "link-table length runs past the text";
        else if (CheckLinkTables(tables, length - 4, true, n, &why)) {
            *end = at + 2 + static_cast<uint32_t>(in.Position());
            return true;
        }
        *error = At("inline code record", at) + ": " + why;
        return false;
    }
    uint32_t command, kind, skip, count;
    if (!in.U32(&command) || !in.U8(&kind))
        why = "runs past the text";
    else if (command >= 130)
        why = "command " + std::to_string(command) + " is past 129";
    else if (kind > 3)
        why = "unknown condition kind " + std::to_string(kind);
    else if (kind != 1 && !CheckOperand(kind, in, &why))
        why.insert(0, "condition: ");
    else if (!in.U32(&skip) || skip < 5 || skip - 4 > in.Left())
        why = "skip length runs past the text";
    else {
        const uint32_t recordEnd = at + 2 + static_cast<uint32_t>(in.Position()) - 4 + skip;
        ByteReader args(text + at + 2 + in.Position(), skip - 4);
        args.U8(&count);
        for (uint32_t i = 0; i < count && why.empty(); ++i) {
            uint32_t flags, source;
            if (!args.U8(&flags) || (flags == 2 && !args.Skip(4)) ||
                (flags != 0 && flags != 2 && !args.U8(&source)))
                why = "argument " + std::to_string(i) + " runs past the skip length";
            else if (flags != 0 && flags != 2 && !CheckOperand(source, args, &why))
                why.insert(0, "argument " + std::to_string(i) + ": ");
        }
        if (why.empty()) {
            *end = recordEnd;
            return true;
        }
    }
    *error = At("command record", at) + ": " + why;
    return false;
}

bool CheckTobFile(const uint8_t* data, size_t size, TobLayout* layout, std::string* error)
{
    if (data == nullptr || size < 4 || (std::memcmp(data, "TOB0", 4) != 0 && std::memcmp(data, "TOB1", 4) != 0)) {
        *error = "magic is neither TOB0 nor TOB1";
        return false;
    }
    if (size > 0xFFFFFFF0u) {
        *error = "file too large";
        return false;
    }
    TobLayout l;
    l.tob1 = data[3] == '1';
    // Label block: L1 counts its own word; then the label count and the entries.
    if (size < 12) {
        *error = "file ends inside the label block header";
        return false;
    }
    const uint32_t l1 = Word(data + 4);
    if (l1 < 8 || static_cast<uint64_t>(l1) + 12 > size) {
        *error = "label block length " + std::to_string(l1) + " runs past the file";
        return false;
    }
    l.labelsEnd = 4 + l1;
    const uint32_t l2 = Word(data + l.labelsEnd);
    if (l2 < 8 || static_cast<uint64_t>(l.labelsEnd) + l2 > size) {
        *error = "message block length " + std::to_string(l2) + " runs past the file";
        return false;
    }
    l.textOffset = l.labelsEnd + l2;
    l.textSize = static_cast<uint32_t>(size) - l.textOffset;
    // Messages: M offsets (TOB1: and M words) inside L2.
    l.messageCount = Word(data + l.labelsEnd + 4);
    if (static_cast<uint64_t>(l.messageCount) * (l.tob1 ? 8 : 4) > l2 - 8) {
        *error = "message count " + std::to_string(l.messageCount) + " runs past the message block";
        return false;
    }
    l.messages = l.labelsEnd + 8;
    l.messageWords = l.tob1 ? l.labelsEnd + l2 - 4 * l.messageCount : 0;
    // The positions labels and messages name: each inside the text (its end included).
    std::vector<uint32_t> targets;
    for (uint32_t i = 0; i < l.messageCount; ++i) {
        const uint32_t offset = Word(data + l.messages + 4 * i);
        if (offset > l.textSize) {
            *error = "message " + std::to_string(i) + " offset " + std::to_string(offset) +
                     " lies past the text (" + std::to_string(l.textSize) + " bytes)";
            return false;
        }
        targets.push_back(offset);
    }
    // Labels: n >= 5, the entry inside L1, a NUL inside the name, the offset inside the text.
    l.labelCount = Word(data + 8);
    if (l.labelCount > (l1 - 8) / 6) {
        *error = "label count " + std::to_string(l.labelCount) + " runs past the label block";
        return false;
    }
    uint32_t at = l.labels;
    for (uint32_t i = 0; i < l.labelCount; ++i) {
        const uint32_t n = at < l.labelsEnd ? data[at] : 0;
        if (at >= l.labelsEnd || n < 5 || static_cast<uint64_t>(at) + 1 + n > l.labelsEnd) {
            *error = "label " + std::to_string(i) + " runs past the label block";
            return false;
        }
        if (std::memchr(data + at + 1, 0, n - 4) == nullptr) {
            *error = "label " + std::to_string(i) + " name without its NUL";
            return false;
        }
        const uint32_t offset = Word(data + at + 1 + n - 4);
        if (offset > l.textSize) {
            *error = "label " + std::to_string(i) + " offset " + std::to_string(offset) + " lies past the text (" +
                     std::to_string(l.textSize) + " bytes)";
            return false;
        }
        targets.push_back(offset);
        at += n + 1;
    }
    std::sort(targets.begin(), targets.end());
    auto isTarget = [&](uint32_t p) { return std::binary_search(targets.begin(), targets.end(), p); };

    // The text area as the decoder walks it; every record is checked whole.
    const uint8_t* text = data + l.textOffset;
    auto byteAt = [&](uint32_t p) -> uint8_t { return p < l.textSize ? text[p] : 0; };
    std::vector<std::pair<uint32_t, uint32_t>> records;
    for (uint32_t p = 0; p < l.textSize;) {
        const uint8_t c = text[p];
        if (c == '[' && (byteAt(p + 1) == ' ' || byteAt(p + 1) == 's') && p + 1 < l.textSize) {
            uint32_t end;
            if (!CheckTobRecord(text, l.textSize, p, &end, error))
                return false;
            records.emplace_back(p, end);
            p = end;
            continue;
        }
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        p += lead && byteAt(p + 1) != 0 && !isTarget(p + 1) ? 2 : 1;
    }
    // A label or message that names a position inside a record.
    auto inside = [&](uint32_t offset) -> const std::pair<uint32_t, uint32_t>* {
        auto it = std::upper_bound(records.begin(), records.end(), std::make_pair(offset, 0xFFFFFFFFu));
        if (it == records.begin())
            return nullptr;
        --it;
        return offset > it->first && offset < it->second ? &*it : nullptr;
    };
    for (uint32_t i = 0; i < l.messageCount; ++i) {
        const uint32_t offset = Word(data + l.messages + 4 * i);
        if (const auto* r = inside(offset)) {
            *error = "message " + std::to_string(i) + " offset " + std::to_string(offset) +
                     " lies inside the record at " + std::to_string(r->first);
            return false;
        }
    }
    at = l.labels;
    for (uint32_t i = 0; i < l.labelCount; ++i) {
        const uint32_t n = data[at];
        const uint32_t offset = Word(data + at + 1 + n - 4);
        if (const auto* r = inside(offset)) {
            *error = "label " + std::to_string(i) + " offset " + std::to_string(offset) + " lies inside the record at " +
                     std::to_string(r->first);
            return false;
        }
        at += n + 1;
    }
    *layout = l;
    return true;
}

CTgsScriptStore::CTgsScriptStore(CScriptMemory& memory)
    : m_memory(memory), m_arguments(new TgsArgPair[kArgumentWords / 2]())
{}

CTgsScriptStore::~CTgsScriptStore()
{
    if (!m_readLogFile.empty())
        SaveReadLog(nullptr);
    FreeAllScripts();
}

int CTgsScriptStore::SetScriptFolder(const char* folder)
{
    if (folder == nullptr)
        return 1;
    m_scriptFolder = folder;
    if (m_scriptFolder.empty() || m_scriptFolder.back() != '\\')
        m_scriptFolder += '\\';
    return 0;
}

bool CTgsScriptStore::ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    CFileStream file;
    if (file.OpenInMemory(path.c_str()) != 0 || file.GetBuffer() == nullptr)
        return false;
    const uint8_t* data = static_cast<const uint8_t*>(file.GetBuffer());
    bytes->assign(data, data + file.GetSize());
    return true;
}

// ---- script table ----

int CTgsScriptStore::LoadScriptTable(const char* fileName)
{
    std::vector<uint8_t> bytes;
    if (fileName == nullptr || !ReadScriptFile(m_scriptFolder + fileName, &bytes))
        return 1;
    return LoadScriptTableBytes(bytes.data(), bytes.size());
}

int CTgsScriptStore::LoadScriptTableBytes(const uint8_t* data, size_t size)
{
    ByteReader in(data, size);
    uint32_t count;
    // Each entry takes at least 10 bytes, so a count beyond that is damage, not an allocation.
    if (!in.U32(&count) || count > in.Left() / 10)
        return 2;
    std::unique_ptr<TgsScriptEntry[]> table(new (std::nothrow) TgsScriptEntry[count]);
    if (table == nullptr)
        return 2;
    // Ten bytes of entry must not claim megabytes each: the bits of the whole table are bounded too.
    uint64_t totalBits = 0;
    for (uint32_t i = 0; i < count; ++i) {
        TgsScriptEntry& entry = table[i];
        uint32_t length, readBits, secondBits;
        const uint8_t* name;
        if (!in.U8(&length) || length == 0 || !in.Take(length, &name) || !in.U32(&readBits) ||
            !in.U32(&secondBits) || readBits > kMaxTableBits || secondBits > kMaxTableBits)
            return 2;
        totalBits += static_cast<uint64_t>(readBits) + secondBits;
        if (totalBits > kMaxTotalTableBits)
            return 2;
        entry.name.assign(reinterpret_cast<const char*>(name),
                          strnlen(reinterpret_cast<const char*>(name), length - 1));
        entry.nameLength = static_cast<uint8_t>(entry.name.size() + 1);
        if (entry.readBits.Create(readBits) == 2 || entry.choiceBits.Create(secondBits) == 2)
            return 2;
    }
    m_table = std::move(table);
    m_tableCount = count;
    m_currentEntry = m_current != nullptr && m_current->tableIndex >= 0 &&
                             static_cast<uint32_t>(m_current->tableIndex) < count
                         ? &m_table[m_current->tableIndex]
                         : nullptr;
    return 0;
}

int CTgsScriptStore::TableIndexOf(const char* name) const
{
    const std::string base = ScriptBaseName(name);
    for (uint32_t i = 0; i < m_tableCount; ++i) {
        if (m_table[i].name == base)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- loading ----

TobScript* CTgsScriptStore::MakeScript(const char* name, const uint8_t* data, size_t size, int* result)
{
    *result = kTobLoadDamaged;
    if (data == nullptr || size < 4 || name == nullptr ||
        (std::memcmp(data, "TOB0", 4) != 0 && std::memcmp(data, "TOB1", 4) != 0))
        return nullptr;
    int index = -1;
    if (m_table != nullptr) {
        index = TableIndexOf(name);
        if (index < 0) {
            *result = kTobLoadNotInTable;
            return nullptr;
        }
    }
    std::string error;
    TobLayout layout;
    if (size >= CScriptMemory::kMaxSize || !CheckTobFile(data, size, &layout, &error))
        return nullptr;

    std::unique_ptr<TobScript> script(new (std::nothrow) TobScript);
    if (script == nullptr) {
        *result = kTobLoadNoMemory;
        return nullptr;
    }
    script->image = m_memory.Allocate(static_cast<uint32_t>(size) + 1, false);
    uint8_t* target =
        script->image != 0 ? m_memory.Span(script->image, static_cast<uint32_t>(size) + 1) : nullptr;
    if (target == nullptr) {
        if (script->image != 0)
            m_memory.Free(script->image);
        *result = kTobLoadNoMemory;
        return nullptr;
    }
    std::memcpy(target, data, size);
    target[size] = 0; // the end of the text area reads as NUL
    script->size = static_cast<uint32_t>(size);
    script->name = name;
    script->tableIndex = index;
    script->textOffset = layout.textOffset;
    script->textSize = layout.textSize;
    script->labelCount = layout.labelCount;
    script->labels = layout.labels;
    script->labelsEnd = layout.labelsEnd;
    script->messageCount = layout.messageCount;
    script->messages = layout.messages;
    script->messageWords = layout.messageWords;
    script->tob1 = layout.tob1;
    *result = kTobLoadOk;
    return script.release();
}

TobScript* CTgsScriptStore::ReadScript(const char* name, int* result)
{
    std::vector<uint8_t> bytes;
    if (name == nullptr || !ReadScriptFile(m_scriptFolder + name + ".TOB", &bytes)) {
        *result = kTobLoadOpenFailed;
        return nullptr;
    }
    return MakeScript(name, bytes.data(), bytes.size(), result);
}

int CTgsScriptStore::LoadScript(const char* name, bool preload)
{
    int result;
    TobScript* script = ReadScript(name, &result);
    if (script != nullptr)
        (preload ? m_preloaded : m_scriptStack).push_back(script);
    return result;
}

int CTgsScriptStore::LoadScriptBytes(const char* name, const uint8_t* data, size_t size, bool preload)
{
    int result;
    TobScript* script = MakeScript(name, data, size, &result);
    if (script != nullptr)
        (preload ? m_preloaded : m_scriptStack).push_back(script);
    return result;
}

void CTgsScriptStore::FreeScript(TobScript* script)
{
    if (script == nullptr)
        return;
    m_memory.Free(script->image);
    delete script;
}

void CTgsScriptStore::FreeAllScripts()
{
    for (TobScript* s : m_scriptStack)
        FreeScript(s);
    for (TobScript* s : m_preloaded)
        FreeScript(s);
    m_scriptStack.clear();
    m_preloaded.clear();
    m_current = nullptr;
    m_currentIndex = -1;
    m_currentEntry = nullptr;
    m_returnDepth = 0;
    m_cursor = 0;
}

void CTgsScriptStore::MakeCurrent(TobScript* script, int index)
{
    m_current = script;
    m_currentIndex = index;
    m_currentEntry = script != nullptr && script->tableIndex >= 0 &&
                             static_cast<uint32_t>(script->tableIndex) < m_tableCount
                         ? &m_table[script->tableIndex]
                         : nullptr;
}

int CTgsScriptStore::StartScript(const char* name)
{
    if (!m_scriptStack.empty())
        return 1;
    const int r = LoadScript(name, false);
    if (r != kTobLoadOk)
        return r + 1;
    MakeCurrent(m_scriptStack.back(), -1);
    m_cursor = 0;
    return 0;
}

int CTgsScriptStore::PreloadScript(const char* name)
{
    return LoadScript(name, true);
}

int CTgsScriptStore::ReleasePreloaded(const char* name)
{
    if (m_preloaded.empty())
        return 1;
    int position = static_cast<int>(m_preloaded.size()) - 1;
    if (name != nullptr) {
        position = -1;
        for (size_t i = 0; i < m_preloaded.size() && position < 0; ++i) {
            if (SameName(m_preloaded[i]->name, name))
                position = static_cast<int>(i);
        }
        if (position < 0)
            return 2;
    }
    if (m_current == m_preloaded[position])
        return 3;
    for (uint32_t i = 0; i < m_returnDepth; ++i) {
        if (m_returnStack[i].script == position)
            return 3;
    }
    FreeScript(m_preloaded[position]);
    m_preloaded.erase(m_preloaded.begin() + position);
    for (uint32_t i = 0; i < m_returnDepth; ++i) {
        if (m_returnStack[i].script > position)
            --m_returnStack[i].script;
    }
    if (m_currentIndex > position)
        --m_currentIndex;
    return 0;
}

// ---- labels and messages ----

int64_t CTgsScriptStore::FindLabel(const TobScript* script, const char* label) const
{
    if (label == nullptr)
        return 0;
    if (script == nullptr)
        return -1;
    const uint8_t* image = m_memory.Span(script->image, script->size);
    if (image == nullptr)
        return -1;
    // The load checked every entry, but scripts may write anywhere in script memory: each entry
    // is checked again as it is read.
    const size_t labelLength = std::strlen(label);
    uint32_t at = script->labels;
    for (uint32_t i = 0; i < script->labelCount; ++i) {
        const uint32_t n = at < script->labelsEnd ? image[at] : 0;
        if (n < 5 || static_cast<uint64_t>(at) + 1 + n > script->labelsEnd)
            return -1;
        const char* name = reinterpret_cast<const char*>(image + at + 1);
        if (strnlen(name, n - 4) == labelLength && std::memcmp(name, label, labelLength) == 0) {
            const uint32_t offset = Word(image + at + 1 + n - 4);
            return offset <= script->textSize ? offset : -1;
        }
        at += n + 1;
    }
    return -1;
}

int64_t CTgsScriptStore::GetMessageOffset(const TobScript* script, uint32_t index) const
{
    uint32_t v;
    if (script == nullptr || index >= script->messageCount ||
        !m_memory.Load32(script->image + script->messages + 4 * index, &v))
        return -1;
    return v <= script->textSize ? v : -1; // rechecked: scripts may rewrite the image
}

bool CTgsScriptStore::GetMessageWord(const TobScript* script, uint32_t index, uint32_t* word) const
{
    return script != nullptr && script->tob1 && index < script->messageCount &&
           m_memory.Load32(script->image + script->messageWords + 4 * index, word);
}

bool CTgsScriptStore::IsMessageRead(uint32_t bit) const
{
    return m_currentEntry != nullptr && m_currentEntry->readBits.GetBit(bit);
}

int CTgsScriptStore::SetMessageRead(uint32_t bit)
{
    return m_currentEntry != nullptr && m_currentEntry->readBits.SetBit(bit, 1) == 0 ? 0 : -1;
}

uint32_t CTgsScriptStore::GetMessageCount(const char* name) const
{
    uint32_t total = 0;
    for (uint32_t i = 0; i < m_tableCount; ++i) {
        if (name == nullptr || SameName(m_table[i].name, name))
            total += m_table[i].readBits.GetBitCount();
    }
    return total;
}

uint32_t CTgsScriptStore::GetReadMessageCount(const char* name) const
{
    uint32_t total = 0;
    for (uint32_t i = 0; i < m_tableCount; ++i) {
        if (name == nullptr || SameName(m_table[i].name, name))
            total += m_table[i].readBits.CountSet();
    }
    return total;
}

bool CTgsScriptStore::IsAllRead(const char* name) const
{
    bool any = false;
    for (uint32_t i = 0; i < m_tableCount; ++i) {
        if (name != nullptr && !SameName(m_table[i].name, name))
            continue;
        any = true;
        if (!m_table[i].readBits.AllSet())
            return false;
    }
    return any;
}

// ---- calls, jumps, returns ----

bool CTgsScriptStore::SelectScript(const char* name, bool freeOld)
{
    TobScript* old = m_current;
    const bool oldOnStack = m_currentIndex == -1 && old != nullptr;
    for (size_t i = 0; i < m_preloaded.size(); ++i) {
        if (SameName(m_preloaded[i]->name, name)) {
            MakeCurrent(m_preloaded[i], static_cast<int>(i));
            if (freeOld && oldOnStack && old != m_preloaded[i]) {
                FreeScript(old);
                m_scriptStack.erase(std::find(m_scriptStack.begin(), m_scriptStack.end(), old));
            }
            return true;
        }
    }
    int result;
    TobScript* script = ReadScript(name, &result);
    if (script == nullptr)
        return false;
    if (freeOld && oldOnStack) {
        FreeScript(old);
        m_scriptStack.erase(std::find(m_scriptStack.begin(), m_scriptStack.end(), old));
    }
    m_scriptStack.push_back(script);
    MakeCurrent(script, -1);
    return true;
}

uint32_t CTgsScriptStore::Resolve(const char* label, uint32_t offset) const
{
    if (m_current == nullptr)
        return 0;
    if (label != nullptr) {
        const int64_t at = FindLabel(m_current, label);
        return at < 0 ? 0 : m_current->TextAddress() + static_cast<uint32_t>(at);
    }
    return offset <= m_current->textSize ? m_current->TextAddress() + offset : 0;
}

uint32_t CTgsScriptStore::CallLabel(const char* script, const char* label, uint32_t offset)
{
    // The original's stack had no end: a 129th nested call is refused.
    if (m_current == nullptr || m_returnDepth >= kReturnStackSize)
        return 0;
    m_returnStack[m_returnDepth++] = {script != nullptr ? m_currentIndex : -2, m_cursor};
    if (script != nullptr && !SelectScript(script, false)) {
        --m_returnDepth;
        return 0;
    }
    return Resolve(label, offset);
}

uint32_t CTgsScriptStore::JumpLabel(const char* script, const char* label, uint32_t offset)
{
    if (script != nullptr && !SelectScript(script, true))
        return 0;
    return Resolve(label, offset);
}

uint32_t CTgsScriptStore::ReturnFromLabel(const char* script, const char* label, uint32_t offset)
{
    if (m_returnDepth == 0 || m_current == nullptr)
        return 0;
    const ReturnEntry entry = m_returnStack[--m_returnDepth];
    if (entry.script != -2) {
        // The target is found before anything is freed; a missing one leaves the current script.
        const bool freeCurrent = m_currentIndex == -1;
        TobScript* target = nullptr;
        if (entry.script >= 0) {
            if (static_cast<size_t>(entry.script) >= m_preloaded.size())
                return 0;
            target = m_preloaded[entry.script];
        } else {
            const size_t needed = freeCurrent ? 2 : 1;
            if (m_scriptStack.size() < needed || entry.script != -1)
                return 0;
            target = m_scriptStack[m_scriptStack.size() - needed];
        }
        if (freeCurrent && target != m_current) {
            TobScript* old = m_current;
            m_scriptStack.erase(std::find(m_scriptStack.begin(), m_scriptStack.end(), old));
            FreeScript(old);
        }
        MakeCurrent(target, entry.script);
    }
    if (script != nullptr && !SelectScript(script, true))
        return 0;
    if (label != nullptr)
        return Resolve(label, 0);
    if (offset == 0)
        return Resolve(nullptr, entry.offset);
    return Resolve(nullptr, offset == 0xFFFFFFFFu ? 0 : offset);
}

// ---- saved state ----

uint32_t CTgsScriptStore::GetStateSize()
{
    uint64_t size = 4 + 4 + 4 + 8ull * m_returnDepth + 8;
    for (const TobScript* s : m_scriptStack)
        size += s->name.size() + 3;
    for (const TobScript* s : m_preloaded)
        size += s->name.size() + 3;
    return static_cast<uint32_t>(size);
}

int CTgsScriptStore::SaveState(uint8_t** cursor, size_t* left)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr)
        return 1;
    const uint32_t size = GetStateSize();
    if (size > *left)
        return 3;
    std::vector<uint8_t> out;
    out.reserve(size);
    for (const std::vector<TobScript*>* list : {&m_scriptStack, &m_preloaded}) {
        PutU32(out, static_cast<uint32_t>(list->size()));
        for (const TobScript* s : *list) {
            const uint32_t n = static_cast<uint32_t>(s->name.size() + 1);
            out.push_back(static_cast<uint8_t>(n));
            out.push_back(static_cast<uint8_t>(n >> 8));
            out.insert(out.end(), s->name.c_str(), s->name.c_str() + n);
        }
    }
    PutU32(out, m_returnDepth);
    for (uint32_t i = 0; i < m_returnDepth; ++i) {
        PutU32(out, static_cast<uint32_t>(m_returnStack[i].script));
        PutU32(out, m_returnStack[i].offset);
    }
    PutU32(out, static_cast<uint32_t>(m_currentIndex));
    PutU32(out, m_cursor);
    std::memcpy(*cursor, out.data(), out.size());
    *cursor += out.size();
    *left -= out.size();
    return 0;
}

CTgsScriptStore::StagedState::~StagedState()
{
    for (auto& list : m_lists)
        for (TobScript* s : list)
            if (s != nullptr && m_owner != nullptr)
                m_owner->FreeScript(s);
}

int CTgsScriptStore::LoadState(const uint8_t** cursor, size_t* left)
{
    StagedState staged;
    const int r = StageState(cursor, left, &staged);
    if (r == 0)
        CommitState(staged);
    return r;
}

int CTgsScriptStore::ParseState(const uint8_t** cursor, size_t* left, StateInfo* info)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr || info == nullptr)
        return 1;
    ByteReader in(*cursor, *left);
    for (auto& list : info->lists) {
        uint32_t count;
        if (!in.U32(&count) || count > in.Left() / 3)
            return 2;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t n;
            const uint8_t* name;
            if (!in.U16(&n) || n == 0 || !in.Take(n, &name) || name[n - 1] != 0)
                return 2;
            list.emplace_back(reinterpret_cast<const char*>(name));
        }
    }
    uint32_t depth;
    if (!in.U32(&depth) || depth > kReturnStackSize)
        return 2;
    for (uint32_t i = 0; i < depth; ++i) {
        uint32_t index, offset;
        if (!in.U32(&index) || !in.U32(&offset))
            return 2;
        info->returns.emplace_back(static_cast<int32_t>(index), offset);
    }
    uint32_t currentIndex;
    if (!in.U32(&currentIndex) || !in.U32(&info->textCursor))
        return 2;
    info->currentIndex = static_cast<int32_t>(currentIndex);
    *cursor += in.Position();
    *left -= in.Position();
    return 0;
}

int CTgsScriptStore::StageState(const uint8_t** cursor, size_t* left, StagedState* staged)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr || staged == nullptr)
        return 1;
    // Every script is loaded and every index and offset checked before anything changes.
    const uint8_t* at = *cursor;
    size_t rest = *left;
    StateInfo info;
    if (const int r = ParseState(&at, &rest, &info); r != 0)
        return r;
    staged->m_owner = this;
    for (int k = 0; k < 2; ++k) {
        for (const std::string& name : info.lists[k]) {
            int result;
            TobScript* s = ReadScript(name.c_str(), &result);
            if (s == nullptr)
                return 2;
            staged->m_lists[k].push_back(s);
        }
    }
    const std::vector<TobScript*>& stack = staged->m_lists[0];
    const std::vector<TobScript*>& preloaded = staged->m_lists[1];
    auto scriptOf = [&](int32_t index) -> TobScript* {
        if (index == -1)
            return stack.empty() ? nullptr : stack.back();
        return index >= 0 && static_cast<size_t>(index) < preloaded.size() ? preloaded[index] : nullptr;
    };
    TobScript* current = scriptOf(info.currentIndex);
    if (current == nullptr)
        return 3;
    if (info.textCursor > current->textSize)
        return 2;
    for (const auto& [script, offset] : info.returns) {
        if (script == -2)
            continue;
        TobScript* s = scriptOf(script);
        if (s == nullptr)
            return 3;
        if (offset > s->textSize)
            return 2;
    }
    staged->m_current = current;
    staged->m_currentIndex = info.currentIndex;
    staged->m_textCursor = info.textCursor;
    staged->m_returns = std::move(info.returns);
    *cursor = at;
    *left = rest;
    return 0;
}

void CTgsScriptStore::CommitState(StagedState& staged)
{
    if (staged.m_current == nullptr)
        return;
    for (TobScript* s : m_scriptStack)
        FreeScript(s);
    for (TobScript* s : m_preloaded)
        FreeScript(s);
    m_scriptStack = std::move(staged.m_lists[0]);
    m_preloaded = std::move(staged.m_lists[1]);
    staged.m_lists[0].clear();
    staged.m_lists[1].clear();
    for (size_t i = 0; i < staged.m_returns.size(); ++i)
        m_returnStack[i] = {staged.m_returns[i].first, staged.m_returns[i].second};
    m_returnDepth = static_cast<uint32_t>(staged.m_returns.size());
    MakeCurrent(staged.m_current, staged.m_currentIndex);
    m_cursor = staged.m_textCursor;
    staged.m_current = nullptr;
}

// ---- read log ----

bool CTgsScriptStore::SetReadLogFile(const char* name)
{
    if (name == nullptr)
        return false;
    m_readLogFile = name;
    return true;
}

int CTgsScriptStore::SaveReadLog(const char* name)
{
    if (name == nullptr)
        name = m_readLogFile.empty() ? nullptr : m_readLogFile.c_str();
    if (name == nullptr)
        return 1;
    if (m_table == nullptr)
        return 2;
    return WriteFileReplacing(m_readLogFolder + name, BuildTextLog()) ? 0 : 3;
}

int CTgsScriptStore::LoadReadLog(const char* name)
{
    if (name == nullptr)
        name = m_readLogFile.empty() ? nullptr : m_readLogFile.c_str();
    if (name == nullptr)
        return 1;
    if (m_table == nullptr)
        return 0;
    std::vector<uint8_t> bytes;
    if (!ReadScriptFile(m_readLogFolder + name, &bytes))
        return 1;
    return MergeTextLog(bytes.data(), bytes.size());
}
