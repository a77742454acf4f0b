// CGameApp: the game's one application object. Over the frame it reads the game's application
// and settings files, chooses the save folder, registers the decoders, mounts the archives, and
// writes the player's settings back at exit. main builds it on its stack and runs it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/app_frame.h"
#include "display/screen.h"
#include "display/screen_frame_link.h"
#include "files/movie_library.h"
#include "files/object_plugin_manager.h"
#include "files/pixel_library.h"
#include "files/sll_manager.h"
#include "files/transition_plugin_manager.h"
#include "game/app_files.h"
#include "game/apply_settings.h"
#include "game/settings_files.h"
#include "natives/game_app_link.h"
#include "platform/cos_table.h"
#include "platform/frame_timer.h"
#include "platform/timer_manager.h"
#include "script/sob_native_args.h"
#include "sound/sound_device.h"

class CScriptHost;
struct ScriptRequest;

class CGameApp : public CAppFrame, public CGameAppLink {
public:
    CGameApp();
    ~CGameApp() override;

    // --- the frame's hooks ---
    // The start-up → 0, 1 KW_APP.SYS unreadable, 2 KW_APP.INF unreadable, 3 USER.CFG unreadable
    // or the player refused the folder, 4 no save folder (mode 2).
    int SetAppInfo() override;
    const char* GetLogFolder() override { return m_saveFolder.c_str(); }
    // Window set-up before the main window exists → 0.
    int OnBeforeCreateWindow() override;
    // Device set-up after the window, input and sound enumeration: the pixel library from the
    // program folder and the frame timing → 0.
    int OnDevicesReady() override;
    void OnExit(int code) override;
    void OnExitDone(int code) override { SaveSettings(code); }
    // A stop of the game thread (a close, the exit) makes a script step that has not yielded
    // within kScriptStopGraceMs give up as an invalid script.
    void OnGameThreadStopRequested() override;
    // The game thread did not answer the stop: the process ends as the invalid script would.
    void OnGameThreadHung(int code) override;
    static constexpr uint32_t kScriptStopGraceMs = 500;
    // The end code of an invalid script (a fault, or a stop it did not answer).
    static constexpr int kRunBadScriptEnd = 3;

    // --- the frame loop (both threading modes) ---
    int OnThreadStart() override;
    // → 0 go on; -1 the script ended; 1 a frame failure; 3-6 script errors (their message shown).
    int OnThreadFrame() override;
    void OnThreadEnd() override;
    // The whole single-threaded game.
    void RunNoMessageLoop() override;
    // → 0, or 1 no memory, 2 system files, 3 MAIN cannot be opened, 4 MAIN invalid, 5 MAIN
    // failed to link, k + 2 for other opening codes k (messages shown).
    int StartScriptHost();
    // Waits for and shows the next frame through the stored driver (natives that wait inside a
    // call use it) → 0 stop, -1 one script step, 1..4 that many steps.
    int StepFrame() override;
    // The MAIN script again from the top, with ScriptBootFlg ±(the host's settings flag) by flag
    // → 0, or 1 when MAIN cannot be opened; every sync and timer override is popped.
    int InterruptToMain(int flag);
    // fps < 0 keeps the timer's rate.
    void ApplyFrameTiming(int fps) override;
    int PushSyncOverride() override;
    void PopSyncOverride() override;
    void PushTimerFlagOverride() override;
    void PopTimerFlagOverride() override;
    CFrameTimer* GetFrameTimer() override { return &m_timer; }
    void SetScriptFlag(bool on) override { m_scriptFlag = on; }
    bool GetScriptFlag() const { return m_scriptFlag; }
    int LowerThreadPriority() override;
    int RestoreThreadPriority() override;
    uint8_t GetStopWhenInactive() const override { return m_settings.user.stopWhenInactive; }
    void SetStopWhenInactive(uint8_t value) override { m_settings.user.stopWhenInactive = value; }
    uint8_t GetDisplayFlag() const override { return m_syncDisplayFlag ? 1 : 0; }
    // Set by the settings sheet's pages; ApplyTextDisplaySettings reads and clears it.
    void SetSettingsChanged(uint8_t value) override { m_settingsChanged = value; }
    uint8_t GetSettingsChanged() const override { return m_settingsChanged; }
    int ApplyTextDisplaySettings(bool onlyIfChanged, uint8_t clearChanged, CTextPanel* frame, CTextLayer* text,
                                 CFont* font, bool applyFont, bool applyHistory) override;
    // The return-to-title request (1) that the menu makes; the game thread carries it out.
    void RequestInterrupt(uint8_t value) { m_interrupt = value; }
    // The code of the error that ended the game thread (0 none).
    int GetEndCode() const { return m_endCode; }
    CFrameTimer& Timer() { return m_timer; }
    CScriptHost* Host() { return m_host.get(); }
    CScreen& ScreenObject() { return m_screenObject; }
    // What the display answers for the frame timing (the GDI screen: no vertical blank).
    void SetDisplayTiming(bool canWaitVerticalBlank, int refreshHz)
    {
        m_canWaitVBlank = canWaitVerticalBlank;
        m_refreshHz = refreshHz;
    }
    int GetSyncInterval() const { return m_syncInterval; }
    // Whether a shown frame clears the back buffer before the task list draws (0 at start).
    void SetClearBeforeDraw(uint8_t on) { m_clearBeforeDraw = on; }
    uint8_t GetClearBeforeDraw() const { return m_clearBeforeDraw; }
    // Frames that ran script steps so far.
    int GetSteppedFrames() const { return m_steppedFrames; }
    // The script steps one frame runs for the timer's late-frame count.
    static int StepsForLateFrames(int late, bool threaded);
    int GetSyncOverrides() const { return m_syncOverrides; }
    int GetTimerOverrides() const { return m_timerOverrides; }

