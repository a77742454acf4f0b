// The playing movie: clock and library thread (see movie_player.h).
#include "winapi/movie/movie_player.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "winapi/clock.h"
#include "winapi/kernel_file.h"
#include "winapi/movie/ffmpeg_calls.h"
#include "winapi/movie/movie_sound.h"

namespace winapi::movie {

namespace {

std::mutex g_playersMutex;
std::set<MoviePlayer*> g_players;

} // namespace

std::unique_ptr<MoviePlayer> MoviePlayer::Open(const char* path, IMovieReadStream* stream)
{
    const FfmpegCalls* av = OpenFfmpeg();
    if (av == nullptr)
        return nullptr;
    std::unique_ptr<MoviePlayer> player(new MoviePlayer);
    player->m_av = av;
    std::string linuxPath;
    if (stream != nullptr)
        player->m_stream = std::make_shared<SharedStream>(stream);
    else if (path == nullptr || !ResolvePath(path, &linuxPath))
        return nullptr;
    player->m_video = MovieSource::Open(linuxPath, player->m_stream, MediaType::Video);
    auto audio = MovieSource::Open(linuxPath, player->m_stream, MediaType::Audio);
    player->m_hasAudio = audio != nullptr;
    if (player->m_video == nullptr && audio == nullptr)
        return nullptr;
    const int64_t audioDuration = audio != nullptr ? audio->Duration() : 0;
    if (player->m_video != nullptr) {
        player->m_width = player->m_video->Width();
        player->m_height = player->m_video->Height();
        player->m_containerDuration = player->m_video->Duration();
    } else {
        player->m_videoEnded = true;
        player->m_containerDuration = audioDuration;
    }
    if (audio != nullptr)
        player->m_sound = MovieSound::Open(std::move(audio));
    player->m_outWidth = player->m_width;
    player->m_outHeight = player->m_height;
    player->m_show = av->av_frame_alloc();
    player->m_pending = av->av_frame_alloc();
    if (player->m_show == nullptr || player->m_pending == nullptr)
        return nullptr;
    return player;
}

MoviePlayer::~MoviePlayer()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_wakeups;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    {
        std::lock_guard lock(g_playersMutex);
        g_players.erase(this);
    }
    m_av->av_frame_free(&m_show);
    m_av->av_frame_free(&m_pending);
}

void MoviePlayer::Start(IMovieFrameTarget* frame0, IMovieFrameTarget* frame1)
{
    m_targets[0] = frame0;
    m_targets[1] = frame1;
    {
        std::lock_guard lock(g_playersMutex);
        g_players.insert(this);
    }
    m_thread = std::thread([this] { Thread(); });
}

void MoviePlayer::SetOutputSize(int width, int height)
{
    std::lock_guard lock(m_mutex);
    if (width <= 0 || height <= 0 || width > kMovieMaxSide || height > kMovieMaxSide)
        return;
    if (width == m_outWidth && height == m_outHeight)
        return;
    m_outWidth = width;
    m_outHeight = height;
    // The frame on show is converted again at the new size.
    if (m_video != nullptr) {
        ++m_generation;
        m_seekTo = PositionLocked(ClockMilliseconds());
        m_caughtUp = -1;
        m_backReady = false;
        m_videoEnded = false;
        ++m_wakeups;
    }
    m_wake.notify_all();
}

int64_t MoviePlayer::PositionLocked(uint64_t nowMs) const
{
    int64_t position = m_base;
    if (m_state == kMoviePlaying && nowMs > m_anchorMs)
        position += static_cast<int64_t>(static_cast<double>(nowMs - m_anchorMs) * 10000.0 * m_rate);
    if (m_videoEnded) {
        const int64_t end = m_video != nullptr ? m_lastEnd.load() : m_containerDuration;
        position = std::min(position, std::max<int64_t>(end, m_base));
    }
    return position;
}

bool MoviePlayer::AtEndLocked(uint64_t nowMs) const
{
    if (!m_videoEnded)
        return false;
    const int64_t end = m_video != nullptr ? m_lastEnd.load() : m_containerDuration;
    return PositionLocked(nowMs) >= end;
}

