#include "sound/sound_fade_tasks.h"

#include <algorithm>
#include <cmath>
#include <new>

int32_t CSoundFadeTask::Step(uint32_t now)
{
    if (m_first == 2)
        return 1;
    if (m_first == 0) {
        m_first = 1;
        m_start = now;
    }
    if (!Tick(now - m_start))
        return 0;
    RunFinish();
    return 1;
}

void CSoundFadeTask::RunFinish()
{
    if (m_first == 2)
        return;
    m_first = 2;
    Finish();
}

int32_t CSoundFadeTask::Part(int32_t value, uint32_t e, uint32_t duration)
{
    if (duration == 0 || e >= duration)
        return value;
    return static_cast<int32_t>(int64_t{value} * e / duration);
}

namespace {

// Registers a task with delay 0 and period 0 (stepped on every pass); deletes it when refused.
bool Register(CTimerManager* scheduler, CTimedTask* task)
{
    if (!task)
        return false;
    if (scheduler->Add(task, 0, 0, 0) != 0) {
        delete task;
        return false;
    }
    return true;
}

void CancelMusicFades(CTimerManager* scheduler)
{
    scheduler->CancelKind(kMusicFadeKind);
    scheduler->CancelKind(kMusicCrossFadeKind);
}

bool SlotPlays(CMusicSlot* slot)
{
    return slot->stream.IsPlaying(nullptr, nullptr);
}

bool PiecePlays(CMusicSlot* slot, const char* main, const char* intro)
{
    return SameSoundName(slot->main, main) && (!intro || SameSoundName(slot->intro, intro)) && SlotPlays(slot);
}

} // namespace

// Music to a level.

CMusicFadeTask::CMusicFadeTask(int32_t target, uint32_t duration)
    : CSoundFadeTask(duration), m_target(std::clamp(target, 0, 100))
{}

int CMusicFadeTask::Start(CTimerManager* scheduler, CSoundManager* manager, CMusicSlot* slot, int32_t target,
                          uint32_t duration)
{
    if (!scheduler || !manager || !slot)
        return 1;
    CancelMusicFades(scheduler);
    auto* task = new (std::nothrow) CMusicFadeTask(target, duration);
    if (!task)
        return 2;
    task->m_manager = manager;
    task->m_slot = slot;
    task->m_startVolume = slot->volume;
    task->m_delta = slot->volume - task->m_target;
    if (!Register(scheduler, task))
        return 2;
    manager->m_musicFadeState = 1;
    return 0;
}

bool CMusicFadeTask::Tick(uint32_t e)
{
    if (!SlotPlays(m_slot) || e >= m_duration)
        return true;
    m_manager->SetMusicVolume(m_startVolume - Part(m_delta, e, m_duration), -1, false);
    return false;
}

void CMusicFadeTask::Finish()
{
    m_manager->SetMusicVolume(m_target, -1, false);
    m_manager->m_musicFadeState = 0;
}

// Music fade-in.

int CMusicFadeInTask::Start(CTimerManager* scheduler, CSoundManager* manager, CMusicSlot* slot, const char* main,
                            const char* intro, bool loop, uint32_t duration)
{
    if (!scheduler || !manager || !slot)
        return 1;
    // That piece already playing changes nothing, a running fade included.
    if (PiecePlays(slot, main, intro))
        return -1;
    CancelMusicFades(scheduler);
    const int32_t target = slot->volume;
    manager->SetMusicVolume(0, -1, false);
    const int r = manager->PlayMusic(main, intro, loop);
    if (r != 0) {
        manager->SetMusicVolume(target, -1, false);
        return r > 0 ? 2 : r;
    }
    auto* task = new (std::nothrow) CMusicFadeInTask(duration);
    if (task) {
        task->m_manager = manager;
        task->m_slot = slot;
        task->m_target = target;
    }
    if (!Register(scheduler, task)) {
        manager->SetMusicVolume(target, -1, false);
        return 3;
    }
    manager->m_musicFadeState = 2;
    return 0;
}

bool CMusicFadeInTask::Tick(uint32_t e)
{
    if (!SlotPlays(m_slot) || e >= m_duration)
        return true;
    m_manager->SetMusicVolume(Part(m_target, e, m_duration), -1, false);
    return false;
}

void CMusicFadeInTask::Finish()
{
    m_manager->SetMusicVolume(m_target, -1, false);
    m_manager->m_musicFadeState = 0;
}

