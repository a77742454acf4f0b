// CBgAnimeEffect ("bg_anime", kind byte 0, task kind 15000): plays the groups of a KAD animation
// as the background picture of a canvas's scene. Each frame entry names a frame file (a record of
// the KAD holding its name); a loader thread reads the files of the next group into one of two
// buffers while the current group plays from the other. Command entries end a group, set a loop
// mark or loop back to it. The effect never ends by itself; cancelling it (or operation 4)
// removes its frame image from the scene and stops the loader.
// Set-up words: w0 animation (a loaded CKadFile), w1 folder of the frame files (text), w2 start
// group (negative: none), w3 start entry, w4 wrap option, w5 play flag. Codes: 1 no manager,
// scene, animation or folder, or an animation whose entries name records beyond its table or
// whose groups need more slots than a loader has; 2 the object already has an animation or the
// frame image cannot be made; 3 the first play failed; 4 the manager refused.
// SetParams (word 0 operation → 0 accepted; 1 no animation, 2 operation above 5, 3 not allowed in
// this state, 4 the first show failed): 0 select (group, entry), 1 play, 2 pause, 3 resume, 4
// stop, 5 break the loop.
// QueryV (word 0 question; -1 for others): 0 state, 1 inside a loop that repeats, 2 group, 3
// entry, 4 the next mark after the entry (-1 none), 5 the next group holding a mark (-1 none).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/layer_effect.h"
#include "winapi/base.h"

class CImage;
class CKadFile;
class CLoaderThread;
class CScene;

// Task kind of the animation objects (the object manager finds them by owner under it).
constexpr int32_t kBgAnimeKind = 15000;

// The global bg_anime option: on, the animation keeps to the clock by skipping frames.
extern uint8_t g_bBgAnimeKeepTime;

// The registry's direct-apply callback of "bg_anime": word 0 non-zero turns the option on → 0.
int SetBgAnimeFlag(const CEffectArgs& in, CEffectArgs* out);

class CBgAnimeEffect : public CLayerEffect {
public:
    // States.
    enum : uint8_t { kStopped = 0, kPlaying = 1, kPaused = 2, kReady = 255 };

    static CPluginEffect* Create(DWORD parameter);
    CBgAnimeEffect();
    // Stops the loader; takes the frame image out of the scene when it is still shown there.
    ~CBgAnimeEffect() override;

    int32_t GetKind() override { return kBgAnimeKind; }
    const char* GetName() override { return "bg_anime"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;

    CImage* GetFrameImage() const { return m_frame.get(); }
    uint8_t GetState() const { return m_state; }
    // The animation played (borrowed; null before set-up).
    const CKadFile* GetKad() const { return m_kad; }
    int32_t GetGroup() const { return m_group; }
    int32_t GetEntry() const { return m_entry; }
    // How many files were handed to the loader so far (each distinct file once per group).
    uint32_t GetFilesQueued() const { return m_filesQueued; }

private:
    struct Buffer {
        int32_t group = -1;
        std::vector<std::string> names;    // the distinct frame files, in first use
        std::vector<const char*> pointers; // handed to the loader; live until the next Prepare
        std::vector<uint32_t> map;         // entry's distance from the group start → slot
    };

    int Prepare(int32_t group, int buffer);
    void NextGroup();
    int Execute(int32_t entry);
    int ShowCurrent();
    void Stop();
    // The frame-file name of record index r (up to its first NUL).
    std::string RecordName(int32_t r) const;
    bool IsFrame(int32_t entry) const;
    uint32_t EntryCount() const;

    CScene* m_scene = nullptr;
    std::unique_ptr<CImage> m_frame;
    CKadFile* m_kad = nullptr;
    std::unique_ptr<CLoaderThread> m_loader;
    Buffer m_buffers[2];
    uint32_t m_slotsPerBuffer = 0;
    int m_current = 0;
    int32_t m_group = 0;
    int32_t m_entry = 0;
    int32_t m_mark = -1;
    uint8_t m_state = kStopped;
    uint8_t m_break = 0;
    uint8_t m_wrap = 0;
    uint8_t m_restartTiming = 1;
    uint32_t m_reference = 0;
    uint32_t m_filesQueued = 0;
};
