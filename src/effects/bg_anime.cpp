#include "effects/bg_anime.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "display/image_object.h"
#include "drawing/kad_file.h"
#include "drawing/scene.h"
#include "files/loader_thread.h"
#include "raster/image.h"
#include "winapi/picture_limit.h"

uint8_t g_bBgAnimeKeepTime = 0;

int SetBgAnimeFlag(const CEffectArgs& in, CEffectArgs*)
{
    g_bBgAnimeKeepTime = in.IntAt(0) != 0;
    return 0;
}

namespace {

constexpr uint32_t kNoSlot = 0xFFFFFFFFu;

} // namespace

CPluginEffect* CBgAnimeEffect::Create(DWORD)
{
    return new (std::nothrow) CBgAnimeEffect;
}

CBgAnimeEffect::CBgAnimeEffect() = default;

CBgAnimeEffect::~CBgAnimeEffect()
{
    // A failing command ends the task; the scene must not keep drawing a freed frame image.
    Stop();
    m_loader.reset();
}

uint32_t CBgAnimeEffect::EntryCount() const
{
    return m_kad != nullptr ? m_kad->GetEntryCount() : 0;
}

bool CBgAnimeEffect::IsFrame(int32_t entry) const
{
    return entry >= 0 && static_cast<uint32_t>(entry) < EntryCount() && m_kad->GetEntries()[entry].first >= 0;
}

std::string CBgAnimeEffect::RecordName(int32_t r) const
{
    const std::vector<uint8_t>& bytes = m_kad->GetRecords()[static_cast<size_t>(r)].bytes;
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return std::string(bytes.begin(), end);
}

int CBgAnimeEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    m_scene = target != nullptr ? target->GetScene() : nullptr;
    auto* kad = dynamic_cast<CKadFile*>(args.GetGroupFile(0));
    const char* folder = args.TextAt(1);
    if (manager == nullptr || m_scene == nullptr || kad == nullptr || folder == nullptr)
        return 1;
    if (m_kad != nullptr)
        return 2;
    // Checked before anything is made: an entry naming a record beyond the table, or groups with
    // more distinct files than a loader's slots, used to overrun them.
    const uint16_t groups = kad->GetGroupCount();
    if (groups == 0)
        return 1;
    const size_t records = kad->GetRecords().size();
    const KadEntry* entries = kad->GetEntries();
    size_t mostFiles = 0, longest = 0;
    std::vector<const std::vector<uint8_t>*> seen;
    for (uint32_t g = 0; g < groups; ++g) {
        const int32_t start = kad->GetGroupStart(g), end = kad->GetGroupEnd(g);
        if (start < 0 || end < start)
            return 1;
        seen.clear();
        for (int32_t i = start; i < end; ++i) {
            if (entries[i].first < 0)
                continue;
            if (static_cast<size_t>(entries[i].first) >= records)
                return 1;
            const std::vector<uint8_t>* name =
                &kad->GetRecords()[static_cast<size_t>(entries[i].first)].bytes;
            if (std::none_of(seen.begin(), seen.end(), [name](const auto* s) { return *s == *name; }))
                seen.push_back(name);
        }
        mostFiles = std::max(mostFiles, seen.size());
        longest = std::max(longest, static_cast<size_t>(end - start + 1));
    }
    if (mostFiles * 2 > 0xFFFF)
        return 1;
    const uint8_t* header = kad->GetHeader();
    const LONG width = header[0] | header[1] << 8, height = header[2] | header[3] << 8;
    // The header's two words could ask for 16 GB (65535 × 65535): past the picture limit it is damage.
    if (!PictureWithinLimit(width, height))
        return 2;
    m_frame.reset(new (std::nothrow) CImage);
    if (!m_frame || m_frame->Create(width, height, 32, 0) != 0) {
        m_frame.reset();
        return 2;
    }
    m_loader.reset(new (std::nothrow) CLoaderThread);
    if (!m_loader || m_loader->AllocSlots(static_cast<DWORD>(mostFiles * 2)) != 0) {
        m_loader.reset();
        m_frame.reset();
        return 2;
    }
    m_kad = kad;
    m_slotsPerBuffer = static_cast<uint32_t>(mostFiles);
    for (Buffer& buffer : m_buffers) {
        buffer = Buffer{};
        buffer.map.assign(longest, kNoSlot);
    }
    m_loader->SetFolder(folder);
    m_current = 0;
    m_state = kStopped;
    m_restartTiming = 1;
    m_wrap = static_cast<uint8_t>(args.IntAt(4)) != 0;
    if (args.IntAt(2) >= 0) {
        SetParams(0, args.IntAt(2), args.IntAt(3));
        if (args.IntAt(5) != 0 && SetParams(1) != 0)
            return 3;
    }
    if (manager->Add(this, 0, 0, 0) != 0)
        return 4;
    return 0;
}