// Music fade-out.

int CMusicFadeOutTask::Start(CTimerManager* scheduler, CSoundManager* manager, CMusicSlot* slot, uint32_t duration)
{
    if (!scheduler || !manager || !slot)
        return 1;
    CancelMusicFades(scheduler);
    if (!SlotPlays(slot)) {
        manager->StopMusic();
        return -1;
    }
    auto* task = new (std::nothrow) CMusicFadeOutTask(duration);
    if (task) {
        task->m_manager = manager;
        task->m_slot = slot;
        task->m_startVolume = slot->volume;
    }
    if (!Register(scheduler, task))
        return 2;
    manager->m_musicFadeState = 3;
    return 0;
}

bool CMusicFadeOutTask::Tick(uint32_t e)
{
    if (!SlotPlays(m_slot) || e >= m_duration)
        return true;
    m_manager->SetMusicVolume(m_startVolume - Part(m_startVolume, e, m_duration), -1, false);
    return false;
}

void CMusicFadeOutTask::Finish()
{
    m_manager->StopMusic();
    m_manager->SetMusicVolume(m_startVolume, -1, false); // ready for the next piece
    m_manager->m_musicFadeState = 0;
}

// Cross-fade: the old piece stays in the active slot, the new one waits in the other.

CMusicCrossFadeTask::CMusicCrossFadeTask(uint32_t duration, uint32_t overlap)
    : CSoundFadeTask(duration), m_overlap(std::min(overlap, duration))
{}

int CMusicCrossFadeTask::Start(CTimerManager* scheduler, CSoundManager* manager, const char* main, const char* intro,
                               int32_t volume, uint32_t duration, uint32_t overlap)
{
    if (!scheduler || !manager || !main)
        return 1;
    CScopedLock lock(manager->GetLock());
    CMusicSlot* old = manager->GetActiveSlot();
    if (PiecePlays(old, main, intro))
        return -1;
    CancelMusicFades(scheduler);
    const int32_t newTarget = volume < 0 ? old->volume : std::min(volume, 100);
    const int32_t oldVolume = old->volume;
    manager->SwapMusicSlots();
    CMusicSlot* next = manager->GetActiveSlot();
    manager->SetMusicVolume(0, -1, false);
    next->main.clear();
    next->intro.clear();
    next->pauseCount = 0;
    next->main = main;
    next->intro = intro ? intro : "";
    if (manager->IsMusicAudible()) {
        const int r = manager->OpenActiveSlot();
        if (r > 0) {
            next->main.clear();
            next->intro.clear();
            manager->SwapMusicSlots();
            return 2;
        }
    }
    next->loop = 1;
    manager->SetMusicPan(manager->GetMusicPan());
    if (!manager->IsMusicAudible()) {
        manager->SetMusicVolume(newTarget, -1, false);
        return -2;
    }
    manager->SwapMusicSlots();
    auto* task = new (std::nothrow) CMusicCrossFadeTask(duration, overlap);
    if (task) {
        task->m_manager = manager;
        task->m_newTarget = newTarget;
        task->m_oldVolume = oldVolume;
    }
    if (!Register(scheduler, task))
        return 3;
    manager->m_musicFadeState = 4;
    return 0;
}

bool CMusicCrossFadeTask::Tick(uint32_t e)
{
    const uint32_t startNew = m_duration - m_overlap;
    const uint32_t whole = 2 * m_duration - m_overlap;
    if (!m_started && e >= startNew) {
        m_manager->SwapMusicSlots();
        CMusicSlot* next = m_manager->GetActiveSlot();
        if (next->loop)
            next->stream.PlayLooped();
        else
            next->stream.Play();
        m_watched = next;
        m_started = true;
        m_manager->SwapMusicSlots();
    }
    if (m_started && e - startNew < m_duration) {
        m_manager->SwapMusicSlots();
        m_manager->SetMusicVolume(Part(m_newTarget, e - startNew, m_duration), -1, false);
        m_manager->SwapMusicSlots();
    }
    if ((!m_started || SlotPlays(m_watched)) && e < whole) {
        if (m_oldFading && e < m_duration) {
            m_manager->SetMusicVolume(m_oldVolume - Part(m_oldVolume, e, m_duration), -1, false);
        } else if (m_oldFading) {
            // The old piece ends without cancelling this task (StopMusic would cancel it and jump
            // the new piece to full volume).
            m_manager->StopActiveMusic(false);
            m_manager->GetActiveSlot()->volume = m_oldVolume;
            m_oldFading = false;
        }
        return false;
    }
    return true;
}