    // Writes USER.CFG and APP_CFG.DAT unless skip is non-zero or the save-folder mode is 5; a
    // failure shows its message and keeps the old files.
    void SaveSettings(int skip);
    // → 0, or -1 for a group above 4.
    int EnableMenuItemGroup(int group, bool enable) override;
    // A message box with the kind's buttons (MB_OK, MB_YESNO, ...) owned by the main window →
    // the button pressed (IDOK, IDYES, ...).
    int ShowMessageDialog(const char* utf8, UINT buttons);
    // The game's input actions (null before the devices are set up) and the sound device.
    CActionMap* GetActionMap() override { return m_actionMap; }
    CSoundDevice& SoundDevice() { return m_soundDevice; }
    // Re-applies the settings block's key, joystick and mouse assignments.
    void ApplyKeyAssignments();
    void ApplyJoystickAssignments();
    // Pushes the stored sound options into the script host's sound player → false without a host.
    bool ApplySoundSettings();

    // --- CGameAppLink ---
    bool IsDialogBusy() override { return m_busy != kBusyNone; }
    HWND GetMainWindow() override { return CAppFrame::GetMainWindow(); }
    bool IsMenuFlagSet(int flag) override { return flag >= 0 && flag < 5 && m_menuGroups[flag] != 0; }
    bool IsWindowModeAllowed() override { return (m_options.keyOptions & 4) != 0; }
    // Around a synchronous command: the running flag is clear while the game thread is parked in
    // its send (jobs for it then run on the user-interface thread), and the pause and resume
    // operations run.
    void PauseForCommand() override
    {
        SetRunningFlag(false);
        OnPause();
    }
    void ResumeAfterCommand() override
    {
        SetRunningFlag(true);
        OnResume();
    }
    // Runs work on the script host's state where that is safe: at once single-threaded, on the
    // game thread itself, or while the game thread is parked in a send; else handed to the game
    // thread's frame driver (its next frame, or the wait it is in) while this thread's sent
    // messages are served → the job's result; -1 when the game thread is not running.
    int RunGameJob(const std::function<int()>& job);
    CTimerManager* GetTaskList() override { return &m_taskList; }
    CImeContext* GetFrameImeContext() override { return &GetImeContext(); }
    uint8_t GetSettingsByte(uint32_t offset) override
    {
        return offset < sizeof(AppConfig) ? reinterpret_cast<const uint8_t*>(&m_settings.config)[offset] : 0;
    }
    CLock* GetMovieLock() override { return &m_movieLock; }
    uint8_t GetMoviePlaying() override { return m_moviePlaying.load(); }
    void SetMoviePlaying(uint8_t value) override { m_moviePlaying = value; }
    bool IsMovieSpriteOption() override { return m_options.gameBytes[0] != 0; }

