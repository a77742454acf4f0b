// CTgsFrame: the scenario engine over the scenario store. This part holds the command decoder: it
// walks the current script's text, collects characters into the text buffer, decodes "[ " command
// records (conditions and arguments from constants, strings, user-variable elements and SOB
// expressions), runs "[s" inline SOB code on the frame's own machine, handles commands 0-11
// itself and hands 12-129 to the table of handlers. It also packs commands into message text for
// deferred execution. The scene, windows, fonts and waits are added by the engine above it.
//
// Argument pairs are host words; a string value is a script address (read it with PairString).
// Nothing in a record is trusted: a malformed record stops RunText with -1 before any of it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


#include "script/bg_table.h"
#include "script/byte_reader.h"
#include "script/sob_runtime.h"
#include "script/sob_vm.h"
#include "script/text_log.h"
#include "script/tgs_effects.h"
#include "script/tgs_records.h"
#include "script/tgs_script_store.h"
#include "script/tgs_state.h"

#include <array>
#include <functional>
#include <memory>

class CControl;
class CControlContainer;
class CGlyphFont;
class CImage;
class CImageObject;
class CLayerEffect;
class CMessageWindow;
class CPluginFilter;
class CScene;
class CSprite;
class CSurface;
class CTextLayer;
class CTextPanel;
class CTgsHostLink;

class CTgsFrame;
// A command handler: 0 continues the text, -1 is an error, any other value stops RunText with it.
using TgsCommand = int32_t (*)(CTgsFrame& frame, const TgsArgPair* pairs);

class CTgsFrame : public CTgsScriptStore {
public:
    static constexpr uint32_t kCommandCount = 130;
    static constexpr uint32_t kStackCells = 8192;
    static constexpr uint32_t kTextBufferSize = 4096;        // collected text, with its closing NUL
    static constexpr uint64_t kInstructionBudget = 10000000; // per expression or inline code run
    static constexpr int32_t kEndOfScenario = 0x7FFFFFFF;
    static constexpr uint32_t kRecordBudget = 1000000; // records one RunText call may run
    // Pairs past the argument count that a handler may read: they are (0, 0) (no value). A record
    // whose pairs and this padding do not fit in the free argument area is malformed.
    static constexpr uint32_t kPaddingPairs = 24;

    // The frame runs over the host's script memory, links inline code against its user
    // variables, natives, host variables and library, and reads results from its `retTgsExp`.
    // Its machine is bound to the host's natives here: register them before the frame is made.
    explicit CTgsFrame(CSobRuntime& host);
    // The scenario engine: the 130 handlers (0-11, 15 and 68-73 do nothing; the commands later
    // parts of the engine build answer 0) and the members, the backlog sized from the settings.
    CTgsFrame(CSobRuntime& host, CTgsHostLink* link);
    ~CTgsFrame() override;

    // Appends a handler (its number is its position) → 0; 1 when the table already holds 130.
    int AddCommand(TgsCommand handler);
    uint32_t CommandCount() const { return static_cast<uint32_t>(m_commands.size()); }

    // Interprets from the cursor → 0 end of text, end of scenario, a return with an empty return
    // stack, a call or jump whose target is missing; -1 a malformed record, a failed expression
    // or inline code, a handler's -1, or more than kRecordBudget records in this call; -2 no
    // script loaded; -4 a handler's value below -1; any other value a handler returned (the
    // cursor is then past its record).
    int RunText();
    // Decodes and executes the command record whose blank is at text offset position → the
    // offset to continue at, or -1 to stop (the reason is in LastCommandResult: -1 malformed).
    int64_t DecodeCommand(uint32_t position);
    // Runs the "[s" record whose "s" is at position → the offset after it, or -1 on failure.
    int64_t RunInlineScript(uint32_t position);
    // Copies the character at position into the text buffer (dropped when it does not fit
    // whole) → the next position.
    uint32_t WriteChar(uint32_t position);
    // Runs the frame's machine to the end of its script after a yield (transfer requests, frame
    // steps) → 0 ended; non-zero a failure. The engine provides it; the base answers 1.
    // The engine runs transfers and frame steps: 0 ended; -1 stop asked; 1 a called module failed
    // to load; 2 a jumped-to one; 3 a jump where none is allowed.
    virtual int RunScriptLoop(bool jumpAllowed, bool alreadyYielded);

    // ---- the engine (nothing below works without a link) ----
    static constexpr int kScreenWidth = 800;
    static constexpr int kScreenHeight = 600;
    static constexpr int kMenuItems = 10;
    static constexpr int kChoiceLayerValue = 20;
    static constexpr int kMenuItemId = 1000;
    // The draw-list group of the message, name and choice windows: they belong to the frame, not
    // to a page, and follow the canvas's scene through every page swap.
    static constexpr int kWindowGroup = 1001;

    CTgsHostLink* Link() const { return m_link; }
    // Set-up, once: the drawing target (a kind-9 canvas; null makes the frame's own) and the form
    // → 0; 1 no form or link; 2 the target is not ready.
    int CreateMessageWindow(CImageObject* target, CControlContainer* form);
    bool IsSetUp() const { return m_setUp != 0; }
    // → 0; -2 never set up; -1 the scene rebuild failed.
    int StartScenario(bool resume);

