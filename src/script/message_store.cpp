#include "script/message_store.h"

#include <algorithm>
#include <cstring>

#include "platform/param_tokenizer.h"
#include "script/byte_reader.h"

namespace {

bool IsLead(uint8_t c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

void PutU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// Copies at most size - 1 bytes of text into dst without splitting a character, with a NUL.
void CopyWhole(const std::string& text, char* dst, size_t size)
{
    if (dst == nullptr || size == 0)
        return;
    size_t n = 0;
    while (n < text.size()) {
        const size_t step = IsLead(static_cast<uint8_t>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + step > size - 1)
            break;
        n += step;
    }
    std::memcpy(dst, text.data(), n);
    dst[n] = 0;
}

} // namespace

CMessageStore::CMessageStore(CScriptMemory& memory) : m_memory(memory), m_choices(kDefaultChoiceCapacity) {}

CMessageStore::~CMessageStore() = default;

bool CMessageStore::IsMessageRead(uint8_t /*scope*/, uint16_t /*number*/)
{
    return false;
}

void CMessageStore::MarkMessageRead(uint8_t /*scope*/, uint16_t /*number*/) {}

// ---- messages ----

uint32_t CMessageStore::Limit(uint32_t address) const
{
    uint32_t start, size;
    if (m_memory.FindBlock(address, &start, &size))
        return start + size;
    return m_memory.Contains(address, 1) ? m_memory.End() : address;
}

std::string CMessageStore::Reference(uint32_t at, uint32_t limit) const
{
    uint8_t indirect = 0;
    uint32_t pointer = 0;
    std::string_view text;
    if (at + 5 > limit || !m_memory.Load8(at, &indirect) || !m_memory.Load32(at + 1, &pointer))
        return {};
    if (indirect != 0 && !m_memory.Load32(pointer, &pointer))
        return {};
    return m_memory.Str(pointer, &text) ? std::string(text) : std::string();
}

uint32_t CMessageStore::Expand(uint32_t address, uint32_t limit, bool name, std::string* out) const
{
    out->clear();
    uint32_t a = address;
    auto byteAt = [&](uint32_t at) {
        uint8_t v = 0;
        return at < limit && m_memory.Load8(at, &v) ? v : uint8_t(0);
    };
    while (a < limit) {
        const uint8_t c = byteAt(a);
        if (c == 0 || (name && c == '$'))
            break;
        if (c == '%') {
            // "%", u8 indirect flag, u32 pointer: a reference cut by the block's end ends the text.
            if (static_cast<uint64_t>(a) + 6 > limit)
                break;
            *out += Reference(a + 1, limit);
            a += 6;
            continue;
        }
        const uint8_t next = byteAt(a + 1);
        if (!name && c == '[' && a + 1 < limit) {
            if (next != 0) {
                out->push_back('[');
                out->push_back(static_cast<char>(next));
                a += 2;
                continue;
            }
            // An embedded block is copied as it stands: "[", 0, 4 bytes, u16 L, L bytes.
            if (static_cast<uint64_t>(a) + 8 > limit)
                break;
            const uint32_t length = byteAt(a + 6) | (byteAt(a + 7) << 8);
            if (static_cast<uint64_t>(a) + 8 + length > limit)
                break;
            const uint8_t* block = m_memory.Span(a, 8 + length);
            out->append(reinterpret_cast<const char*>(block), 8 + length);
            a += 8 + length;
            continue;
        }
        if (!name && c == '<' && next == '"') {
            // A quoted string tag is copied as it stands, "%" included.
            // A reference in it keeps its six bytes (its pointer may hold zero bytes).
            uint32_t q = a + 2;
            while (q < limit && byteAt(q) != '"' && byteAt(q) != 0)
                q += byteAt(q) == '%' && static_cast<uint64_t>(q) + 6 <= limit ? 6 : 1;
            if (q >= limit)
                break;
            const uint32_t end = byteAt(q) == '"' ? q + 1 : q;
            out->append(reinterpret_cast<const char*>(m_memory.Span(a, end - a)), end - a);
            a = end;
            continue;
        }
        const uint32_t n = IsLead(c) && next != 0 ? 2 : 1;
        out->push_back(static_cast<char>(c));
        if (n == 2)
            out->push_back(static_cast<char>(next));
        a += n;
    }
    return a;
}

int CMessageStore::SetMessage(uint32_t record)
{
    if (!m_messagesEnabled)
        return -1;
    uint8_t scope = 0, low = 0, high = 0;
    m_memory.Load8(record, &scope);
    m_memory.Load8(record + 1, &low);
    m_memory.Load8(record + 2, &high);
    m_readScope = scope;
    m_messageNumber = static_cast<uint16_t>(low | (high << 8));
    m_alreadyRead = IsMessageRead(m_readScope, m_messageNumber);

    const uint32_t text = record + 3;
    const uint32_t limit = Limit(text);
    uint8_t first = 0;
    m_hasName = m_memory.Load8(text, &first) && text < limit && first == '#';
    m_name.clear();
    uint32_t body = text;
    if (m_hasName) {
        uint32_t stop = Expand(text + 1, limit, true, &m_name);
        uint8_t c = 0;
        if (stop < limit && m_memory.Load8(stop, &c) && c == '$')
            m_memory.Store8(stop, 0); // so that setting the same record again gives the same result
        // The body starts after the terminator and the "$" and "&" that follow it; a record set
        // before has a NUL there.
        body = stop + 1;
        while (body < limit && m_memory.Load8(body, &c) && (c == '$' || c == '&'))
            ++body;
        if (stop >= limit)
            body = limit;
    }
    m_hasBody = true;
    Expand(body, limit, false, &m_body);

    StoreChoicesInHistory();
    AddHistoryEntry();
    m_cursor = 0;
    m_blockAt = -1;
    m_choicesStale = true;
    ResetDrawPosition();
    return 0;
}

void CMessageStore::Clear()
{
    m_hasName = m_hasBody = false;
    m_name.clear();
    m_body.clear();
    m_cursor = 0;
    m_tagString.clear();
    m_blockAt = -1;
    SetHistoryCapacity(static_cast<int32_t>(m_ring.size()));
    ClearChoices();
}

uint32_t CMessageStore::CopyLine(char* dst, size_t size, uint32_t n) const
{
    if (!m_hasName)
        return 0;
    std::string line;
    if (n == 0) {
        line = m_name;
        CopyWhole(line, dst, size);
        return static_cast<uint32_t>(line.size() + 1);
    }
    uint32_t index = 1;
    for (size_t i = 0; i <= m_name.size(); ++i) {
        if (i == m_name.size() || m_name[i] == '\\') {
            if (index == n)
                break;
            ++index;
            line.clear();
            continue;
        }
        line.push_back(m_name[i]);
        if (IsLead(static_cast<uint8_t>(m_name[i])) && i + 1 < m_name.size())
            line.push_back(m_name[++i]);
    }
    if (index != n || line.empty())
        return 0;
    CopyWhole(line, dst, size);
    return static_cast<uint32_t>(line.size() + 1);
}

// ---- choices ----

void CMessageStore::ClearChoices()
{
    for (auto& c : m_choices)
        c.reset();
    m_choiceCount = 0;
    m_choicesStale = false;
    m_choiceKind = 2;
    m_choiceBlock.clear();
    m_blockEntries.clear();
}

int CMessageStore::ReserveChoices(int32_t n)
{
    ClearChoices();
    // A script's count is not trusted with memory: a room past the numbering is never used.
    m_choices.assign(n < 1 ? 0 : static_cast<size_t>(n < kMaxChoices ? n : kMaxChoices), std::nullopt);
    return 1;
}

CMessageStore::HistoryEntry* CMessageStore::Entry(int32_t k) const
{
    const int32_t capacity = static_cast<int32_t>(m_ring.size());
    if (capacity == 0 || m_historyCount == 0)
        return nullptr;
    return m_ring[((m_writeIndex - m_historyCount + k) % capacity + capacity) % capacity].get();
}

CMessageStore::HistoryEntry* CMessageStore::Newest() const
{
    if (m_ring.empty() || m_historyCount == 0)
        return nullptr;
    const int32_t capacity = static_cast<int32_t>(m_ring.size());
    return m_ring[(m_writeIndex - 1 + capacity) % capacity].get();
}

int CMessageStore::Refuse() const
{
    if (!m_choicesEnabled)
        return -1;
    const HistoryEntry* newest = m_historyEnabled ? Newest() : nullptr;
    return newest != nullptr && !newest->block.empty() ? -2 : 0;
}

std::vector<size_t> CMessageStore::BlockEntries(const std::vector<uint8_t>& block, int32_t max)
{
    std::vector<size_t> entries;
    size_t at = 0;
    while (static_cast<int32_t>(entries.size()) < max && at < block.size()) {
        const size_t length = block[at];
        if (length < 3 || length > block.size() - at ||
            std::memchr(block.data() + at + 2, 0, length - 2) == nullptr)
            break;
        entries.push_back(at);
        at += length;
    }
    return entries;
}

int CMessageStore::SetChoices(uint32_t record)
{
    if (const int r = Refuse(); r != 0)
        return r;
    ClearChoices();
    uint8_t kind = 2, low = 0, high = 0, count = 0, expand = 0;
    m_memory.Load8(record, &kind);
    m_memory.Load8(record + 1, &low);
    m_memory.Load8(record + 2, &high);
    m_memory.Load8(record + 3, &count);
    m_memory.Load8(record + 4, &expand);
    m_choiceKind = kind;
    m_seenFlagBase = static_cast<uint16_t>(low | (high << 8));
    m_givenChoiceCount = count;
    const int32_t wanted = std::min<int32_t>(count, ChoiceCapacity());
    // The entries are copied from the record's memory block; one running past it ends the list.
    const uint32_t start = record + 5;
    const uint32_t limit = Limit(start);
    const uint8_t* bytes = limit > start ? m_memory.Span(start, limit - start) : nullptr;
    if (bytes != nullptr) {
        std::vector<uint8_t> all(bytes, bytes + (limit - start));
        m_blockEntries = BlockEntries(all, wanted);
        const size_t used = m_blockEntries.empty() ? 0 : m_blockEntries.back() + all[m_blockEntries.back()];
        m_choiceBlock.assign(all.begin(), all.begin() + used);
    }
    m_choiceCount = static_cast<int32_t>(m_blockEntries.size());
    if (expand != 0) {
        for (int32_t i = 0; i < m_choiceCount; ++i) {
            if (m_choiceBlock[m_blockEntries[i] + 1] == 0)
                continue;
            std::string text;
            Expand(start + static_cast<uint32_t>(m_blockEntries[i]) + 2, limit, false, &text);
            m_choices[i] = std::move(text);
        }
    }
    return 0;
}

int CMessageStore::AddChoice(const char* text)
{
    if (const int r = Refuse(); r != 0)
        return r;
    if (text == nullptr)
        return 1;
    if (m_choicesStale)
        ClearChoices();
    if (m_choiceCount >= ChoiceCapacity())
        return 2;
    if (std::strlen(text) > kMaxChoiceLength)
        return 3;
    m_choices[m_choiceCount++] = std::string(text);
    return 0;
}

const char* CMessageStore::GetChoice(int32_t i) const
{
    if (i < 0 || i >= m_choiceCount)
        return nullptr;
    if (static_cast<size_t>(i) < m_choices.size() && m_choices[i].has_value())
        return m_choices[i]->c_str();
    if (static_cast<size_t>(i) < m_blockEntries.size())
        return reinterpret_cast<const char*>(m_choiceBlock.data() + m_blockEntries[i] + 2);
    return nullptr;
}

int CMessageStore::CopyChoice(int32_t i, char* dst, size_t size) const
{
    if (i < 0 || i >= m_choiceCount)
        return 1;
    const char* text = GetChoice(i);
    if (text == nullptr)
        return 2;
    const size_t length = std::strlen(text);
    if (dst == nullptr || size < length + 1)
        return 3;
    std::memcpy(dst, text, length + 1);
    return 0;
}

void CMessageStore::SetSelectedChoice(uint8_t i)
{
    HistoryEntry* newest = m_historyEnabled ? Newest() : nullptr;
    if (newest != nullptr && !newest->block.empty())
        newest->selected = i;
    else
        m_selectedChoice = i;
}

// ---- history ----

bool CMessageStore::SetHistoryCapacity(int32_t n)
{
    const size_t capacity = n < 1 ? 0 : static_cast<size_t>(n);
    m_ring.clear();
    m_ring.resize(capacity);
    m_historyCount = m_writeIndex = m_shownIndex = 0;
    return true;
}

int CMessageStore::StoreChoicesInHistory()
{
    if (m_choicesStale || m_choiceCount == 0)
        return 0;
    if (!m_historyEnabled || m_historyCount == 0)
        return -1;
    if (m_ring.empty())
        return 1;
    HistoryEntry* newest = Newest();
    if (!newest->block.empty())
        return 0;
    std::vector<uint8_t> block;
    for (int32_t i = 0; i < m_choiceCount; ++i) {
        if (static_cast<size_t>(i) < m_choices.size() && m_choices[i].has_value()) {
            // An entry's length is a byte: a longer (expanded) text keeps its first 252 bytes.
            std::string s = *m_choices[i];
            size_t keep = 0;
            while (keep < s.size()) {
                const size_t step = IsLead(static_cast<uint8_t>(s[keep])) && keep + 1 < s.size() ? 2 : 1;
                if (keep + step > kMaxChoiceLength)
                    break;
                keep += step;
            }
            s.resize(keep);
            block.push_back(static_cast<uint8_t>(s.size() + 3));
            block.push_back(0); // never read back
            block.insert(block.end(), s.begin(), s.end());
            block.push_back(0);
        } else if (static_cast<size_t>(i) < m_blockEntries.size()) {
            const size_t at = m_blockEntries[i];
            block.insert(block.end(), m_choiceBlock.begin() + at,
                         m_choiceBlock.begin() + at + m_choiceBlock[at]);
        } else {
            return 0; // a block choice without its packed block
        }
    }
    if (block.empty())
        return 0;
    newest->block = std::move(block);
    newest->choiceCount = static_cast<uint32_t>(m_choiceCount);
    newest->selected = m_selectedChoice;
    newest->kind = m_choiceKind;
    newest->seenBase = m_seenFlagBase;
    return 0;
}

int CMessageStore::AddHistoryEntry()
{
    if (!m_historyEnabled || m_ring.empty())
        return -1;
    auto entry = std::make_unique<HistoryEntry>();
    entry->hasName = m_hasName;
    entry->hasBody = m_hasBody;
    entry->name = m_name;
    entry->body = m_body;
    entry->scope = m_readScope;
    entry->number = m_messageNumber;
    const int32_t capacity = static_cast<int32_t>(m_ring.size());
    m_ring[m_writeIndex] = std::move(entry);
    m_writeIndex = (m_writeIndex + 1) % capacity;
    m_historyCount = std::min(m_historyCount + 1, capacity);
    m_shownIndex = m_historyCount - 1;
    return 0;
}

int CMessageStore::ShowEntry(int32_t i)
{
    StoreChoicesInHistory();
    m_choicesStale = true;
    for (auto& c : m_choices)
        c.reset();
    const HistoryEntry* e = i >= 0 && i < m_historyCount ? Entry(i) : nullptr;
    if (e == nullptr)
        return 1;
    m_hasName = e->hasName;
    m_hasBody = e->hasBody;
    m_name = e->name;
    m_body = e->body;
    m_cursor = 0;
    m_blockAt = -1;
    m_choiceBlock = e->block;
    m_blockEntries =
        BlockEntries(m_choiceBlock, static_cast<int32_t>(std::min<uint32_t>(e->choiceCount, 255)));
    m_choiceCount = static_cast<int32_t>(m_blockEntries.size());
    m_selectedChoice = e->selected;
    m_readScope = e->scope;
    m_messageNumber = e->number;
    m_choiceKind = e->kind;
    m_seenFlagBase = e->seenBase;
    m_alreadyRead = IsMessageRead(m_readScope, m_messageNumber);
    m_shownIndex = i;
    ResetDrawPosition();
    return 0;
}

int CMessageStore::ShowFirstEntry()
{
    return m_historyCount == 0 ? -1 : ShowEntry(0);
}

int CMessageStore::ShowLastEntry()
{
    return m_historyCount == 0 ? -1 : ShowEntry(m_historyCount - 1);
}

int CMessageStore::ShowPreviousEntry()
{
    return m_historyCount == 0 || m_shownIndex <= 0 ? -1 : ShowEntry(m_shownIndex - 1);
}

int CMessageStore::ShowNextEntry()
{
    return m_historyCount == 0 || m_shownIndex >= m_historyCount - 1 ? -1 : ShowEntry(m_shownIndex + 1);
}

int CMessageStore::ShowEntryClamped(int32_t i)
{
    return m_historyCount == 0 ? -1 : ShowEntry(std::clamp(i, 0, m_historyCount - 1));
}

int CMessageStore::MoveEntry(int32_t delta)
{
    if (m_historyCount == 0)
        return -1;
    const int64_t target = static_cast<int64_t>(m_shownIndex) + delta;
    return ShowEntry(static_cast<int32_t>(std::clamp<int64_t>(target, 0, m_historyCount - 1)));
}

// ---- parsing ----

void CMessageStore::MarkIfUnread()
{
    if (!m_alreadyRead)
        MarkMessageRead(m_readScope, m_messageNumber);
}

int CMessageStore::ReadTag(size_t at, bool store, size_t* end)
{
    if (At(at + 1) == '"') {
        size_t q = at + 2;
        while (At(q) != '"' && At(q) != 0)
            q += At(q) == '%' && q + 6 <= m_body.size() ? 6 : 1;
        if (At(q) != '"' || q == at + 2 || At(q + 1) != '>')
            return -1;
        if (store)
            m_tagString.assign(m_body, at + 2, q - at - 2);
        *end = q + 2;
        return 6;
    }
    CParamTokenizer tokenizer(m_body.c_str() + at + 1);
    int32_t value;
    if (tokenizer.GetInt(&value) != 0)
        return -1;
    const size_t after = static_cast<size_t>(tokenizer.GetPosition() - m_body.c_str());
    if (At(after) != '>')
        return -1;
    if (store)
        m_tagValue = value;
    *end = after + 1;
    return 7;
}

int CMessageStore::ParseNextToken()
{
    if (!m_hasBody)
        return -1;
    const uint8_t c = At(m_cursor);
    const bool atEnd = m_cursor >= m_body.size();
    switch (c) {
    case 0:
        if (atEnd) {
            MarkIfUnread();
            return 5;
        }
        ++m_cursor;
        return 0;
    case '$': {
        const uint8_t next = At(m_cursor + 1);
        ++m_cursor;
        if (next == '&' || next == 0) {
            MarkIfUnread();
            return next == '&' ? 2 : 3;
        }
        return 1;
    }
    case '&':
        ++m_cursor;
        MarkIfUnread();
        return 4;
    case '<': {
        if (At(m_cursor + 1) == '<') {
            m_cursor += 2;
            return 0;
        }
        size_t end;
        const int r = ReadTag(m_cursor, true, &end);
        if (r < 0)
            return -1;
        m_cursor = end + (At(end) == '\\' ? 1 : 0);
        return r;
    }
    case '[':
        if (m_cursor + 1 < m_body.size() && At(m_cursor + 1) == 0) {
            if (m_cursor + 8 > m_body.size())
                return -1;
            const size_t length = At(m_cursor + 6) | (At(m_cursor + 7) << 8);
            if (m_cursor + 8 + length > m_body.size())
                return -1;
            m_blockAt = static_cast<long>(m_cursor + 2);
            const size_t end = m_cursor + 8 + length;
            m_cursor = end + (At(end) == '\\' ? 1 : 0);
            return 8;
        }
        m_cursor += m_cursor + 1 < m_body.size() ? 2 : 1;
        return 0;
    default:
        m_cursor += IsLead(c) && m_cursor + 1 < m_body.size() ? 2 : 1;
        return 0;
    }
}

int CMessageStore::SkipToNextToken()
{
    if (!m_hasBody)
        return -1;
    while (m_cursor < m_body.size()) {
        const uint8_t c = At(m_cursor);
        if (c == '$' || c == '&' || c == '<' || c == 0)
            break;
        if (c == '[' && m_cursor + 1 < m_body.size() && At(m_cursor + 1) == 0)
            break;
        m_cursor += (IsLead(c) || c == '[') && m_cursor + 1 < m_body.size() ? 2 : 1;
    }
    if (At(m_cursor) == '<') {
        // No "<<" case here: it is read as a numeric tag.
        size_t end;
        const int r = ReadTag(m_cursor, true, &end);
        if (r < 0)
            return -1;
        m_cursor = end + (At(end) == '\\' ? 1 : 0);
        return r;
    }
    return ParseNextToken();
}

int CMessageStore::SeekTag(int32_t n)
{
    if (!m_hasBody)
        return -1;
    while (true) {
        const uint8_t c = At(m_cursor);
        if (m_cursor >= m_body.size()) {
            MarkIfUnread();
            return 2;
        }
        if (c == '&') {
            ++m_cursor;
            MarkIfUnread();
            return 1;
        }
        if (c == '<') {
            size_t end;
            const int r = ReadTag(m_cursor, n == 0, &end);
            if (r < 0)
                return -1;
            m_cursor = end;
            if (n == 0) {
                m_cursor += At(end) == '\\' ? 1 : 0;
                return r == 6 ? 3 : 4;
            }
            --n;
            continue;
        }
        if (c == '[' && m_cursor + 1 < m_body.size() && At(m_cursor + 1) == 0) {
            if (m_cursor + 8 > m_body.size())
                return -1;
            const size_t length = At(m_cursor + 6) | (At(m_cursor + 7) << 8);
            const size_t end = m_cursor + 8 + length;
            if (end > m_body.size())
                return -1;
            if (n == 0) {
                m_blockAt = static_cast<long>(m_cursor + 2);
                m_cursor = end + (At(end) == '\\' ? 1 : 0);
                return 8;
            }
            m_cursor = end;
            --n;
            continue;
        }
        m_cursor += (IsLead(c) || c == '[') && m_cursor + 1 < m_body.size() ? 2 : 1;
    }
}

// ---- saving ----

uint32_t CMessageStore::GetSaveSize()
{
    uint64_t size = 4;
    for (int32_t k = 0; k < m_historyCount; ++k) {
        const HistoryEntry* e = Entry(k);
        size += 15 + (e->hasName ? e->name.size() + 1 : 0) + (e->hasBody ? e->body.size() + 1 : 0);
        if (!e->block.empty())
            size += e->block.size() + 8;
    }
    return static_cast<uint32_t>(size);
}

int CMessageStore::Save(uint8_t** cursor, size_t* left)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr || GetSaveSize() > *left)
        return 1;
    std::vector<uint8_t> out;
    PutU32(out, m_ring.empty() ? 0 : static_cast<uint32_t>(m_historyCount));
    for (int32_t k = 0; k < m_historyCount; ++k) {
        const HistoryEntry* e = Entry(k);
        for (const auto& [has, text] : {std::pair{e->hasName, &e->name}, std::pair{e->hasBody, &e->body}}) {
            PutU32(out, has ? static_cast<uint32_t>(text->size() + 1) : 0);
            if (has) {
                out.insert(out.end(), text->begin(), text->end());
                out.push_back(0);
            }
        }
        out.push_back(e->scope);
        PutU16(out, e->number);
        PutU32(out, static_cast<uint32_t>(e->block.size()));
        if (e->block.empty())
            continue;
        out.insert(out.end(), e->block.begin(), e->block.end());
        PutU32(out, e->choiceCount);
        out.push_back(e->selected);
        out.push_back(e->kind);
        PutU16(out, e->seenBase);
    }
    std::memcpy(*cursor, out.data(), out.size());
    *cursor += out.size();
    *left -= out.size();
    return 0;
}