    // --- the window movie (g_pMovie, under the movie lock) ---
    // Deletes g_pMovie and clears the movie-playing byte (deactivation in full screen, exit).
    void DeleteMovieObject();
    void OnDeactivateFullScreen() override { DeleteMovieObject(); }
    uint32_t OnDisplayChange(CWindowMessage* m) override;
    // The frame's repaint, and the window movie's own paint while it plays.
    uint32_t OnPaint(CWindowMessage* m) override;
    // 0x9006: the window movie's events.
    uint32_t OnMovieNotify(CWindowMessage* m);

    // --- state (tests and the layers above read it) ---
    const std::string& GetSaveFolder() const override { return m_saveFolder; }
    SettingsState& Settings() { return m_settings; }
    AppConfig& Config() { return m_settings.config; }
    uint8_t* UserBlock() { return m_settings.user.user; }
    const AppDescription& Description() const { return m_description; }
    const AppInfo& Info() const { return m_info; }
    uint8_t SaveMode() const { return m_description.bytes[kSysSaveMode]; }
    uint8_t GetInstallInfo() const { return m_installInfo; }
    const std::string& GetInstallSourcePath() const override { return m_installSource; }
    uint8_t GetMenuGroupFlag(int group) const override { return group >= 0 && group < 5 ? m_menuGroups[group] : 0; }
    // --- the scenario engine's hand-over (window_handlers.cpp) ---
    bool IsMenuItemGroupEnabled(int group) override { return GetMenuGroupFlag(group) != 0; }
    bool IsThreaded() override { return m_options.gameThread != 0; }
    bool IsInterrupted() override { return m_interrupt.load() != 0; }
    // 0 the pointer is off the screen, 2 it rests on the screen's last row, 1 elsewhere on it.
    int GetMouseAreaState() override
    {
        const CursorPosition& at = GetCursorPosition();
        if (at.x < 0 || at.y < 0)
            return 0;
        return at.y >= static_cast<int32_t>(m_options.screenHeight) - 1 ? 2 : 1;
    }
    uint8_t GetMenuCommandByte() override { return m_menuCommand.load(); }
    // The UI thread marks the command it runs (command + 1) and clears the byte when done.
    void SetMenuCommandByte(uint8_t value) { m_menuCommand = value; }
    // WM_COMMAND id to the main window → false without one or when the queue refused it.
    bool PostWindowCommand(uint32_t id) override;
    // The Yes/No question through 0x9009; the game thread waits for the answer there.
    bool PostQuestion(int kind, const char* text) override;
    int GetQuestionAnswer() override { return m_questionAnswer; }
    bool WaitMenuCommandTaken(uint32_t ms) override;
    uint8_t GetFailureByte() const { return m_failureByte; }
    void SetFailureByte(uint8_t value) { m_failureByte = value; }
    // The display flag that a user block with sync mode 0 sets.
    bool SyncDisplayFlag() const { return m_syncDisplayFlag; }
    // Whether the display can change modes itself (false on the GDI screen).
    void SetDisplayCapable(bool capable) { m_displayCapable = capable; }
    bool DirectDrawResolutionChange() const { return m_ddrawResolution; }
    CSllManager& SoundDecoders() { return m_soundDecoders; }
    int MountedPatches() const { return m_patches; }