    // ---- saved state: one block at a moving cursor (the save files' part 4) ----
    using CTgsScriptStore::GetStateSize;
    using CTgsScriptStore::LoadState;
    using CTgsScriptStore::SaveState;
    // Bytes SaveState writes.
    uint32_t GetStateSize(bool withBacklog);
    // Writes the block at *cursor (left bytes free), advancing both → 0; 1 null cursor or no
    // room (nothing written); 2 the store state failed; 3 the backlog failed.
    int SaveState(uint8_t** cursor, size_t* left, bool withBacklog);
    // Reads and checks a block without changing the frame → the code LoadState would answer;
    // on 0 the cursor and left are advanced past the block as LoadState would.
    int CheckState(const uint8_t** cursor, size_t* left, bool withBacklog);
    // Stages, checks, then commits a block → 0; 1 store state; 2 log; 3 message number; 4 any
    // other damage. On failure the running frame is unchanged; on success the state-replaced
    // byte is set and the scene is rebuilt when the scenario resumes.
    int LoadState(const uint8_t** cursor, size_t* left, bool withBacklog);
    // Recreates pictures, sprites, effects, sounds, the choice list and the message window from
    // the loaded records (StartScenario on resume runs it) → 0; -1 the fade-in was stopped.
    int RebuildScene();
    // The page's picture loaded again by the record's name, its other fields kept → 0; 1 none.
    int RefreshLayerImage(uint8_t page);
    // A sprite slot shown again from its record's name, position and priority → 0; 1 no record;
    // 2 the picture cannot be loaded.
    int LoadSpriteRecord(int group, int slot, uint8_t page);
    // The system-menu items and bar shown or hidden at once.
    void ShowMenuControls(bool show);
    // The choice list a loaded state waits with (null: none).
    const TgsSavedPage* ResumePage() const { return m_resumePage.get(); }
    int ClearScene();
    void ResetScreenCanvas();
    // The settings into window, fonts and backlog; the settings-changed byte as it was.
    uint8_t ApplyDisplaySettings(bool window, bool fonts, bool backlog, bool onlyWhenChanged, bool clearChanged);
    void ResetTextStyle();
    // The face when installed ("@" form when vertical), else the settings' face.
    std::string ResolveFontFace(const char* face, bool vertical) const;
    // Loads DATA/BG.TXT (through the file manager) → its code (1 cannot be opened).
    int LoadBackgroundTable(const char* name);
    const std::vector<int32_t>& BackgroundTable() const { return m_bgTable; }

    // Waits: → -1 when the game is ending.
    int WaitTimer(uint32_t ms);
    int WaitTime(uint32_t ms, bool allowSkip);
    int CheckSkipInput(uint32_t mask);
    uint32_t GetCharacterWait();
    int GetTextState() const;
    int WaitPage(int mode, bool withVoice);
    int WaitChoice();
    int HandleWindowMenu(int command);
    int RunMenuCommand(int command, int argument);
    // Stops the voice channel when a voice was started and the stop-at-next-text setting has a
    // bit of mask; the started flag is cleared either way.
    void StopVoiceIfAsked(uint8_t mask);
    // The voice's pan by the speaking sprite's x (0-800): ±5000 at the edges, 0 in the middle.
    static int32_t VoicePan(int32_t x);
    static constexpr int32_t kVoiceChannel = 6;
    bool IsVoicePlaying() const { return m_voicePlaying != 0; }
    int FadeWindow(bool show, int32_t time, bool withMenu);
    // Scenario time stands still between these (a modal menu): the pause is taken off the clock.
    uint32_t BeginPause();
    void EndPause();
    // One application frame step through the link → 0 stop.
    int StepFrame();

    // The message side.
    int FlushText();
    void EndMessage();
    int ShowWindow(bool show, int window);
    int ClearWindow(int window);
    int ShowWindowAtOnce(bool show, bool withMenu);
    int SetWindowStyle(int kind, int time, int value, int colourIndex, int window);
    int StopSkipMode();
    void SetAutoPlay(bool on);
    void SetMenuControlState(int item, int state);
    int MenuControlState(int item) const { return item >= 0 && item < kMenuItems ? m_menuState[item] : 0; }
    // Runs the packed command at *cursor (before end) for the message window: dispatched when
    // run, else passed over → 0 go on; above 0 stop; -1 damaged.
    int32_t RunEmbeddedCommand(const uint8_t** cursor, const uint8_t* end, bool run);

    // State the commands and the natives use.
    bool IsChoiceWaiting() const { return m_choiceWait != 0; }
    void SetStartValue(int i, int32_t value)
    {
        if (i >= 0 && i < 6)
            m_startValues[static_cast<size_t>(i)] = value;
    }
    int32_t StartValue(int i) const { return i >= 0 && i < 6 ? m_startValues[static_cast<size_t>(i)] : 0; }
    // The choice result cell (start value 1) → its host bytes, or null when it is no cell.
    int32_t* ResultCell();
    // The cell at a script address: null unless 4-aligned and inside script memory.
    int32_t* CellAt(uint32_t address);
    CMessageWindow* MessageWindow() const { return m_messageWindow.get(); }
    CTextPanel* NameWindow() const { return m_nameWindow.get(); }
    CTextLayer* ChoiceLayer() const { return m_textLayer.get(); }
    CTextLog& TextLog() { return m_textLog; }
    CGlyphFont* Font(int i) const { return i >= 0 && i < 4 ? m_fonts[static_cast<size_t>(i)].get() : nullptr; }
    const std::string& NameText() const { return m_nameText; }
    const std::string& SpeakerName() const { return m_speaker; }
    const std::string& VoiceName() const { return m_voice; }
    void SetNameText(const char* text);
    void SetSpeaker(const char* name, const char* voice);
    // The resumed page shows already: the text, speaker and voice the scenario collected again
    // for it go, so that none of them passes to the next page.
    void DropResumedPageText();
    int32_t ChoiceCount() const { return m_choiceCount; }
    uint8_t& ChoiceDisabled(int i) { return m_choiceDisabled[static_cast<size_t>(i)]; }
    uint8_t& SkipMode() { return m_skipMode; }
    uint8_t& PageSkip() { return m_pageSkip; }
    uint8_t& NoDisplay() { return m_noDisplay; }
    uint8_t& ReadMessage() { return m_readMessage; }
    uint8_t& AutoPlay() { return m_autoPlay; }
    uint8_t& Skippable() { return m_skippable; }
    uint8_t& ResumedPage() { return m_resumedPage; }
    uint8_t& ChoiceWait() { return m_choiceWait; }
    uint8_t& StateReplaced() { return m_stateReplaced; }
    uint8_t& StyleChanged() { return m_styleChanged; }
    uint8_t& SkipToChoice() { return m_skipToChoice; }
    uint8_t& BacklogDrawing() { return m_backlogDrawing; }
    int32_t& ChoiceCountRef() { return m_choiceCount; }
    int32_t CurrentWindow() const { return m_currentWindow; }
    TgsWindowRecord& WindowRecord() { return m_windowRecords[0]; }
    uint8_t WindowSwitchCounter() const { return m_switchCounter; }
    uint8_t& WindowSwitchPending() { return m_switchPending; }
    int32_t& TransparencyOverride() { return m_transparencyOverride; }
    bool HasChoiceSerial() const { return m_hasChoiceSerial; }
    void SetChoiceSerial(uint32_t serial)
    {
        m_choiceSerial = serial;
        m_hasChoiceSerial = true;
    }
    uint8_t PageWaitByte() const { return m_pageWaitByte; }
    uint32_t Clock();
    CControl* MenuItem(int i) const { return i >= 0 && i < kMenuItems ? m_menuItems[static_cast<size_t>(i)] : nullptr; }
    // The system menu's fader ("sp_fade" over its 11 parts); null when effects cannot be made.
    CLayerEffect* MenuFader() const { return m_menuFader; }

