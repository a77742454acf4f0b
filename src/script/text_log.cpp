#include "script/text_log.h"

#include <algorithm>
#include <cstring>
#include <utility>


namespace {

// A bounded little-endian reader.
class ByteReader {
public:
    ByteReader(const uint8_t* p, size_t n) : m_p(p), m_left(n) {}
    const uint8_t* Take(size_t n)
    {
        if (n > m_left)
            return nullptr;
        const uint8_t* p = m_p;
        m_p += n;
        m_left -= n;
        return p;
    }
    bool U8(uint8_t* v)
    {
        const uint8_t* p = Take(1);
        if (p != nullptr)
            *v = *p;
        return p != nullptr;
    }
    bool U32(uint32_t* v)
    {
        const uint8_t* p = Take(4);
        if (p != nullptr)
            std::memcpy(v, p, 4);
        return p != nullptr;
    }
    size_t Remaining() const { return m_left; }

private:
    const uint8_t* m_p;
    size_t m_left;
};

bool IsLead(uint8_t c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

void PutU8(uint8_t*& p, uint8_t v)
{
    *p++ = v;
}

void PutU32(uint8_t*& p, uint32_t v)
{
    std::memcpy(p, &v, 4);
    p += 4;
}

void PutText(uint8_t*& p, const std::string& s)
{
    // A length byte of 0 stands for none; otherwise the text and its NUL.
    if (s.empty()) {
        PutU8(p, 0);
        return;
    }
    PutU8(p, static_cast<uint8_t>(s.size() + 1));
    std::memcpy(p, s.data(), s.size());
    p += s.size();
    *p++ = 0;
}

// Reads a u8-counted text with its NUL → false when damaged.
bool ReadText(ByteReader& in, std::string* out)
{
    uint8_t n = 0;
    if (!in.U8(&n))
        return false;
    out->clear();
    if (n == 0)
        return true;
    const uint8_t* bytes = in.Take(n);
    if (bytes == nullptr || bytes[n - 1] != 0 || std::memchr(bytes, 0, n - 1) != nullptr)
        return false;
    out->assign(reinterpret_cast<const char*>(bytes), n - 1);
    return true;
}

} // namespace

std::string CutSjis(const char* text, size_t max)
{
    if (text == nullptr)
        return {};
    size_t i = 0;
    while (text[i] != 0) {
        const size_t n = IsLead(static_cast<uint8_t>(text[i])) && text[i + 1] != 0 ? 2 : 1;
        if (i + n > max)
            break;
        i += n;
    }
    return std::string(text, i);
}

TextLogEntry* CTextLog::Slot(int32_t i) const
{
    if (i < 0 || i >= m_count || m_ring.empty())
        return nullptr;
    const int32_t slot = m_count < m_capacity ? i : (m_start + i) % m_capacity;
    return m_ring[static_cast<size_t>(slot)].get();
}

const TextLogEntry* CTextLog::GetEntry(int32_t i) const
{
    return Slot(i);
}

TextLogEntry* CTextLog::FindSerial(uint32_t serial) const
{
    for (int32_t i = 0; i < m_count; ++i) {
        TextLogEntry* e = Slot(i);
        if (e != nullptr && e->serial == serial)
            return e;
    }
    return nullptr;
}

int CTextLog::SetCapacity(int32_t n)
{
    if (n == m_capacity)
        return 0;
    m_open = false;
    m_openIndex = -1;
    if (n < 1) {
        m_ring.clear();
        m_capacity = 0;
        m_count = 0;
        m_start = 0;
        return 0;
    }
    std::vector<std::unique_ptr<TextLogEntry>> ring(static_cast<size_t>(n));
    const int32_t keep = std::min(m_count, n);
    for (int32_t i = 0; i < keep; ++i) {
        const int32_t from = m_count - keep + i;
        const int32_t slot = m_count < m_capacity ? from : (m_start + from) % m_capacity;
        ring[static_cast<size_t>(i)] = std::move(m_ring[static_cast<size_t>(slot)]);
    }
    m_ring = std::move(ring);
    m_capacity = n;
    m_count = keep;
    m_start = 0;
    return 0;
}

TextLogEntry* CTextLog::NewEntry(uint8_t type)
{
    auto entry = std::make_unique<TextLogEntry>();
    entry->type = type;
    return Adopt(std::move(entry));
}

TextLogEntry* CTextLog::Adopt(std::unique_ptr<TextLogEntry> entry)
{
    entry->serial = m_nextSerial++;
    TextLogEntry* raw = entry.get();
    if (m_count < m_capacity) {
        m_ring[static_cast<size_t>(m_count)] = std::move(entry);
        ++m_count;
    } else {
        if (m_open && m_ring[static_cast<size_t>(m_start)]->serial == m_openSerial) {
            m_open = false;
            m_openIndex = -1;
        }
        m_ring[static_cast<size_t>(m_start)] = std::move(entry);
        m_start = (m_start + 1) % m_capacity;
    }
    return raw;
}

int CTextLog::AddMessage(const uint8_t* data, uint32_t size, uint32_t layoutHeight, const char* name,
                         const char* voice, uint8_t group)
{
    if (data == nullptr)
        return 1;
    if (m_capacity < 1)
        return 2;
    TextLogEntry* e = NewEntry(0);
    e->message.name = CutSjis(name, kMaxName);
    e->message.voice = CutSjis(voice, kMaxName);
    e->message.data.assign(data, data + size);
    e->message.layoutHeight = layoutHeight;
    e->message.group = group;
    return 0;
}

int CTextLog::BeginChoices(int32_t n)
{
    if (n < 1)
        return 1;
    if (m_capacity < 1)
        return 2;
    if (m_open)
        return 3;
    TextLogEntry* e = NewEntry(1);
    e->choices.flags.assign(static_cast<size_t>(n), 0);
    e->choices.texts.assign(static_cast<size_t>(n), std::string());
    m_open = true;
    m_openSerial = e->serial;
    m_openIndex = 0;
    return 0;
}

int CTextLog::AddChoice(const char* text, uint8_t flag)
{
    if (text == nullptr)
        return 1;
    TextLogEntry* e = m_open ? FindSerial(m_openSerial) : nullptr;
    if (e == nullptr)
        return 2;
    if (m_openIndex >= static_cast<int32_t>(e->choices.texts.size()))
        return 3;
    e->choices.flags[static_cast<size_t>(m_openIndex)] = flag;
    e->choices.texts[static_cast<size_t>(m_openIndex)] = CutSjis(text, kMaxChoiceText);
    ++m_openIndex;
    return 0;
}

int CTextLog::EndChoices(uint32_t* serial)
{
    if (!m_open || m_openIndex < 1) {
        m_open = false;
        m_openIndex = -1;
        return 1;
    }
    if (serial != nullptr)
        *serial = m_openSerial;
    m_open = false;
    m_openIndex = -1;
    return 0;
}

bool CTextLog::SetSelectedChoice(uint32_t serial, int32_t index)
{
    TextLogEntry* e = FindSerial(serial);
    if (e == nullptr || e->type != 1)
        return false;
    e->choices.selected = index;
    return true;
}

int CTextLog::AddScene(const TextLogScene& scene)
{
    if (m_capacity < 1)
        return 2;
    TextLogEntry* e = NewEntry(2);
    e->scene = scene;
    e->scene.background = CutSjis(scene.background.c_str(), kMaxName);
    for (TextLogSceneItem& item : e->scene.items)
        item.name = CutSjis(item.name.c_str(), kMaxName);
    // The item count is one byte.
    if (e->scene.items.size() > 255)
        e->scene.items.resize(255);
    return 0;
}

void CTextLog::Clear()
{
    for (auto& slot : m_ring)
        slot.reset();
    m_count = 0;
    m_start = 0;
    m_open = false;
    m_openIndex = -1;
}

template <typename Visit> void CTextLog::ForRange(uint32_t from, uint32_t to, Visit visit) const
{
    for (int32_t i = 0; i < m_count; ++i) {
        const TextLogEntry* e = Slot(i);
        if (e->serial >= from && e->serial <= to)
            visit(*e);
        if (e->serial == to)
            break;
    }
}

uint32_t CTextLog::EntrySize(const TextLogEntry& e) const
{
    auto text = [](const std::string& s) { return s.empty() ? 0u : static_cast<uint32_t>(s.size() + 1); };
    uint32_t n = 1;
    switch (e.type) {
    case 0:
        n += 1 + text(e.message.name) + 1 + text(e.message.voice) + 4 +
             static_cast<uint32_t>(e.message.data.size()) + 4 + 1;
        break;
    case 1:
        n += 8;
        for (const std::string& t : e.choices.texts)
            n += 1 + static_cast<uint32_t>(t.size()) + 2;
        break;
    default:
        n += 1 + text(e.scene.background) + 44 + 1;
        for (const TextLogSceneItem& item : e.scene.items)
            n += 1 + static_cast<uint32_t>(item.name.size()) + 1 + 36;
        break;
    }
    return n;
}

uint32_t CTextLog::GetSaveSize(uint32_t from, uint32_t to) const
{
    if (m_ring.empty())
        return 0;
    uint32_t n = 4;
    ForRange(from, to, [&](const TextLogEntry& e) { n += EntrySize(e); });
    return n;
}

int CTextLog::Save(uint8_t** cursor, uint32_t from, uint32_t to) const
{
    if (cursor == nullptr || *cursor == nullptr || m_ring.empty())
        return 1;
    uint8_t* p = *cursor;
    uint8_t* countAt = p;
    p += 4;
    uint32_t count = 0;
    ForRange(from, to, [&](const TextLogEntry& e) {
        ++count;
        PutU8(p, e.type);
        switch (e.type) {
        case 0:
            PutText(p, e.message.name);
            PutText(p, e.message.voice);
            PutU32(p, static_cast<uint32_t>(e.message.data.size()));
            if (!e.message.data.empty())
                std::memcpy(p, e.message.data.data(), e.message.data.size());
            p += e.message.data.size();
            PutU32(p, e.message.layoutHeight);
            PutU8(p, e.message.group);
            break;
        case 1:
            PutU32(p, static_cast<uint32_t>(e.choices.texts.size()));
            PutU32(p, static_cast<uint32_t>(e.choices.selected));
            for (size_t i = 0; i < e.choices.texts.size(); ++i) {
                const std::string& t = e.choices.texts[i];
                PutU8(p, static_cast<uint8_t>(t.size() + 2));
                PutU8(p, e.choices.flags[i]);
                std::memcpy(p, t.data(), t.size());
                p += t.size();
                *p++ = 0;
            }
            break;
        default:
            PutText(p, e.scene.background);
            for (int32_t w : e.scene.words)
                PutU32(p, static_cast<uint32_t>(w));
            PutU8(p, static_cast<uint8_t>(e.scene.items.size()));
            for (const TextLogSceneItem& item : e.scene.items) {
                // Items always carry a name (the frame takes only named sprites).
                PutU8(p, static_cast<uint8_t>(item.name.size() + 1));
                std::memcpy(p, item.name.data(), item.name.size());
                p += item.name.size();
                *p++ = 0;
                PutU32(p, static_cast<uint32_t>(item.x));
                PutU32(p, static_cast<uint32_t>(item.y));
                for (int32_t w : item.words)
                    PutU32(p, static_cast<uint32_t>(w));
            }
            break;
        }
    });
    std::memcpy(countAt, &count, 4);
    *cursor = p;
    return 0;
}

int CTextLog::Load(const uint8_t** cursor, const uint8_t* end, bool apply)
{
    if (cursor == nullptr || *cursor == nullptr || end == nullptr || end < *cursor)
        return 1;
    // The whole blob is read and checked before the log is touched.
    ByteReader in(*cursor, static_cast<size_t>(end - *cursor));
    uint32_t count = 0;
    if (!in.U32(&count))
        return 2;
    // Every entry takes at least one byte.
    std::vector<std::unique_ptr<TextLogEntry>> entries;
    entries.reserve(std::min<size_t>(count, in.Remaining()));
    for (uint32_t k = 0; k < count; ++k) {
        entries.push_back(std::make_unique<TextLogEntry>());
        TextLogEntry& e = *entries.back();
        if (!in.U8(&e.type))
            return 2;
        if (e.type == 0) {
            uint32_t size = 0;
            if (!ReadText(in, &e.message.name) || !ReadText(in, &e.message.voice) || !in.U32(&size))
                return 2;
            const uint8_t* data = in.Take(size);
            if (data == nullptr || !in.U32(&e.message.layoutHeight) || !in.U8(&e.message.group))
                return 2;
            e.message.data.assign(data, data + size);
        } else if (e.type == 1) {
            uint32_t n = 0, selected = 0;
            if (!in.U32(&n) || !in.U32(&selected) || n > in.Remaining())
                return 2;
            e.choices.selected = static_cast<int32_t>(selected);
            for (uint32_t i = 0; i < n; ++i) {
                uint8_t k2 = 0;
                if (!in.U8(&k2) || k2 < 2)
                    return 2;
                const uint8_t* bytes = in.Take(k2);
                if (bytes == nullptr || bytes[k2 - 1] != 0 || std::memchr(bytes + 1, 0, k2 - 2) != nullptr)
                    return 2;
                e.choices.flags.push_back(bytes[0]);
                e.choices.texts.emplace_back(reinterpret_cast<const char*>(bytes + 1), k2 - 2u);
            }
            if (n == 0)
                return 2;
        } else if (e.type == 2) {
            if (!ReadText(in, &e.scene.background))
                return 2;
            for (int32_t& w : e.scene.words) {
                uint32_t v = 0;
                if (!in.U32(&v))
                    return 2;
                w = static_cast<int32_t>(v);
            }
            uint8_t items = 0;
            if (!in.U8(&items))
                return 2;
            for (uint8_t i = 0; i < items; ++i) {
                TextLogSceneItem item;
                uint32_t v[9];
                if (!ReadText(in, &item.name) || item.name.empty())
                    return 2;
                for (uint32_t& w : v) {
                    if (!in.U32(&w))
                        return 2;
                }
                item.x = static_cast<int32_t>(v[0]);
                item.y = static_cast<int32_t>(v[1]);
                for (size_t j = 0; j < 7; ++j)
                    item.words[j] = static_cast<int32_t>(v[2 + j]);
                e.scene.items.push_back(std::move(item));
            }
        } else {
            return 2;
        }
    }
    Clear();
    m_nextSerial = 0;
    *cursor = end - in.Remaining();
    if (!apply)
        return 0;
    // The entries move in whole. Their texts are within the lengths AddMessage, AddChoice and
    // AddScene cut to (the saved lengths are bytes), so nothing needs cutting.
    if (m_capacity < 1)
        return 0;
    for (std::unique_ptr<TextLogEntry>& e : entries)
        Adopt(std::move(e));
    return 0;
}

void CTextLog::Swap(CTextLog& other) noexcept
{
    std::swap(m_ring, other.m_ring);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_count, other.m_count);
    std::swap(m_start, other.m_start);
    std::swap(m_nextSerial, other.m_nextSerial);
    std::swap(m_openIndex, other.m_openIndex);
    std::swap(m_openSerial, other.m_openSerial);
    std::swap(m_open, other.m_open);
}