void MoviePlayer::Anchor(uint64_t nowMs)
{
    m_base = PositionLocked(nowMs);
    m_anchorMs = nowMs;
}

void MoviePlayer::Play()
{
    bool rewind = false;
    {
        std::lock_guard lock(m_mutex);
        const uint64_t now = ClockMilliseconds();
        rewind = AtEndLocked(now);
        ++m_wakeups;
        if (!rewind) {
            Anchor(now);
            m_state = kMoviePlaying;
            m_endPosted = false;
        }
    }
    if (rewind) {
        SetPosition(0);
        std::lock_guard lock(m_mutex);
        m_anchorMs = ClockMilliseconds();
        m_state = kMoviePlaying;
        m_endPosted = false;
        ++m_wakeups;
    }
    m_wake.notify_all();
    StartSound();
}

void MoviePlayer::StartSound()
{
    if (m_sound == nullptr)
        return;
    // On the virtual clock the sound is filled before the clock can move on.
    WaitIdle(30000);
    m_sound->Start();
}

void MoviePlayer::Pause()
{
    std::lock_guard lock(m_mutex);
    if (m_state == kMoviePlaying) {
        Anchor(ClockMilliseconds());
        m_state = kMoviePaused;
    }
    if (m_sound != nullptr)
        m_sound->Halt();
}

void MoviePlayer::Resume()
{
    bool resumed = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == kMoviePaused) {
            m_anchorMs = ClockMilliseconds();
            m_state = kMoviePlaying;
            resumed = true;
        }
        ++m_wakeups;
    }
    m_wake.notify_all();
    if (resumed)
        StartSound();
}

void MoviePlayer::Stop()
{
    std::lock_guard lock(m_mutex);
    Anchor(ClockMilliseconds());
    m_state = kMovieStopped;
    if (m_sound != nullptr)
        m_sound->Halt();
}

int64_t MoviePlayer::Position()
{
    std::lock_guard lock(m_mutex);
    return PositionLocked(ClockMilliseconds());
}

void MoviePlayer::SetPosition(int64_t position)
{
    {
        std::lock_guard lock(m_mutex);
        position = std::max<int64_t>(position, 0);
        m_base = position;
        m_anchorMs = ClockMilliseconds();
        ++m_generation;
        m_seekTo = position;
        m_caughtUp = -1;
        m_backReady = false;
        m_videoEnded = m_video == nullptr;
        m_endPosted = false;
        m_soundSeek = position;
        m_soundFilled = false;
        ++m_wakeups;
    }
    m_wake.notify_all();
}

int64_t MoviePlayer::Duration()
{
    std::lock_guard lock(m_mutex);
    if (m_containerDuration > 0)
        return m_containerDuration;
    return m_videoEnded ? m_lastEnd.load() : 0;
}

DWORD MoviePlayer::PlayState()
{
    std::lock_guard lock(m_mutex);
    if (m_state == kMoviePlaying && AtEndLocked(ClockMilliseconds()))
        return kMoviePaused;
    return m_state;
}

void MoviePlayer::SetVolume(LONG volume)
{
    if (m_sound != nullptr)
        m_sound->SetVolume(volume);
}

void MoviePlayer::SetBalance(double balance)
{
    if (m_sound != nullptr)
        m_sound->SetPan(static_cast<LONG>(std::clamp(balance, -1.0, 1.0) * 10000));
}

void MoviePlayer::SetRate(double rate)
{
    std::lock_guard lock(m_mutex);
    Anchor(ClockMilliseconds());
    m_rate = std::clamp(rate, 0.25, 2.0);
    if (m_sound != nullptr)
        m_sound->SetRate(m_rate);
}

bool MoviePlayer::WaitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    if (!IsVirtualClock() || !m_thread.joinable())
        return true;
    const uint64_t nowMs = ClockMilliseconds();
    ++m_wakeups;
    m_wake.notify_all();
    return m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        // The position is taken again each time: it stops at the end once the thread finds it.
        const int64_t now = PositionLocked(nowMs);
        const bool video = m_video == nullptr || (m_seekTo < 0 && m_caughtUp >= now && m_caughtUp >= 0);
        const bool sound = m_sound == nullptr || (m_soundSeek < 0 && m_soundFilled && m_soundFilledAt >= nowMs);
        return m_quit || (video && sound);
    });
}