void CMusicCrossFadeTask::Finish()
{
    m_manager->StopActiveMusic(false);
    m_manager->GetActiveSlot()->volume = m_oldVolume;
    m_manager->SwapMusicSlots();
    m_manager->SetMusicVolume(m_newTarget, -1, false);
    m_manager->m_musicFadeState = 0;
}

// Ducking: down in 500 ms, hold while the voice plays, a pause of a second, up in a second.

int CMusicDuckTask::Start(CTimerManager* scheduler, CSoundManager* manager, int32_t channel, double ratio)
{
    // A ratio that is not a number could not lower anything sensibly.
    if (!scheduler || !manager || !std::isfinite(ratio) || ratio >= 1.0)
        return 1;
    if (!manager->IsChannelPlaying(channel))
        return -1;
    if (!manager->IsMusicPlaying())
        return -2;
    auto* prev = static_cast<CMusicDuckTask*>(scheduler->FindKind(kMusicDuckKind));
    auto* task = new (std::nothrow) CMusicDuckTask;
    if (!task)
        return 2;
    task->m_manager = manager;
    task->m_channel = channel;
    task->m_normal = prev ? prev->m_normal : manager->GetMusicScale();
    task->m_low = ratio >= 0 ? static_cast<int32_t>(task->m_normal * ratio) : task->m_normal >> 1;
    task->m_current = manager->GetMusicScale();
    if (!prev || prev->m_state <= 1 || prev->m_state == 4) {
        task->m_state = 0;
        task->m_drop = task->m_current - task->m_low;
    } else {
        task->m_state = 2;
    }
    if (prev) {
        prev->m_marked = true;
        scheduler->Cancel(prev);
    }
    const int32_t normal = task->m_normal;
    if (!Register(scheduler, task)) {
        manager->SetMusicVolume(-1, normal, false);
        return 2;
    }
    return 0;
}

int32_t CMusicDuckTask::Step(uint32_t now)
{
    if (m_first == 2)
        return 1;
    if (!m_manager->IsMusicPlaying()) {
        RunFinish();
        return 1;
    }
    const uint32_t e = now - m_start;
    switch (m_state) {
    case 0:
        m_start = now;
        m_state = 1;
        break;
    case 1:
        if (e > 499) {
            m_manager->SetMusicVolume(-1, m_current - m_drop, false);
            m_state = 2;
        } else {
            m_manager->SetMusicVolume(-1, m_current - static_cast<int32_t>(int64_t{m_drop} * e / 500), false);
        }
        break;
    case 2:
        if (!m_manager->IsChannelPlaying(m_channel)) {
            m_start = now;
            m_state = 3;
        }
        break;
    case 3:
        if (e > 1000) {
            m_start = now;
            m_drop = m_normal - m_low;
            m_state = 4;
        }
        break;
    default:
        if (e > 999) {
            RunFinish();
            return 1;
        }
        m_manager->SetMusicVolume(-1, static_cast<int32_t>(int64_t{m_drop} * e / 1000) + m_normal - m_drop, false);
        break;
    }
    m_first = 1;
    return 0;
}

void CMusicDuckTask::Finish()
{
    if (!m_marked)
        m_manager->SetMusicVolume(-1, m_normal, false);
}

// Channel fades.

namespace {

// The channel's current buffer after its previous fade was cancelled, or null.
CSoundBuffer* ChannelForFade(CTimerManager* scheduler, CSoundManager* manager, int32_t channel)
{
    CSoundChannel* c = manager->GetChannelRecord(channel);
    if (!c || !c->current)
        return nullptr;
    if (c->fadeTask)
        scheduler->Cancel(c->fadeTask);
    c->fadeTask = nullptr;
    return c->current;
}

void Remember(CSoundManager* manager, int32_t channel, CTimedTask* task, uint8_t flag)
{
    CSoundChannel* c = manager->GetChannelRecord(channel);
    c->fadeTask = task;
    task->SetOwnerSlot(&c->fadeTask);
    c->fadeFlag = flag;
}

} // namespace

CChannelFadeTask::CChannelFadeTask(int32_t target, uint32_t duration)
    : CSoundFadeTask(duration), m_target(std::clamp(target, 0, 100))
{}