bool CMessageStore::ParseSaved(const uint8_t* data, size_t size, std::vector<HistoryEntry>* entries, size_t* used)
{
    // The whole blob is read and checked before the history changes.
    ByteReader in(data, size);
    uint32_t count;
    if (!in.U32(&count) || count > in.Left() / 15)
        return false;
    entries->assign(count, HistoryEntry{});
    for (HistoryEntry& e : *entries) {
        for (auto [has, text] : {std::pair{&e.hasName, &e.name}, std::pair{&e.hasBody, &e.body}}) {
            uint32_t size;
            const uint8_t* bytes;
            if (!in.U32(&size) || !in.Take(size, &bytes) || (size != 0 && bytes[size - 1] != 0))
                return false;
            *has = size != 0;
            if (size != 0)
                text->assign(reinterpret_cast<const char*>(bytes), size - 1);
        }
        uint32_t scope, number, blockSize;
        const uint8_t* block;
        if (!in.U8(&scope) || !in.U16(&number) || !in.U32(&blockSize) || !in.Take(blockSize, &block))
            return false;
        e.scope = static_cast<uint8_t>(scope);
        e.number = static_cast<uint16_t>(number);
        if (blockSize == 0)
            continue;
        e.block.assign(block, block + blockSize);
        uint32_t choices, selected, kind, base;
        if (!in.U32(&choices) || !in.U8(&selected) || !in.U8(&kind) || !in.U16(&base))
            return false;
        // Every entry of the block lies inside it.
        size_t covered = 0;
        for (size_t at : BlockEntries(e.block, INT32_MAX))
            covered = at + e.block[at];
        if (covered != blockSize)
            return false;
        e.choiceCount = choices;
        e.selected = static_cast<uint8_t>(selected);
        e.kind = static_cast<uint8_t>(kind);
        e.seenBase = static_cast<uint16_t>(base);
    }
    *used = in.Position();
    return true;
}