int MoviePlayer::Prepare()
{
    // Generous: a stalled thread shows the old frame instead of hanging the game.
    WaitIdle(30000);
    std::lock_guard lock(m_mutex);
    // The frame image behind may already hold the next frame, converted ahead: it is shown once due.
    if (m_backReady && m_backPts <= PositionLocked(ClockMilliseconds())) {
        m_front = 1 - m_front;
        m_backReady = false;
        m_frontValid = true;
        // The image behind is free again: the thread converts the next frame into it while the
        // caller draws this one, instead of when that frame falls due.
        ++m_wakeups;
        m_wake.notify_all();
    }
    return m_frontValid ? m_front : -1;
}

bool MoviePlayer::IsAtEnd()
{
    std::lock_guard lock(m_mutex);
    return AtEndLocked(ClockMilliseconds());
}

void MoviePlayer::Convert(AVFrame* frame, int64_t dueAt, uint64_t generation)
{
    int back;
    int width;
    int height;
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
            return;
        back = 1 - m_front;
        m_backReady = false;
        width = m_outWidth;
        height = m_outHeight;
    }
    IMovieFrameTarget* target = m_targets[back];
    bool ok = false;
    if (target != nullptr) {
        target->LockFrame();
        ok = target->ResizeFrame(width, height) && target->FramePixels() != nullptr &&
             m_video->Convert(frame, target->FramePixels(), target->FramePitch(), width, height);
        target->UnlockFrame();
    }
    {
        std::lock_guard lock(m_mutex);
        if (ok && generation == m_generation) {
            m_backReady = true;
            m_backPts = dueAt;
        }
    }
}

bool MoviePlayer::DecodeNext(AVFrame* frame, int64_t* pts, uint64_t generation)
{
    if (!m_video->NextFrame(frame, pts)) {
        // Only the current reading ends the movie: a seek may have started another meanwhile.
        std::lock_guard lock(m_mutex);
        if (generation == m_generation && m_seekTo < 0)
            m_videoEnded = true;
        return false;
    }
    m_lastEnd = std::max(m_lastEnd.load(), *pts + m_video->FrameDuration());
    return true;
}

void MoviePlayer::CatchUp(int64_t now, uint64_t generation)
{
    const auto stale = [&] {
        std::lock_guard lock(m_mutex);
        return generation != m_generation || m_quit;
    };
    if (!m_havePending) {
        if (m_videoEnded || !DecodeNext(m_pending, &m_pendingPts, generation))
            return;
        m_havePending = true;
    }
    // The newest frame that has begun (late ones are skipped, never converted). The first frame
    // after opening or a seek is shown at once, also when it starts a little after the position
    // (streams that begin after the container's start).
    bool haveShow = false;
    int64_t showPts = 0;
    int64_t dueAt = 0;
    while (m_havePending && (m_pendingPts <= now || m_showFirst)) {
        dueAt = m_showFirst ? std::min(m_pendingPts, now) : m_pendingPts;
        m_showFirst = false;
        std::swap(m_show, m_pending);
        showPts = m_pendingPts;
        haveShow = true;
        m_havePending = false;
        if (stale())
            return;
        if (DecodeNext(m_pending, &m_pendingPts, generation))
            m_havePending = true;
    }
    (void)showPts;
    if (haveShow)
        Convert(m_show, dueAt, generation);
}

void MoviePlayer::LookAhead(uint64_t generation)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_backReady || generation != m_generation || m_seekTo >= 0 || !m_havePending || m_quit)
            return;
    }
    // The next frame goes into the free frame image before it is due, and the one after it is
    // decoded: a frame falling due then costs no decoding or conversion while the caller waits.
    Convert(m_pending, m_pendingPts, generation);
    std::swap(m_show, m_pending);
    m_havePending = false;
    if (DecodeNext(m_pending, &m_pendingPts, generation))
        m_havePending = true;
}