    // ---- layers and sprites ----
    // A page byte is front (0) or back (anything else); a group is 0 (A), 1 (B) or 2 (C); a slot
    // outside its group is no record. Results as each operation says; 1 is "no record".
    static constexpr int32_t kGroupBase[3] = {10000, 20000, 30000};
    static constexpr int kGroupSlots[3] = {3, 5, 3};
    // The page's canvas: [0] the screen, [1] the back canvas it reports (null before set-up).
    CImageObject* Screen(uint8_t page) const { return m_pScreens[page != 0 ? 1 : 0]; }
    CScene* PageScene(uint8_t page) const;
    TgsPageRecord& Page(int back) { return *(back != 0 ? m_pBackPage : m_pFrontPage); }
    // The group's records of a page (count slots) → null for a group outside 0-2.
    TgsSpriteRecord* const* GetSpriteGroup(int group, uint8_t page, int* count);
    // The record of a slot → null when the group or slot is out of range.
    TgsSpriteRecord* FindSpriteSlot(int slot, uint8_t page, int group);
    // Automatic sprite tint (command 74): new sprites take the background variant's colour mode.
    uint8_t& AutoTint() { return m_autoTint; }

    int LoadLayerImage(const char* name, uint8_t page);
    int ClearLayer(uint32_t colour, uint8_t page);
    int SetLayerColor(uint32_t colour, uint8_t page);
    bool UnshareLayerImage(uint8_t page);
    int SetLayerColorMode(uint8_t mode, uint8_t flipX, uint8_t flipY, uint8_t letterbox, uint8_t page);
    int ApplyLayerPixelOp(uint8_t amount, uint8_t page);
    int SetLayerOffset(int32_t x, int32_t y, uint8_t page);
    int SetLayerViewRect(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t page);
    int RenderLayer(bool on, uint8_t page, bool value);
    // A logged scene drawn afresh into target (made 800 x 600, 32 bits): the page's picture or
    // colour at its place, view or zoom with its colour mode, flips and bands, then the logged
    // sprites in the log's order, each over the ones before. Unreadable pictures are left out.
    // -> 0; 1 the image cannot be made.
    int RenderLoggedScene(const TextLogScene& scene, CImage* target);
    int StartLayerZoom(int32_t x, int32_t y, const char* zoomText, uint8_t page);
    int SetLayerZoom(int32_t angle, const char* zoomText, int32_t x, int32_t y, uint8_t page);
    // "bg_anime" from a group file whose frame files lie beside it, playing from (group, entry)
    // → 0; 1 the file cannot be read; 2 the animation refused it.
    int LoadLayerAnimation(const char* file, int32_t group, int32_t entry, uint8_t page);
    // The animation's operation mode (0 select, 1 play, 2 pause, 3 resume, 4 stop, 5 break the
    // loop) with (x, y) → 0; 1 bad mode; 2 no animation; 3 refused in its state.
    int ControlLayerAnimation(int mode, int32_t x, int32_t y, uint8_t page = 0);

    int LoadSpriteImage(int slot, const char* name, uint8_t page, int group, bool reload);
    int SetSpriteColorMode(int slot, uint8_t mode, uint8_t flipX, uint8_t flipY, uint8_t page, int group);
    int ApplySpritePixelOp(int slot, uint8_t amount, uint8_t page, int group);
    int PlaceSprite(int slot, int32_t mode, uint8_t offScreen, uint8_t page, int group);
    int MoveSprite(int slot, int32_t dx, int32_t dy, uint8_t page, int group);
    int MoveSpriteToBottom(int slot, uint8_t page, int group, bool resort);
    int MoveSpriteToTop(int slot, uint8_t page, int group, bool resort);
    // mode -1: every group; 0-2 that group.
    int ResetSpriteGroups(uint8_t page, int mode);
    // The back record of the slot gets its own copy of an image the front one shares → false
    // when they do not share one.
    bool UnshareSpriteImage(int slot, int group);
    // Gives the record's picture and sprite up: the sprite leaves the page's list and is deleted,
    // the image is dropped, the name cleared; the effect is released.
    void ReleaseSprite(TgsSpriteRecord& record, uint8_t page);
    // A new sprite of the named picture in the page's list at the record's priority, held by the
    // record (its name set) → false when the picture cannot be loaded (the record unchanged).
    bool AttachSpritePicture(TgsSpriteRecord& record, const char* name, uint8_t page);
    // The display-list priority of a record's sprite (and its effect's) follows record.priority.
    void UpdateSpritePriority(TgsSpriteRecord& record, uint8_t page);

