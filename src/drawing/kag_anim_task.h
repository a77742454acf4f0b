// CKagAnimTask: a timed task that plays one group of a KAG file on a sprite of its own, which it
// puts into a scene's draw list: each frame entry shows a picture at an offset for its time. The
// group loops a number of times, holds its last frame, or continues with the next group.
#pragma once

#include "drawing/sprite.h"
#include "platform/timed_task.h"

#include <cstdint>

class CKagFile;
class CScene;
class CTimerManager;

constexpr int32_t kKagAnimTaskKind = 13000;

class CKagAnimTask : public CTimedTask {
public:
    CKagAnimTask() = default;
    // Releases the file when still held; the sprite leaves its list.
    ~CKagAnimTask() override;

    int32_t GetKind() override { return kKagAnimTaskKind; }
    // 0 ok; 1 a null timer manager, scene or file; 2 no such group; 3 the group is empty (its first
    // entry closes it); 4 the timer manager refused the task (it stays the caller's). loops: plays
    // still to come (negative endless, 0 play once and hold the last frame).
    int Setup(CTimerManager* timers, CScene* scene, CKagFile* file, int32_t group, int32_t loops, uint32_t priority,
              uint8_t catchUp, uint8_t endWhenDone, uint8_t ownsFile, uint32_t startDelay);
    // 0 go on; 1 finished (loops done, or holding with end-when-done); 2 the next group does not
    // exist or is empty. Ending releases the file when owned.
    int32_t Step(uint32_t now) override;
    // Releases the file (when owned) and takes the sprite out of the scene's lists.
    void Finish();

    // The end of a pause moves the frame start by the paused time.
    void OnResumed(uint32_t pausedFor) override { m_frameStart += pausedFor; }

    // Added to every entry's offset (0 by default).
    void SetBase(int32_t x, int32_t y)
    {
        m_baseX = x;
        m_baseY = y;
    }
    // The end of the group continues with the next group once.
    void SetNextGroup(bool on) { m_nextGroup = on ? 1 : 0; }

    CSprite& GetSprite() { return m_sprite; }
    // Index of the entry on show; -1 before Setup.
    int32_t GetCurrentEntry() const { return m_current; }
    int32_t GetGroup() const { return m_group; }
    const CKagFile* GetFile() const { return m_file; }
    // A value the script keeps with the animation (the flag says one was set).
    void SetUserValue(int32_t value)
    {
        m_userFlag = 1;
        m_userValue = value;
    }
    int32_t GetUserValue() const { return m_userValue; }
    uint8_t GetUserFlag() const { return m_userFlag; }
    uint8_t GetState() const { return m_state; }

private:
    // Shows entry m_current on the sprite.
    void ShowEntry();
    void ReleaseFile();
    // Moves to the next entry, handling the group's end. 0 moved, 1 finished, 2 no next group,
    // 3 now holding.
    int Advance();

    CKagFile* m_file = nullptr;
    int32_t m_groupStart = -1;
    int32_t m_current = -1;
    int32_t m_loops = 0;
    CSprite m_sprite;
    uint32_t m_frameStart = 0;
    uint8_t m_state = 0; // 0 not started, 1 running, 2 holding the last frame
    uint8_t m_catchUp = 0;
    uint8_t m_endWhenDone = 0;
    uint8_t m_ownsFile = 0;
    int32_t m_userValue = 0;
    uint8_t m_userFlag = 0;
    int32_t m_baseX = 0;
    int32_t m_baseY = 0;
    uint32_t m_startDelay = 0;
    CScene* m_scene = nullptr;
    int32_t m_group = 0;
    uint8_t m_nextGroup = 0;
};