int CBgAnimeEffect::Prepare(int32_t group, int buffer)
{
    if (group < 0 || group >= m_kad->GetGroupCount())
        return 1;
    // The loader reads the names of the batch before; they change only once it is idle.
    m_loader->WaitIdle();
    Buffer& b = m_buffers[buffer];
    b.group = group;
    b.names.clear();
    std::fill(b.map.begin(), b.map.end(), kNoSlot);
    const KadEntry* entries = m_kad->GetEntries();
    const int32_t start = m_kad->GetGroupStart(static_cast<uint32_t>(group));
    const int32_t end = m_kad->GetGroupEnd(static_cast<uint32_t>(group));
    for (int32_t i = start; i < end; ++i) {
        if (entries[i].first < 0)
            continue;
        std::string name = RecordName(entries[i].first);
        size_t k = std::find(b.names.begin(), b.names.end(), name) - b.names.begin();
        if (k == b.names.size())
            b.names.push_back(std::move(name));
        b.map[static_cast<size_t>(i - start)] = static_cast<uint32_t>(buffer) * m_slotsPerBuffer + k;
    }
    b.pointers.clear();
    for (const std::string& name : b.names)
        b.pointers.push_back(name.c_str());
    const DWORD first = static_cast<DWORD>(buffer) * m_slotsPerBuffer;
    m_loader->CloseSlots(first, m_slotsPerBuffer);
    if (!b.pointers.empty()) {
        m_loader->StartLoading(static_cast<WORD>(first), static_cast<WORD>(b.pointers.size()),
                               b.pointers.data());
        m_filesQueued += static_cast<uint32_t>(b.pointers.size());
    }
    return 0;
}

void CBgAnimeEffect::NextGroup()
{
    const int32_t groups = m_kad->GetGroupCount();
    m_group = m_group + 1 >= groups ? 0 : m_group + 1;
    m_loader->WaitIdle();
    const int left = m_current;
    m_current ^= 1;
    if (m_group + 1 < groups)
        Prepare(m_group + 1, left);
    else if (m_wrap)
        Prepare(0, left);
    else
        m_buffers[left].group = -1;
}

int CBgAnimeEffect::Execute(int32_t entry)
{
    const KadEntry& e = m_kad->GetEntries()[entry];
    if (e.first >= 0) {
        const Buffer& b = m_buffers[m_current];
        const int32_t start = m_kad->GetGroupStart(static_cast<uint32_t>(std::max(m_group, 0)));
        const int64_t at = int64_t{entry} - start;
        if (b.group == m_group && start >= 0 && at >= 0 && at < static_cast<int64_t>(b.map.size()) &&
            b.map[static_cast<size_t>(at)] != kNoSlot) {
            const DWORD slot = b.map[static_cast<size_t>(at)];
            const void* data = m_loader->GetSlotBuffer(slot);
            const DWORD size = m_loader->GetSlotSize(slot);
            if (data != nullptr && size != 0)
                m_frame->LoadFileAt(nullptr, data, size, e.x, e.y, false);
        }
        m_scene->InvalidateAll();
        return 0;
    }
    if (e.second <= 0) {
        if (m_kad->GetGroupCount() > 1)
            NextGroup();
        return -1;
    }
    if (e.second == 1) {
        m_mark = entry;
        m_break = 0;
        return -1;
    }
    if (e.second != 2)
        return 3;
    if (m_break) {
        m_break = 0;
        m_mark = -1;
        return -1;
    }
    if (m_mark < 0)
        return -1;
    m_entry = m_mark;
    uint32_t offset = 0;
    const int32_t markGroup = m_kad->FindGroup(static_cast<uint32_t>(m_mark), &offset);
    if (markGroup >= 0 && markGroup != m_group) {
        if (markGroup == m_buffers[m_current ^ 1].group) {
            m_group = markGroup - 1;
            NextGroup();
        } else {
            m_group = markGroup;
            m_current = 0;
            Prepare(markGroup, 0);
            m_loader->WaitIdle();
            Prepare(markGroup + 1, 1);
        }
    }
    return -1;
}

int CBgAnimeEffect::ShowCurrent()
{
    // Each entry at most once a call: a mark and a loop-back with no frame between used to spin
    // here for ever.
    std::vector<uint8_t> done(EntryCount(), 0);
    bool wrapped = false;
    for (;;) {
        if (m_entry < 0 || static_cast<uint32_t>(m_entry) >= EntryCount()) {
            if (!m_wrap) {
                m_state = kStopped;
                return 0;
            }
            if (wrapped) {
                m_state = kStopped;
                return -1;
            }
            wrapped = true;
            m_entry = 0;
            m_mark = -1;
            continue;
        }
        if (done[static_cast<size_t>(m_entry)]) {
            m_state = kStopped;
            return 3;
        }
        done[static_cast<size_t>(m_entry)] = 1;
        const int result = Execute(m_entry);
        if (result != -1)
            return result;
        ++m_entry;
    }
}