int CMessageStore::CheckSaved(const uint8_t** cursor, size_t* left) const
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr)
        return 1;
    std::vector<HistoryEntry> entries;
    size_t used = 0;
    if (!ParseSaved(*cursor, *left, &entries, &used))
        return 1;
    *cursor += used;
    *left -= used;
    return 0;
}

int CMessageStore::Load(const uint8_t** cursor, size_t* left, bool apply)
{
    if (cursor == nullptr || *cursor == nullptr || left == nullptr)
        return 1;
    std::vector<HistoryEntry> entries;
    size_t used = 0;
    if (!ParseSaved(*cursor, *left, &entries, &used))
        return 1;
    const size_t count = entries.size();
    *cursor += used;
    *left -= used;
    const int32_t capacity = static_cast<int32_t>(m_ring.size());
    SetHistoryCapacity(capacity);
    if (!apply || capacity == 0 || count == 0)
        return 0;
    const size_t skip = count > static_cast<uint32_t>(capacity) ? count - capacity : 0;
    for (size_t k = skip; k < entries.size(); ++k)
        m_ring[k - skip] = std::make_unique<HistoryEntry>(std::move(entries[k]));
    m_historyCount = static_cast<int32_t>(entries.size() - skip);
    m_writeIndex = m_historyCount % capacity;
    m_shownIndex = m_historyCount - 1;
    return 0;
}