void MoviePlayer::Thread()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        // A wake-up given while this pass works (the lock let go) is not lost: the wait ends at once.
        const uint64_t wakeups = m_wakeups;
        if (m_seekTo >= 0 && m_video != nullptr) {
            const int64_t to = m_seekTo;
            const uint64_t generation = m_generation;
            m_seekTo = -1;
            lock.unlock();
            m_havePending = false;
            m_showFirst = true;
            m_lastEnd = 0;
            int64_t pts = 0;
            // A seek may land inside a group of pictures: frames before the next key frame are
            // predicted from pictures never decoded, so they are passed over.
            const auto keyFrame = [&] {
                for (int i = 0; i < 1024; ++i) {
                    if (!m_video->NextFrame(m_pending, &pts))
                        return false;
                    if (m_pending->key_frame)
                        return true;
                }
                return false;
            };
            bool found = to == 0 ? m_video->SeekToStart() && keyFrame() : m_video->Seek(to) && keyFrame();
            if (!found || pts > to + m_video->FrameDuration()) {
                // The seek landed after its target: read from the start instead.
                found = m_video->SeekToStart() && keyFrame();
            }
            if (found) {
                m_havePending = true;
                m_pendingPts = pts;
                m_lastEnd = pts + m_video->FrameDuration();
            }
            lock.lock();
            if (generation == m_generation)
                m_videoEnded = !found;
            (void)generation;
            continue;
        }
        if (m_sound != nullptr) {
            const int64_t soundSeek = m_soundSeek;
            m_soundSeek = -1;
            const uint64_t fillMs = ClockMilliseconds();
            const bool held = m_state == kMoviePlaying && AtEndLocked(fillMs);
            lock.unlock();
            if (soundSeek >= 0)
                m_sound->Seek(soundSeek);
            if (held)
                m_sound->Halt();
            m_sound->Fill();
            lock.lock();
            if (m_soundSeek < 0) {
                m_soundFilled = true;
                m_soundFilledAt = fillMs;
            }
        }
        const uint64_t generation = m_generation;
        const int64_t now = PositionLocked(ClockMilliseconds());
        bool worked = false;
        if (m_video != nullptr && m_caughtUp < now) {
            lock.unlock();
            CatchUp(now, generation);
            lock.lock();
            worked = true;
        }
        int event = 0;
        if (m_video != nullptr && m_video->DecodeFailed() && !m_frontValid && !m_backReady && m_videoEnded &&
            !m_failPosted) {
            m_failPosted = true;
            event = 2;
        } else if (m_state == kMoviePlaying && !m_endPosted && AtEndLocked(ClockMilliseconds())) {
            m_endPosted = true;
            event = 1;
        }
        if (event != 0 && onEvent) {
            // Delivered before the work counts as done, so a waiter sees the event's message.
            lock.unlock();
            onEvent(event);
            lock.lock();
        }
        if (worked && generation == m_generation && m_seekTo < 0)
            m_caughtUp = now;
        m_done.notify_all();
        if (event != 0)
            continue;
        // A converted frame that fell due is announced once (the window movie repaints).
        const bool announce = m_backReady && m_backPts <= PositionLocked(ClockMilliseconds()) &&
                              (m_backPts != m_announcedPts || generation != m_announcedGeneration);
        if (announce) {
            m_announcedPts = m_backPts;
            m_announcedGeneration = generation;
        }
        if (m_video != nullptr && m_caughtUp >= now && !m_backReady && m_havePending && m_seekTo < 0) {
            lock.unlock();
            LookAhead(generation);
            lock.lock();
        }
        if (announce && onFrame) {
            lock.unlock();
            onFrame();
            lock.lock();
            continue;
        }
        const bool busy = (m_state == kMoviePlaying && !IsVirtualClock()) || (m_sound != nullptr && IsVirtualClock() &&
                                                                              m_soundFilledAt < ClockMilliseconds());
        m_wake.wait_for(lock, std::chrono::milliseconds(busy ? 4 : 20), [&] { return m_wakeups != wakeups; });
    }
}

bool WaitPlayersIdle(int timeoutMs)
{
    std::lock_guard lock(g_playersMutex);
    bool ok = true;
    for (MoviePlayer* player : g_players)
        ok = player->WaitIdle(timeoutMs) && ok;
    return ok;
}

} // namespace winapi::movie

bool winapi::WaitMovieThreadsIdle(int timeoutMs)
{
    return movie::WaitPlayersIdle(timeoutMs);
}