int CBgAnimeEffect::SetParamsV(const CEffectArgs& args)
{
    if (m_kad == nullptr)
        return 1;
    const int32_t operation = args.IntAt(0);
    if (operation < 0 || operation > 5)
        return 2;
    switch (operation) {
    case 0: {
        int32_t group = args.IntAt(1);
        if (group < 0 || group >= m_kad->GetGroupCount())
            group = 0;
        m_group = group;
        const int32_t start = m_kad->GetGroupStart(static_cast<uint32_t>(group));
        const int32_t end = m_kad->GetGroupEnd(static_cast<uint32_t>(group));
        const int32_t entry = args.IntAt(2);
        m_entry = entry >= 1 && entry > start && entry <= end ? entry : start;
        m_current = 0;
        Prepare(group, 0);
        m_mark = -1;
        m_state = kReady;
        return 0;
    }
    case 1: {
        if (m_state != kReady)
            return 3;
        m_loader->WaitIdle();
        Prepare(m_group + 1, 1);
        m_mark = -1;
        if (ShowCurrent() != 0)
            return 4;
        CSurface* shown = nullptr;
        m_scene->GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (shown != m_frame.get())
            m_scene->SetBackgroundImage(m_frame.get(), 0, 0, true);
        m_scene->InvalidateAll();
        m_state = kPlaying;
        return 0;
    }
    case 2:
        if (m_state != kPlaying)
            return 3;
        m_state = kPaused;
        return 0;
    case 3:
        if (m_state != kPaused)
            return 3;
        m_restartTiming = 1;
        m_state = kPlaying;
        return 0;
    case 4:
        Stop();
        return 0;
    default:
        if (m_mark < 0)
            return 3;
        m_break = 1;
        return 0;
    }
}

void CBgAnimeEffect::Stop()
{
    m_mark = -1;
    m_state = kStopped;
    if (m_scene != nullptr && m_frame) {
        CSurface* shown = nullptr;
        m_scene->GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (shown == m_frame.get())
            m_scene->SetBackgroundImage(nullptr, 0, 0, true);
    }
    if (m_loader)
        m_loader->Stop();
}

void CBgAnimeEffect::OnCancel()
{
    Stop();
}

int CBgAnimeEffect::QueryV(const CEffectArgs& in, CEffectArgs*)
{
    const int32_t question = in.IntAt(0, -1);
    if (m_kad == nullptr && question != 0)
        return -1;
    const KadEntry* entries = m_kad != nullptr ? m_kad->GetEntries() : nullptr;
    const int32_t count = static_cast<int32_t>(EntryCount());
    switch (question) {
    case 0:
        return m_state;
    case 1:
        return m_mark >= 0 && !m_break ? 1 : 0;
    case 2:
        return m_group;
    case 3:
        return m_entry;
    case 4:
        for (int32_t i = std::max(m_entry + 1, 0); i < count; ++i) {
            if (entries[i].first >= 0)
                continue;
            if (entries[i].second == 1)
                return i;
            if (entries[i].second <= 0)
                return -1;
        }
        return -1;
    case 5:
        for (int32_t g = std::max(m_group + 1, 0); g < m_kad->GetGroupCount(); ++g) {
            const int32_t start = m_kad->GetGroupStart(static_cast<uint32_t>(g));
            const int32_t end = m_kad->GetGroupEnd(static_cast<uint32_t>(g));
            for (int32_t i = start; i >= 0 && i <= end; ++i) {
                if (entries[i].first >= 0)
                    continue;
                if (entries[i].second == 1)
                    return g;
                if (entries[i].second <= 0)
                    break;
            }
        }
        return -1;
    default:
        return -1;
    }
}

int32_t CBgAnimeEffect::Step(uint32_t now)
{
    if (m_state != kPlaying)
        return 0;
    if (m_restartTiming) {
        m_restartTiming = 0;
        m_reference = now;
        return 0;
    }
    if (!IsFrame(m_entry))
        return 0;
    const KadEntry* entries = m_kad->GetEntries();
    // A frame whose time is 0 (or negative) is never left.
    auto timeOf = [entries](int32_t entry) {
        return static_cast<uint32_t>(std::max(entries[entry].second, 0));
    };
    uint32_t time = timeOf(m_entry);
    if (time == 0)
        return 0;
    uint32_t elapsed = now - m_reference;
    if (!g_bBgAnimeKeepTime) {
        if (elapsed < time)
            return 0;
        ++m_entry;
        const int result = ShowCurrent();
        m_reference = now;
        return result > 0 ? result : 0;
    }
    if (elapsed > 1000) {
        elapsed = time;
        m_reference = now - time;
    }
    const uint32_t count = EntryCount();
    bool moved = false;
    while (time != 0 && elapsed >= time) {
        elapsed -= time;
        m_reference += time;
        ++m_entry;
        moved = true;
        // Commands on the way run; a loop with no frame in it ends the play instead of spinning.
        uint32_t commands = 0;
        bool wrapped = false;
        while (!IsFrame(m_entry)) {
            if (static_cast<uint32_t>(m_entry) >= count) {
                if (!m_wrap || wrapped) {
                    m_state = kStopped;
                    return 0;
                }
                wrapped = true;
                m_entry = 0;
                m_mark = -1;
                continue;
            }
            if (++commands > count) {
                m_state = kStopped;
                return 3;
            }
            const int result = Execute(m_entry);
            if (result > 0)
                return result;
            ++m_entry;
        }
        time = timeOf(m_entry);
    }
    if (moved)
        Execute(m_entry);
    return 0;
}