    // Image counts: a picture shown by both pages is held twice and freed by its last holder.
    void HoldImage(CImage* image);
    void DropImage(CImage* image);
    bool IsImageShared(const CImage* image) const;
    // Hands the caller a picture it owns: the last holder's own, else a copy (null on failure).
    CImage* TakeImage(CImage* image);

    // ---- transitions and effects used by the layer side ----
    void StopTransition();
    int FinishTransition();
    int TransCross(int32_t time);
    int TransRule(int32_t number, int32_t time, int32_t softness);
    void ResetBackgroundEffects(uint8_t page, bool redrawAnime);
    int ReleaseSpriteEffect(int slot, uint8_t page, int group);

    // ---- effect control (tgs_effects.cpp) ----
    // Effects shown at all: the effects setting. Effective: on, no skip asked, no skip state.
    bool EffectsOn() const;
    bool EffectsEffective();
    // A skip asked (CheckSkipInput 2) or a skip state byte set.
    bool SkipRequested();
    // Makes the named effect on target with the pack into *holder (released first) → 0; 1 not
    // registered; 2 the effect refused (nothing stays in the holder).
    int CreateEffect(CLayerEffect** holder, const char* name, CImageObject* target, const CEffectArgs& args);
    // → 0 ended (an empty holder: at once, no frame step); 1 skipped (cancelled); -1 stop asked.
    int WaitEffectObject(CLayerEffect** holder, bool skippable);
    static void ReleaseManagedObject(CLayerEffect** holder);
    int SetLayerEffectParams(int layer, int32_t a, int32_t b);
    int StopLayerEffect(int layer, bool release);
    int WaitBgQuake(uint8_t page, bool skippable);
    void ReleaseBgQuake(uint8_t page);
    int WaitSpriteEffect(int n, uint8_t page, int group, bool skippable);
    int WaitWindowEffect(int n, bool skippable);
    void ReleaseWindowEffects(int n);
    // Starts. A target t <= 0 is layer slot -t, t > 0 the page's own holder (StartBgPanime: t >= 0
    // the slot t, t < 0 the page). Values the effect reads as numbers or number texts are taken
    // as the scenario gave them.
    int StartBgZoom(uint8_t page, int32_t a, int32_t b, TgsEffectValue c, TgsEffectValue d, int32_t e);
    int StartBgRot(uint8_t page, int32_t angle, const char* zoomText, int32_t x, int32_t y, TgsEffectValue a,
                   int32_t b);
    int StartBgPanime(uint8_t page, const char* text, int32_t a, bool b, bool c, bool d, int32_t t);
    int StartBgBlur(uint8_t page, std::span<const TgsEffectValue> w, bool view, bool wait, bool skippable);
    int StartBgBlurEx(uint8_t page, const char* list, std::span<const TgsEffectValue> w, bool view, bool wait,
                      bool skippable);
    int StartNoise(int layer, int32_t p, bool q, bool r);
    int StartQuake(uint8_t page, int32_t a, int32_t b, int32_t c, int32_t t, int32_t e, int32_t f, int32_t g,
                   int32_t h, int32_t i);
    int StartBgRasterHaze(uint8_t page, int32_t v, int32_t a, int32_t b, int32_t c, int32_t t, int32_t d,
                          int32_t e, int32_t f);
    int StartBgLoop(uint8_t page, int32_t a, int32_t b, int32_t t);
    int StartBgCross(int32_t a, int32_t t, int32_t c, int32_t d);
    int StartWeather(int layer, int32_t k, int32_t n, bool b, const char* text, bool d, bool e);
    int StartSpParts(const char* list, int32_t priority, int32_t page, int32_t t, bool showFront, bool showBack,
                     bool ownScene);
    int StartSpCfade(int n, const char* name, int32_t placeMode, int32_t time, bool loadArg, uint8_t page,
                     int group);
    int StartSpPanime(int n, const char* text, int32_t a, uint8_t page, int group, bool remember);
    int StartSpChange(int n, const char* name, const char* text, uint8_t mode, int32_t time, bool zoomFlag,
                      uint8_t page, int group);
    int StartSpPartsFromList(int n, int32_t number, uint8_t page, int group, bool remember);
    int StartWindowPanime(int n, const char* text, int32_t time);
    // Direct applies through the kinds' callbacks: -2 no callback, else the callback's code.
    int ApplyBgPanime(const char* text, uint8_t page);
    int ApplyBgBlur(uint8_t page, int32_t x, int32_t y, double zoom, double turns);
    int ApplyBgBlurArgs(uint8_t page, int32_t x, int32_t y, const char* zoomText, const char* angleText);
    int ApplySpPanime(int n, const char* text, uint8_t page, int group);
    int ApplyWindowPanime(int n, const char* text, int32_t time);
    // Layer slot records 0-2 (others read as slot 0).
    TgsLayerSlot& LayerSlot(int layer) { return m_layers[static_cast<size_t>(layer < 0 || layer > 2 ? 0 : layer)]; }