    // --- the game thread, the schedulers, the movie libraries ---
    bool UsesGameThread() const { return m_options.gameThread != 0; }
    // The task list (run on every pass of the frame loop) and the object manager (run once per
    // shown frame), published by the device set-up as g_pTaskList and g_pObjectManager.
    CTimerManager& TaskList() { return m_taskList; }
    CTimerManager& ObjectManager() { return m_objectManager; }
    CLock& GetAppLock() { return m_appLock; }
    // The movie libraries that loaded (null otherwise).
    CMovieLibrary* MovieLibrary(MovieLibraryKind kind) const;

protected:
    // Called as each frame falls due, in both threading modes (benchmarks time the intervals).
    virtual void OnFrameDue() {}

private:
    // Device set-up: the globals of the frame's members, the movie libraries, the user block's
    // options of the lower layers; and their release at exit.
    void PublishDevices();
    void LoadMovieLibraries();
    void ApplyUserBlockToLayers();
    void ReleaseDevices();
    // Runs the due tasks of the task list (under the application lock when locked).
    void FeedTaskList(bool locked);

    CTimerManager m_taskList;
    CTimerManager m_objectManager;
    CLock m_appLock;
    CLock m_movieLock;
    std::atomic<uint8_t> m_moviePlaying{0};
    std::unique_ptr<CMovieLibrary> m_primLibrary;
    std::unique_ptr<CMovieLibrary> m_spriteLibrary;
    std::unique_ptr<CMovieLibrary> m_movieLibrary;

private:
    int LoadAppFiles();
    int PrepareUserFolder(const std::string& folder);
    int LoadUserCfg(const std::string& folder);
    int ChooseSaveFolder(std::string* folder, bool* chosen);
    void ReadInstallRecord();
    void ApplyDisplayOptions();
    std::string SaveFolderName() const;
    std::string UserCfgFolder() const;
    // A file of the game folder (loose or from an archive) → false with why set to one English
    // line naming the file and the cause.
    bool LoadGameFile(const char* name, std::vector<uint8_t>* out, std::string* why = nullptr);
    // The form of a Windows path the player knows (the Linux path).
    static std::string HostPath(const std::string& windowsPath);
    // A start-up failure's extra line on stderr, under the Japanese message.
    static void StartFailure(const char* what, const std::string& cause);
    std::string m_baseFolderTooLong;  // the game folder given could not be the base: why
    std::string m_archiveFailure;     // SCRIPT.KPK is there but could not be mounted: why
    void Message(const char* utf8, uint8_t icon);
    // Device set-up: the action map, its key table and assignments → 0, 1 no input devices,
    // 2 no action map (message shown); the sound device and its warning.
    int SetUpInput();
    void SetUpSound();
    void MessageWithFolder(const char* utf8Format, const std::string& folder, uint8_t icon);
    bool AskWithFolder(const char* utf8Format, const std::string& folder);

    // The frame drivers: idle = the screen shows its frame image; locked = the game thread's.
    int WaitTicks() { return Drive(false, false); }
    int WaitTicksIdle() { return Drive(true, false); }
    int WaitTicksLocked() { return Drive(false, true); }
    int WaitTicksLockedIdle() { return Drive(true, true); }
    int Drive(bool idle, bool locked);
    // The game thread takes a job handed to it by RunGameJob.
    void RunPendingGameJob();
    void ShowFrame(bool idle);
    bool MustWaitInactive();
    void WaitFor(uint32_t ms);
    // Not due yet: draws first while the priority is lowered, then waits.
    void WaitUntilDue(bool idle);
    // Runs count steps → 0 go on, kStepInterrupted, -1 ended, or an error code.
    int RunSteps(int count);
    static constexpr int kStepInterrupted = 100;