int CChannelFadeTask::Start(CTimerManager* scheduler, CSoundManager* manager, int32_t channel, int32_t target,
                            uint32_t duration)
{
    if (!scheduler || !manager || !manager->GetChannelRecord(channel))
        return 1;
    CSoundBuffer* buffer = ChannelForFade(scheduler, manager, channel);
    if (!buffer)
        return 2;
    auto* task = new (std::nothrow) CChannelFadeTask(target, duration);
    if (task) {
        task->m_manager = manager;
        task->m_channel = channel;
        task->m_buffer = buffer;
        task->m_startVolume = manager->GetChannelRecord(channel)->volume;
        task->m_delta = task->m_startVolume - task->m_target;
    }
    if (!Register(scheduler, task))
        return 3;
    Remember(manager, channel, task, 1);
    return 0;
}

bool CChannelFadeTask::Tick(uint32_t e)
{
    if (!m_buffer->IsPlaying(nullptr, nullptr) || e >= m_duration)
        return true;
    m_manager->SetChannelVolume(m_channel, m_startVolume - Part(m_delta, e, m_duration), -1);
    return false;
}

void CChannelFadeTask::Finish()
{
    m_manager->SetChannelVolume(m_channel, m_target, -1);
    m_manager->SetChannelFadeFlag(m_channel, 0);
}

int CChannelFadeInTask::Start(CTimerManager* scheduler, CSoundManager* manager, const char* name, int32_t channel,
                              bool looped, uint32_t duration)
{
    if (!scheduler || !manager || !manager->GetChannelRecord(channel))
        return 1;
    if (name && manager->SetChannelSound(channel, name, 0, false) != 0)
        return 2;
    CSoundBuffer* buffer = ChannelForFade(scheduler, manager, channel);
    if (!buffer)
        return 3;
    const int32_t target = manager->GetChannelRecord(channel)->volume;
    manager->SetChannelVolume(channel, 0, -1);
    const int r = manager->StartChannel(channel, looped);
    if (r != 0) {
        manager->SetChannelVolume(channel, target, -1);
        return r > 0 ? 4 : r;
    }
    auto* task = new (std::nothrow) CChannelFadeInTask(duration);
    if (task) {
        task->m_manager = manager;
        task->m_channel = channel;
        task->m_buffer = buffer;
        task->m_target = target;
    }
    if (!Register(scheduler, task))
        return 5;
    Remember(manager, channel, task, 2);
    return 0;
}

bool CChannelFadeInTask::Tick(uint32_t e)
{
    if (!m_buffer->IsPlaying(nullptr, nullptr) || e >= m_duration)
        return true;
    m_manager->SetChannelVolume(m_channel, Part(m_target, e, m_duration), -1);
    return false;
}

void CChannelFadeInTask::Finish()
{
    m_manager->SetChannelVolume(m_channel, m_target, -1);
    m_manager->SetChannelFadeFlag(m_channel, 0);
}

int CChannelFadeOutTask::Start(CTimerManager* scheduler, CSoundManager* manager, int32_t channel, uint32_t duration)
{
    if (!scheduler || !manager || !manager->GetChannelRecord(channel))
        return 1;
    CSoundBuffer* buffer = ChannelForFade(scheduler, manager, channel);
    if (!buffer)
        return 2;
    if (!buffer->IsPlaying(nullptr, nullptr)) {
        manager->StopChannel(channel);
        return -1;
    }
    auto* task = new (std::nothrow) CChannelFadeOutTask(duration);
    if (task) {
        task->m_manager = manager;
        task->m_channel = channel;
        task->m_buffer = buffer;
        task->m_startVolume = manager->GetChannelRecord(channel)->volume;
    }
    if (!Register(scheduler, task))
        return 3;
    Remember(manager, channel, task, 3);
    return 0;
}

bool CChannelFadeOutTask::Tick(uint32_t e)
{
    if (!m_buffer->IsPlaying(nullptr, nullptr) || e >= m_duration)
        return true;
    m_manager->SetChannelVolume(m_channel, m_startVolume - Part(m_startVolume, e, m_duration), -1);
    return false;
}

void CChannelFadeOutTask::Finish()
{
    m_manager->StopChannel(m_channel);
    m_manager->SetChannelVolume(m_channel, m_startVolume, -1);
    m_manager->SetChannelFadeFlag(m_channel, 0);
}