    // ---- screen transitions (tgs_transitions.cpp) ----
    // → 0; 1 no screen; 2 not registered; 3 the screen refused (the object released).
    int CreateTransition(CImageObject* screen, const char* name, uint8_t applyMode, uint8_t keep,
                         const CEffectArgs& args);
    void BeginTransition();
    void ApplyTransitionAtOnce();
    // → 0 ended; 1 skipped to its end; -1 stop asked.
    int WaitTransition(bool skippable);
    int LoadRuleImage(int32_t n);
    void CopySpriteRecord(CScene* scene, TgsSpriteRecord& from, TgsSpriteRecord& to);
    void SwapPageRecords();
    void SwapPageSets();
    int RunTransition(CPluginFilter* object, CImageObject* screen, int swap, uint32_t skipMask);
    int RunCrossFade(int32_t time, int swap, uint32_t skipMask, CImageObject* screen);
    int TransTrans(int32_t time, int32_t image, uint8_t keep);
    int TransFilter(int32_t k, int32_t time, int32_t a, int32_t b, int32_t c);
    int TransScroll(int32_t time, uint8_t dir, uint8_t mode, int32_t step);
    int TransRipple(int32_t time, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f);
    int TransQuake(int32_t page, int32_t x, int32_t y, int32_t time, int32_t wait, int32_t a, bool b, bool mode,
                   uint8_t busy);
    int DoubleCrossFade(int32_t time, int32_t layerId);
    int ChangeBackgroundFaded(const char* name, int32_t time, int32_t layerId);
    bool TransitionRunning() const { return m_transitionRunning != 0; }
    uint8_t& PageMode() { return m_pageMode; }
    const std::array<int32_t, 6>& RememberedQuake() const { return m_rememberedQuake; }
    int32_t RuleImageNumber() const { return m_ruleNumber; }
    CImage* RuleImage() const { return m_screenImage.get(); }
    // Commands 91 and 92: the rule picture mirrored (0) or turned upside down (1); the cached one
    // is forgotten.
    void SetTransitionOption(int i, bool on);
    uint8_t TransitionOption(int i) const { return m_transitionOptions[i != 0 ? 1 : 0]; }

    // ---- sound channels (tgs_sound.cpp) ----
    // The scenario's effect channels are sound-manager channels 8 to 11, handed out in rotation;
    // the voice plays on channel 6. A channel number n >= 0 from a scenario is channel n + 8 (n
    // above 3 is refused); n < 0 takes the next channel of the rotation, except for the stop,
    // fade-out and wait operations, which read it as channel -n (-n above 11 is refused).
    static constexpr int kEffectChannels = 4;
    static constexpr int32_t kFirstEffectChannel = 8;
    static constexpr int kLoopChannels = 12;
    // The channel of n for a play or fade-in (rotation for n < 0) → -1 when n is above 3.
    int32_t EffectChannel(int32_t n);
    // The channel of n for a stop, fade-out or wait → -1 when it is no channel 0-11.
    static int32_t NamedChannel(int32_t n);
    // The channel, loaded with file when one is given → -1 when n is refused or the load failed.
    int32_t PickEffectChannel(const char* file, int32_t n, bool stream);
    // → 0; 1 the channel is refused, the name is longer than 254 bytes or the file did not load.
    int PlayEffect(const char* file, int32_t n, bool stream, bool loop);
    // → 0; 1 the channel is refused (nothing touched).
    int StopEffect(int32_t n);
    void StopAllEffects();
    // time 0 fades over 1000 ms → 0; 1 the fade could not start, the channel is refused or the
    // name is too long.
    int FadeInEffect(const char* file, uint32_t time, int32_t n, bool loop);
    int FadeOutEffect(uint32_t time, int32_t n);
    // → 0 silent; 1 skipped (the channel stopped when stop is set); 2 it loops (stopped at once);
    // -1 the game is ending or the channel is refused.
    int WaitEffect(int32_t n, bool skippable, bool stop, bool checkSetting);
    // → 0 the channel's fade ended; 1 skipped (stopped when asked); -1 ending or refused.
    int WaitEffectFade(int32_t n, bool skippable, bool stopWhenSkipped, bool checkSetting);
    // → 0 the music change ended; 1 skipped; -1 the game is ending.
    int WaitMusicChange(bool skippable);
    // → 0 the music ended; 1 skipped; 2 it loops (no wait); -1 the game is ending (music plays on).
    int WaitMusicEnd(bool skippable);
    // Command 119: the number is kept for the saved state, then played through the link → the
    // link's answer (-1 without a link).
    int PlayMusic(int32_t number, uint32_t fadeTime, bool loop);
    // → 0 playing; 1 voices are off; 2 the voice is disabled; 3 it could not be opened.
    int PlayVoiceNow(const char* name, bool loop);
    TgsSoundChannel& SoundChannel(int i) { return m_soundChannels[static_cast<size_t>(i & 3)]; }
    uint8_t& ChannelLoop(int channel) { return m_channelLoop[static_cast<size_t>(channel < 0 || channel >= kLoopChannels ? 0 : channel)]; }
    int32_t& MusicNumber() { return m_musicNumber; }
    int32_t& NextEffectChannel() { return m_nextEffectChannel; }

    // ---- the system menu (tgs_system_menu.cpp) ----
    // Twelve items from "SYS/SM_BG.GMP" over "SYS/SM_BASE.ELG" (133 x 280), placed near the
    // pointer. The items, in file order: quick save, quick load, back to the previous choice,
    // save, load, skip to the next choice, auto play, text history, settings, hide the window,
    // back to the title, quit; the first ten are enabled as the bar's items are.
    static constexpr int kSystemMenuItems = 12;
    static constexpr int kSystemMenuId = 1001;     // the items' control id
    static constexpr int kSystemMenuValue = 30000; // item i reports kSystemMenuValue + i
    static constexpr int kSystemMenuWidth = 133, kSystemMenuHeight = 280;
    static constexpr int kSystemMenuPriority = 900;
    // The menu's top-left for the pointer at (x, y) (-2: keyboard, placed at the right) with
    // start item under the pointer.
    static void SystemMenuPlace(int x, int y, int start, int* left, int* top);
    // The result of item i (0-10): 9, 8, 17, 10, 11, 12, 13, 14, 15, 16, 18; -1 for others.
    static int SystemMenuResult(int item);
    // → the chosen item's result; -1 closed (or SM_BG.GMP missing); -2 the game is to end.
    int RunSystemMenu();
    // Shows or hides the open menu's items and background, faded over 150 ms when fade is set
    // → 0; -1 the game is ending.
    int ShowSystemButtons(bool fade, bool show);
    bool SystemButtonsShown() const { return m_systemButtonsShown != 0; }
    CControl* SystemMenuItem(int i) const
    {
        return i >= 0 && i < kSystemMenuItems ? m_systemButtons[static_cast<size_t>(i)] : nullptr;
    }
    const CSprite* SystemMenuBackground() const { return m_systemMenuSprite.get(); }
    // A picture through the file manager; null when it cannot be read.
    static std::unique_ptr<CImage> LoadPicture(const char* name);
    // Starts the sound a system channel holds (1 open and click, 2 close, 3 hide) when system
    // sounds are on.
    void PlaySystemSound(int32_t channel);
    // Steps frames while alpha runs 0 → 255 (in) or back over time ms, handing each value to
    // apply → 0; -1 the game is ending (apply gets the end value first).
    int FadeAlpha(uint32_t time, bool in, const std::function<void(int)>& apply);