    CScreen m_screenObject;
    CScreenFrameLink m_screenLink{&m_screenObject};
    std::unique_ptr<CScriptHost> m_host;
    CFrameTimer m_timer{60, false};
    int (CGameApp::*m_driver)() = nullptr;
    std::atomic<uint8_t> m_interrupt{0};
    int m_endCode = 0;
    std::atomic<int> m_steppedFrames{0};
    int m_syncOverrides = 0;
    int m_timerOverrides = 0;
    int m_syncInterval = 0;
    uint8_t m_clearBeforeDraw = 0;
    bool m_forcedInterval = false;
    bool m_canWaitVBlank = false;
    int m_refreshHz = 60;
    SettingsState m_settings;
    AppDescription m_description;
    AppInfo m_info;
    std::string m_saveFolder;     // ends in a backslash
    std::string m_userFolder;     // the folder USER.CFG was read from (modes 0, 2, 3, 4), with '\'
    uint8_t m_menuGroups[5] = {1, 0, 0, 0, 1};
    std::atomic<uint8_t> m_menuCommand{0};
    struct GameJob {
        const std::function<int()>* work;
        int result = -1;
        std::atomic<bool> done{false};
        HANDLE finished = nullptr; // set with done: the waiting thread wakes without sleeping
    };
    std::atomic<GameJob*> m_gameJob{nullptr};
    int m_questionAnswer = -1;
    bool m_commandPosted = false;
    uint8_t m_installInfo = 0;
    std::string m_installSource;
    uint8_t m_failureByte = 0;
    bool m_syncDisplayFlag = false;
    bool m_displayCapable = false;
    bool m_ddrawResolution = false;
    int m_patches = 0;
    CCosTable m_cosTable;
    std::unique_ptr<CPixelLibrary> m_pixelLibrary;
    CSllManager m_soundDecoders;
    CActionMap* m_actionMap = nullptr;  // the input manager's
    MouseAssignments m_mouseActions;
    CSoundDevice m_soundDevice;
    bool m_soundWarned = false;
    CTransitionPluginManager m_transitions;
    CObjectPluginManager m_objectKinds;

    // --- the main window: its set-up, handlers and message dialogs (window_handlers.cpp) ---
public:
    // What the game thread hands over with message 0x9009.
    struct MessageDialogRequest {
        uint8_t kind = 0;             // 0 OK, 1 OK and "do not show again", 2 Yes/No, 3 Yes/No and the tick
        const char* text = nullptr;   // Shift-JIS; a request without text is ignored
        const char* title = nullptr;  // null: the application's title
        uint8_t* check = nullptr;     // kinds 1 and 3: the tick's state (may be null)
        uint8_t fit = 0;
        uint8_t result = 1;           // kinds 2 and 3: 1 Yes, 0 No
    };
    // The dialog's owner: busy values while one of the game's dialogs is open.
    enum : uint8_t {
        kBusyNone = 0,
        kBusySettings = 1,
        kBusySaveDialog = 2,
        kBusyLoadDialog = 3,
        kBusyQuitQuestion = 4,
        kBusyVersionDialog = 6,
        kBusyTitleQuestion = 7,
        kBusyMessageDialog = 8,
    };

    // The monitor for full screen (the settings' monitor, else the one nearest the window or the
    // stored position) chosen on the display with the depth in flags → 0, or the display's code.
    int SelectTargetMonitor(HWND window, DWORD flags) override;
    // A message dialog of the kind on the UI thread (Shift-JIS text; owner null: the main window,
    // else the desktop) → 1 Yes, 0 No for kinds 2 and 3; 0 for kinds 0 and 1 and for no text.
    int ShowMessageDialog(const char* text, uint8_t kind, uint8_t* check, const char* title, uint8_t fit,
                          HWND owner);
    // The dialog of a request → 0; 1 for a null request or text.
    int RunMessageDialog(MessageDialogRequest* request);
    // From the game thread: the dialog on the UI thread through 0x9009 → the request's result
    // (1 for kinds 0 and 1); 0 without a main window.
    uint8_t RequestMessageDialog(const char* text, uint8_t kind, uint8_t* check, const char* title,
                                 uint8_t fit) override;
    // What the data-input dialog (command 40026) asks: set by the scripts, read by the dialog.
    struct DataInputRequest {
        std::string caption;  // empty: the resource's title
        std::string label;
        std::string result;   // the text entered, set on OK
        uint8_t doubleByteOnly = 0;
        uint8_t maxBytes = 0; // 0: no limit
        uint8_t imeOn = 0;
        int32_t width = 0;    // 0: the resource's width
        int32_t x = -1, y = -1; // either negative: centred
    };
    DataInputRequest& GetDataInputRequest() { return m_dataInput; }
    // Dialog 116 over the request (command 40026) → 1 after OK, 0 when closed.
    INT_PTR RunDataInputDialog(HWND owner);
    // Dialog 111 (command 40004).
    INT_PTR RunVersionDialog(HWND owner);
    int InputTextForScript(const char* caption, const char* label, uint8_t doubleByteOnly, uint8_t maxBytes,
                           uint8_t imeOn, int32_t width, int32_t x, int32_t y) override;
    uint8_t* GetUserBlock() override { return m_settings.user.user; }
    uint8_t GetBusy() const { return m_busy; }
    bool IsClosePending() const { return m_closePending; }
    HICON GetIcon() const { return m_icon; }
    // Natives appended after the host's own each time the script host is made (tests).
    void SetExtraNatives(std::vector<SobNative> natives) { m_extraNatives = std::move(natives); }