    // ---- the backlog (tgs_backlog.cpp) ----
    // The logged pages drawn again through the backlog window into up to 16 page images over a
    // darkened screen, with a scroll bar of the TH pictures at x 768: the bar's track lies
    // between the two 32-pixel buttons, the thumb is its picture's height and is placed at
    // track top + (track - thumb) x scroll / max scroll; dragging it sets scroll = (pointer y -
    // track top - thumb / 2) x max scroll / (track - thumb), clamped.
    static constexpr int kBacklogPages = 16;
    static constexpr int kBacklogWidth = 768;
    static constexpr int kBacklogPageGap = 12;
    static constexpr int kBacklogMaxPageHeight = 2048;
    // → 0 closed; -1 the game is ending.
    int RunBacklog();
    // Draws the pages that fall into [scroll, scroll + 600) into the page images → pages drawn.
    int DrawBacklogPages(int32_t scroll);
    // The backlog's line step, the log's height and the largest scroll (0 for a short log); the
    // backlog window is made on first use (false: it cannot be).
    bool PrepareBacklog();
    int32_t BacklogLineStep() const { return m_backlogLine; }
    int32_t BacklogHeight() const { return m_backlogHeight; }
    int32_t BacklogMaxScroll() const { return m_backlogHeight > kScreenHeight ? m_backlogHeight - kScreenHeight : 0; }
    int32_t BacklogScroll() const { return m_backlogScroll; }
    int BacklogPageCount() const { return m_backlogPageCount; }
    // Page image i (null when not drawn) and where it shows.
    const CImage* BacklogPage(int i) const;
    int32_t BacklogPageY(int i) const;
    const std::string& BacklogPageVoice(int i) const;
    // The height a log entry takes in the backlog (a scene snapshot none).
    int32_t BacklogEntryHeight(const TextLogEntry& entry) const;
    // The backlog's fade: each object's alpha runs 0 -> 255 over time ms (the darkening shade,
    // when given, 0 -> 140); mode kFadeObjectsOut runs the ramp the other way. Steps frames -> 0;
    // -1 the game is ending (the end values applied first).
    static constexpr int kFadeObjectsOut = 0x8C;
    int FadeObjects(CSprite* const* objects, int count, uint32_t time, int mode, CSprite* shade);
    // The scroll bar's sprites (bar, frame, up, down) and the shade while the backlog is open.
    const CSprite* BacklogScrollSprite(int i) const
    {
        return i >= 0 && i < 4 ? m_scrollSprites[static_cast<size_t>(i)].get() : nullptr;
    }
    const CSprite* BacklogShade() const { return m_backlogShadeSprite.get(); }
    // The scene of the page last clicked (one with a logged scene and no voice), shown behind
    // the shade; null when none is shown.
    const CImage* BacklogSceneView() const { return m_sceneViewSprite ? m_sceneView.get() : nullptr; }

    // Packed command: u8 0, "[", u32 length from that field on, u32 command, u32 count, per
    // argument u8 flags and (bit 1) u32 length + 1 and the string with its NUL, else u32 value.
    // Writes at *cursor (before end) and advances → 0; 1 null cursor or pairs; 2 does not fit
    // (nothing written). A null string is stored as an empty one.
    int PackCommand(uint8_t** cursor, const uint8_t* end, uint32_t command, const TgsArgPair* pairs,
                    uint32_t count);
    // Reads one packed command at *cursor (before end) and advances → 0; 1 null cursor or pairs;
    // 2 damaged (lengths past the record or end, missing NUL, more than capacity pairs). Strings
    // are copied into the frame's unpack block in script memory (an empty one reads as null with
    // bit 1); the next unpack reuses the block.
    int UnpackCommand(const uint8_t** cursor, const uint8_t* end, uint32_t* command, TgsArgPair* pairs,
                      uint32_t capacity, uint32_t* count);
    // PackCommand at the text buffer's write pointer → its result.
    int PackIntoText(uint32_t command, const TgsArgPair* pairs, uint32_t count);
    // Runs handler[command] for a packed command met while text is written: the result becomes
    // the last command result and `retTgsExp` → the result; -1 for a command without a handler.
    int32_t DispatchDeferred(uint32_t command, const TgsArgPair* pairs);

    // The string a pair holds (script memory, up to its NUL); "" for a null, non-string or bad one.
    std::string_view PairString(const TgsArgPair& pair) const;

    // The collected text (the buffer holds a NUL after it) and its emptying.
    std::string_view Text() const { return std::string_view(m_textBuffer, m_textLength); }
    uint32_t TextLength() const { return m_textLength; }
    void ClearText();

    int32_t LastCommandResult() const { return m_lastResult; }
    uint32_t ArgumentCount() const { return m_argumentCount; }
    // The counter a handler owns (chained waits); the decoder clears it after a command left it
    // unchanged.
    int32_t& HandlerCounter() { return m_handlerCounter; }
    int32_t CurrentMessage() const { return m_currentMessage; }
    void SetCurrentMessage(int32_t number) { m_currentMessage = number; }
    bool InDeferredDispatch() const { return m_inDeferredDispatch != 0; }
    bool HasPendingText() const { return m_hasPendingText; }
    CSobVM& Machine() { return m_vm; }
    CSobRuntime& Host() { return m_host; }

protected:
    CSobRuntime& m_host;
    CTgsHostLink* m_link = nullptr;
    CSobVM m_vm;
    std::vector<TgsCommand> m_commands;
    int32_t m_lastResult = 0;
    bool m_hasPendingText = false;
    std::string m_pendingText;
    char m_textBuffer[kTextBufferSize] = {};
    uint32_t m_textLength = 0; // the write pointer
    uint8_t m_inDeferredDispatch = 0;
    uint32_t m_argumentCount = 0;
    int32_t m_handlerCounter = 0;
    int32_t m_currentMessage = -1;

private:
    struct Operand;
    // Links code (its link tables at tables, u8 or u32 counts) once, checking every entry first
    // → false when an entry is bad (nothing written). flagAddress is the linked flag's address.
    bool CheckLinks(uint32_t code, uint32_t codeLength, const uint8_t* tables, size_t tableBytes,
                    bool wideCounts) const;
    void ApplyLinks(uint32_t code, uint32_t codeLength, const uint8_t* tables, size_t tableBytes,
                    bool wideCounts);
    // Runs linked code with the budget → 0 left, 1 yielded, 2 failed; sp is restored but after a
    // yield of inline code (keepYield).
    int RunCode(uint32_t code, bool keepYield);
    // host: the text area in host memory (textAddress there).
    bool ParseOperand(uint32_t kind, ByteReader& in, uint32_t textAddress, const uint8_t* host,
                      Operand* out) const;
    bool Evaluate(Operand& op, uint32_t* value);
    void AppendText(const uint8_t* bytes, size_t length);
    int64_t Malformed();

    uint32_t m_unpackBlock = 0; // script memory for unpacked strings

    // The frame as a saved state (everything but the log, which the encoder reads itself).
    void CaptureState(TgsSavedState* state);
    // Reads and checks a block into staged parts → LoadState's code; nothing running changes.
    int StageState(const uint8_t** cursor, size_t* left, bool withBacklog, TgsSavedState* state,
                   StagedState* store);
    // The choice list and page a loaded state shows again at the rebuild.
    std::unique_ptr<TgsSavedPage> m_resumePage;
    uint8_t m_resumeVoice = 0; // the saved page's voice plays again when its wait resumes
    uint8_t m_rebuildPending = 0; // loaded; the scene is rebuilt when the scenario resumes

    void AddHandlers();
    void InitMembers();
    void ReleaseMembers();
    void ForgetMousePosition();
    void PollMouse();
    bool ChoiceInputTaken(int* index);
    void AddSceneSnapshot();
    int ActionIndex();
    void ShowChoices(bool show);
    void StartPageVoice(const std::string& name);
    // The wait for the page's voice: → true when the page wait ends.
    bool VoiceWaitEnded();

    uint8_t m_setUp = 0;
    uint8_t m_skipMode = 0, m_pageSkip = 0, m_noDisplay = 0, m_readMessage = 0, m_autoPlay = 0;
    uint8_t m_skippable = 0, m_resumedPage = 0, m_choiceWait = 0, m_pageWaitByte = 0;
    uint8_t m_stateReplaced = 0, m_styleChanged = 0, m_skipToChoice = 0, m_backlogDrawing = 0;
    uint8_t m_backlogOn = 1, m_switchPending = 0, m_switchCounter = 1, m_menuShown = 0;
    int32_t m_transparencyOverride = -1;
    int32_t m_currentWindow = 0;
    int32_t m_choiceCount = 0;
    std::array<uint8_t, 5> m_choiceDisabled{};
    std::array<int32_t, 6> m_startValues{};
    std::array<uint8_t, kMenuItems> m_menuState{};
    std::array<CControl*, kMenuItems> m_menuItems{};
    std::string m_nameText, m_speaker, m_voice, m_pendingVoice, m_questionText;
    uint32_t m_choiceSerial = 0;
    bool m_hasChoiceSerial = false;
    int32_t m_resultWord = 0;
    int32_t m_lastMouseX = -1, m_lastMouseY = -1;
    uint32_t m_pausedTotal = 0, m_pauseStart = 0;
    uint32_t m_timer[2] = {};
    // The page's voice: playing, the advance-at-voice-end state (0, 1 voice plays, 2 its minimum
    // wait runs) and whether one was started since the last stop.
    uint8_t m_voicePlaying = 0, m_voiceWaitState = 0, m_voiceStarted = 0;
    std::array<std::unique_ptr<CGlyphFont>, 4> m_fonts;
    std::unique_ptr<CMessageWindow> m_messageWindow;
    std::unique_ptr<CTextPanel> m_nameWindow;
    std::unique_ptr<CTextLayer> m_textLayer;
    std::unique_ptr<CImageObject> m_ownCanvas;
    CImageObject* m_canvas = nullptr;
    CControlContainer* m_form = nullptr;
    std::unique_ptr<CImage> m_screenImage;
    std::array<std::unique_ptr<CImage>, 2> m_workImages;
    std::unique_ptr<CImage> m_menuImage;
    std::unique_ptr<CSprite> m_menuSprite;
    CLayerEffect* m_menuFader = nullptr; // the scheduler's; cleared when it ends
    CTextLog m_textLog;
    std::vector<int32_t> m_bgTable;
    // ---- layers and sprites ----
    std::array<TgsPageRecord, 2> m_pages;
    std::array<TgsSpriteRecord, 6> m_groupA;
    std::array<TgsSpriteRecord, 10> m_groupB;
    std::array<TgsSpriteRecord, 6> m_groupC;
    // The records by page: the transitions swap these pointers, never the records.
    TgsPageRecord* m_pFrontPage = &m_pages[0];
    TgsPageRecord* m_pBackPage = &m_pages[1];
    // Per group the front pointers, then the back ones.
    std::array<TgsSpriteRecord*, 6> m_pSpritesA{};
    std::array<TgsSpriteRecord*, 10> m_pSpritesB{};
    std::array<TgsSpriteRecord*, 6> m_pSpritesC{};
    std::array<CImageObject*, 2> m_pScreens{};
    std::unique_ptr<CImageObject> m_ownBackCanvas;
    std::vector<std::pair<const CImage*, int>> m_imageRefs;
    uint8_t m_autoTint = 0;
    void InitLayers();
    void ReleaseLayers();
    // m_pScreens from the canvas: its back canvas, or one of the frame's own → 0; 1 none made.
    int AttachScreens();
    // The canvas loses the frame's own back canvas and its swap handler; m_pScreens cleared.
    void DetachScreens();
    // The windows go to the canvas's scene (after a swap), behind the page's drawables of equal
    // priority, as when they were made before the page's sprites.
    void CarryWindowsToFront();
    std::array<TgsLayerSlot, 3> m_layers;
    std::array<TgsWindowRecord, 1> m_windowRecords;
    int32_t m_ruleNumber = -1;
    int m_pendingSlot = -1;