    // Handlers of the main window (0: handled).
    virtual uint32_t OnCreate(CWindowMessage* m);
    virtual uint32_t OnCloseRequest(CWindowMessage* m);
    virtual uint32_t OnDestroy(CWindowMessage* m);
    virtual uint32_t OnQueryEndSession(CWindowMessage* m);
    virtual uint32_t OnMessageDialogRequest(CWindowMessage* m);
    virtual uint32_t OnSysCommand(CWindowMessage* m);
    virtual uint32_t OnCommand(CWindowMessage* m);
    virtual uint32_t OnDropFiles(CWindowMessage* m);
    // The dialogs that other parts of the game bring (owner, and for the save/load dialog whether it
    // saves). Until one is set its command sets and clears its busy value and shows nothing.
    void SetVersionDialog(std::function<void(HWND)> run) { m_versionDialog = std::move(run); }
    void SetSettingsSheet(std::function<void(HWND)> run) { m_settingsSheet = std::move(run); }
    void SetSaveLoadDialog(std::function<void(HWND, bool)> run) { m_saveLoadDialog = std::move(run); }
    // A close that waited for the full-screen window to come back is posted now.
    void OnActivateFullScreen() override;

private:
    void InstallMessageHandlers();
    // Runs a dialog's body with the busy value, inside the frame's modal state; nothing (false) while
    // busy or while the menu group (-1: none) is disabled.
    bool RunBusy(uint8_t busy, int group, const std::function<void()>& body);
    void SwitchScreenModeCommand();
    void ReturnToTitleCommand();
    // Commands 40027-40030: the open and save dialogs, the folder browser, the sound format.
    void AnswerScriptRequest(HWND hwnd, WORD id, ScriptRequest& request);
    void ChooseStartMonitor();
    void AddExtraNatives();

    HICON m_icon = nullptr;
    uint8_t m_busy = kBusyNone;
    bool m_closePending = false;
    std::vector<SobNative> m_extraNatives;
    DataInputRequest m_dataInput;
    std::function<void(HWND)> m_versionDialog;
    std::function<void(HWND)> m_settingsSheet;
    std::function<void(HWND, bool)> m_saveLoadDialog;
    bool m_scriptFlag = false;
    uint8_t m_settingsChanged = 0;

    // --- the settings sheet (settings_sheet.cpp) ---
public:
    // The frame's machine options (USER.CFG records 1 and 2) that the sheet shows and edits.
    AppFrameOptions& FrameOptions() { return m_options; }
    // Set by the system page's apply when the popup-hint switch or delay changed.
    void SetHintSettingsChanged(uint8_t value) { m_hintSettingsChanged = value; }
    uint8_t GetHintSettingsChanged() const { return m_hintSettingsChanged; }
    // After the sheet: the game thread re-applies the changed hints and text display before its
    // next script step (they belong to the form, the fonts and the frame).
    void RequestAfterSettingsSheet() { m_afterSheet = 1; }
    void RunAfterSettingsSheet();
    // The display options of the settings block copied into the screen (b160-b164).
    void ApplyScreenOptions();

private:
    uint8_t m_hintSettingsChanged = 0;
    std::atomic<uint8_t> m_afterSheet{0};
};

// The application, while it exists.
extern CGameApp* g_pTheGameApp;