    // ---- effect control and transitions ----
    int StartRow(TgsEffectStart start, CLayerEffect** holder, CImageObject* target,
                 std::initializer_list<TgsEffectValue> values);
    // The holder of a start's target t (TargetHolder: layer slot -t stopped first, or the page's
    // holder released first) → null for a slot above 2.
    CLayerEffect** TargetHolder(int32_t t, uint8_t page, TgsLayerSlot** slot);
    void SetPageView(uint8_t page, int32_t x, int32_t y, const int32_t* rect, double zoom, int32_t angle);
    // The page's view as a bg_blur centred at (cx, cy) ends.
    void ViewFromBlur(uint8_t page, int32_t cx, int32_t cy, double zoom, double turns);
    // Places a sprite from an animation effect's report (dx, dy, priority, order, zoom, angle, centre,
    // zoom flag).
    void PlaceFromReport(TgsSpriteRecord& record, uint8_t page, int group, int n, const CEffectArgs& report);
    // The group's priority range for sp_panime and sp_change.
    void SetPriorityRange(int group);
    // Every layer, page and window effect released (the scene is cleared).
    void ReleaseEffects();
    void PlaceWindow(int32_t dx, int32_t dy);
    // A fading change takes the record's sprite off it (the effect owns it after a good set-up);
    // DeleteDetached drops one the effect did not take.
    CSprite* DetachSprite(TgsSpriteRecord& record);
    void DeleteDetached(CSprite* sprite, uint8_t page);
    // The vertical offset the named picture's offset table lists for a part-list number (0 when
    // the picture has no table or no such entry).
    int32_t PictureOffset(const char* name, int32_t number) const;
    // The named transitions' common course: page mode 1, the running one ended; true when a skip
    // applied the change at once.
    bool TransitionSkipped();
    // Made on the screen and begun → 0, or applied at once and CreateTransition's code.
    int StartNamedTransition(const char* name, uint8_t keep, const CEffectArgs& args);
    // ---- the backlog ----
    struct BacklogPageRecord {
        std::unique_ptr<CImage> image;
        std::unique_ptr<CSprite> sprite;
        int32_t y = 0, height = 0;
        std::string voice;
        int32_t scene = -1; // the log index of the page's scene snapshot
    };
    std::unique_ptr<CMessageWindow> m_backlogWindow;
    std::array<BacklogPageRecord, kBacklogPages> m_backlogPages;
    std::string m_backlogNameLine; // a page's name line, kept so a scroll step allocates nothing
    int m_backlogPageCount = 0;
    int32_t m_backlogLine = 0, m_backlogHeight = 0, m_backlogScroll = 0;
    std::unique_ptr<CImage> m_backlogShade;
    std::unique_ptr<CSprite> m_backlogShadeSprite;
    std::array<std::unique_ptr<CImage>, 4> m_scrollImages;   // bar, frame, up, down
    std::array<std::unique_ptr<CSprite>, 4> m_scrollSprites;
    std::unique_ptr<CImage> m_sceneView;
    std::unique_ptr<CSprite> m_sceneViewSprite;
    // The logged scene at log index i shown behind the backlog → true when shown.
    bool ShowSceneView(int32_t i);
    void ShowBacklogSprites(bool show, int alpha);
    void PlaceScrollThumb();
    void ReleaseBacklog();

    // ---- the system menu ----
    std::array<CControl*, kSystemMenuItems> m_systemButtons{};
    std::unique_ptr<CImage> m_systemMenuImage;
    std::unique_ptr<CSprite> m_systemMenuSprite;
    uint8_t m_systemButtonsShown = 0;
    void SetSystemButtonsAlpha(int alpha);
    // Deletes the open menu's items and background.
    void CloseSystemMenu();

    // ---- sound channels ----
    std::array<TgsSoundChannel, kEffectChannels> m_soundChannels;
    std::array<uint8_t, kLoopChannels> m_channelLoop{};
    int32_t m_nextEffectChannel = 0;
    int32_t m_musicNumber = 0;
    // The skip test the sound waits share (skippable, the quick-effects setting when asked).
    bool SoundWaitSkipped(bool skippable, bool checkSetting);
    // The kept name of an effect channel that loops (a name equal to it is not copied again).
    void KeepChannelName(int32_t channel, const char* file, bool stream);

    uint8_t m_transitionRunning = 0;
    uint8_t m_pageMode = 1;
    std::array<uint8_t, 2> m_transitionOptions{};
    std::array<int32_t, 6> m_rememberedQuake{};
};
