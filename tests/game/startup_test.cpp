// The start-up over the headless host: save-folder modes, the player's answers, the folders made
// and the settings copied, the archives mounted, and the exit statuses of the executable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "authoring/kpk_writer.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_main.h"
#include "winapi/host_headless.h"
#include "winapi/shell/dialog_script.h"
#include "winapi/user.h"

namespace {

constexpr UINT kIconMask = 0xF0;

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// A game folder, and HOME and the XDG folders in temporary folders of their own.
struct GameFixture {
    TempFolder game, home;
    explicit GameFixture(uint8_t mode, uint8_t byte20 = 0)
    {
        setenv("HOME", home.Linux().c_str(), 1);
        setenv("XDG_DATA_HOME", home.Linux("data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", home.Linux("config").c_str(), 1);
        std::filesystem::create_directories(home.Linux("Documents"));
        std::filesystem::create_directories(home.Linux("data"));
        AppDescription sys = DefaultAppDescription(AppFrameOptions{});
        sys.bytes[kSysSaveMode] = mode;
        sys.bytes[kSysMode1AsMode0] = byte20;
        game.Write("SCRIPT/KW_APP.SYS", Str(BuildAppSys(sys)));
        AppInfo info;
        info.name = "Test";
        info.title = "Test Title";
        std::vector<uint8_t> inf;
        BuildAppInf(info, &inf);
        game.Write("SCRIPT/KW_APP.INF", Str(inf));
        UserCfg user;
        SetUserBlockDefaults(user.user);
        user.user[kUserCountLateFrames] = 7;  // marks the game's copy
        game.Write("USER.CFG", Str(BuildUserCfg(user)));
    }
    winapi::HeadlessHost& Host() { return *winapi::CurrentHeadlessHost(); }
};

struct Box {
    const char* start;  // the text's start (UTF-8)
    UINT icon;
};

// The folder chooser's next answer: the folder "picked" of the fixture's home.
void QueuePickedFolder(GameFixture& f)
{
    std::filesystem::create_directories(f.home.Linux("picked"));
    winapi::shell::DialogAnswer answer;
    answer.result = winapi::shell::DialogAnswer::Chosen;
    answer.pathLinux = f.home.Linux("picked");
    winapi::shell::QueueDialogAnswer(answer);
}

int RunStartUp(GameFixture& f, CGameApp& app, std::vector<int> answers, std::vector<winapi::HeadlessHost::MessageBoxRecord>* boxes)
{
    SetBaseFolder(f.game.Windows().c_str());
    const size_t before = f.Host().MessageBoxes().size();
    f.Host().QueueMessageBoxAnswers(std::move(answers));
    const int code = app.SetAppInfo();
    const auto all = f.Host().MessageBoxes();
    boxes->assign(all.begin() + static_cast<long>(before), all.end());
    return code;
}

} // namespace

TEST(StartUp, SaveFolderModesAndAnswers)
{
    enum State { Missing, NoCfg, WithCfg };
    struct Case {
        uint8_t mode;
        State state;
        int answer;
        int code;
        std::vector<Box> boxes;
        const char* saveFolder;  // below HOME ("" = the game folder)
    };
    const Case cases[] = {
        {0, Missing, IDYES, 0, {}, "Documents/Test SaveData"},
        {0, NoCfg, IDYES, 0, {{"/", MB_ICONQUESTION}}, "Documents/Test SaveData"},
        {0, NoCfg, IDNO, 3, {{"/", MB_ICONQUESTION}, {"/", MB_ICONEXCLAMATION}}, nullptr},
        {0, WithCfg, IDYES, 0, {}, "Documents/Test SaveData"},
        {3, Missing, IDYES, 0, {}, "data/Test SaveData"},
        {3, NoCfg, IDNO, 3, {{"/", MB_ICONQUESTION}, {"/", MB_ICONEXCLAMATION}}, nullptr},
        {4, WithCfg, IDYES, 0, {}, "data/Test SaveData"},
        {1, Missing, IDYES, 0, {}, "game:SAVEDATA"},
        {5, Missing, IDYES, 0, {}, "game:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " state " << c.state << " answer " << c.answer);
        GameFixture f(c.mode);
        const std::string base = c.mode == 0 ? "Documents/Test SaveData" : "data/Test SaveData";
        if (c.state != Missing)
            std::filesystem::create_directories(f.home.Linux(base));
        if (c.state == WithCfg) {
            UserCfg own;
            SetUserBlockDefaults(own.user);
            own.user[kUserCountLateFrames] = 9;
            f.home.Write(base + "/USER.CFG", Str(BuildUserCfg(own)));
        }
        CGameApp app;
        std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
        // Only asked questions take an answer (the host's queue keeps what is left).
        EXPECT_EQ(c.code, RunStartUp(f, app, c.state == NoCfg ? std::vector<int>{c.answer} : std::vector<int>{}, &boxes));
        ASSERT_EQ(c.boxes.size(), boxes.size());
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(c.boxes[i].icon, boxes[i].type & kIconMask) << boxes[i].text;
            EXPECT_EQ(0u, boxes[i].text.find("Z:")) << boxes[i].text;  // the folder first
        }
        if (c.code != 0 || c.saveFolder == nullptr)
            continue;
        const std::string expected = std::string(c.saveFolder).rfind("game:", 0) == 0
                                         ? f.game.Windows(std::string(c.saveFolder).substr(5))
                                         : f.home.Windows(c.saveFolder);
        std::string want = expected;
        for (char& ch : want)
            if (ch == '/')
                ch = '\\';
        if (want.back() != '\\')
            want += '\\';
        EXPECT_EQ(want, app.GetSaveFolder());
        // USER.CFG: the game's default copied into a new folder, the player's own kept.
        const uint8_t expectLate = c.state == WithCfg ? 9 : 7;
        EXPECT_EQ(expectLate, app.UserBlock()[kUserCountLateFrames]);
        // Mode 5 never saves.
        if (c.mode == 5) {
            std::filesystem::remove(f.game.Linux("USER.CFG"));
            app.SaveSettings(0);
            EXPECT_FALSE(f.game.Exists("USER.CFG"));
            EXPECT_FALSE(f.game.Exists("APP_CFG.DAT"));
        }
    }
}

TEST(StartUp, ModeOneWithByte20IsModeZero)
{
    GameFixture f(1, 1);
    CGameApp app;
    std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
    ASSERT_EQ(0, RunStartUp(f, app, {}, &boxes));
    EXPECT_EQ(0, app.SaveMode());
    EXPECT_TRUE(f.home.Exists("Documents/Test SaveData/USER.CFG"));
}

TEST(StartUp, ModeTwoAsksForAFolderAndSavesAtOnce)
{
    GameFixture f(2);
    QueuePickedFolder(f);
    CGameApp app;
    std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
    ASSERT_EQ(0, RunStartUp(f, app, {}, &boxes));
    EXPECT_EQ(f.home.Windows("picked\\Test SaveData\\"), app.GetSaveFolder());
    // The settings folder holds USER.CFG with the chosen folder, written at once.
    const std::string saved = f.home.Read("data/Test SaveData/USER.CFG");
    UserCfg read;
    ASSERT_EQ(0, ParseUserCfg(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &read));
    EXPECT_EQ(f.home.Windows("picked\\Test SaveData"), read.chosenFolder);
    EXPECT_TRUE(f.home.Exists("picked/Test SaveData/APP_CFG.DAT"));

    // Cancelled browser: no folder, code 4 and the information box.
    GameFixture g(2);
    winapi::shell::ClearDialogScript();
    CGameApp second;
    ASSERT_EQ(4, RunStartUp(g, second, {}, &boxes));
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes.back().type & kIconMask);
}

// Mode 2 with a remembered folder that is gone: No ends the start with 4; Yes opens the folder
// chooser and the new folder is remembered at once.
TEST(StartUp, ModeTwoWithTheRememberedFolderMissing)
{
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        GameFixture f(2);
        UserCfg user;
        SetUserBlockDefaults(user.user);
        user.chosenFolder = f.home.Windows("gone\\Test SaveData");
        f.home.Write("data/Test SaveData/USER.CFG", Str(BuildUserCfg(user)));
        QueuePickedFolder(f);
        CGameApp app;
        std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
        ASSERT_EQ(yes ? 0 : 4, RunStartUp(f, app, {yes ? IDYES : IDNO}, &boxes));
        ASSERT_FALSE(boxes.empty());
        EXPECT_NE(std::string::npos, boxes[0].text.find(user.chosenFolder)) << boxes[0].text;
        EXPECT_NE(std::string::npos, boxes[0].text.find("セーブデータ作成フォルダが見つかりません"));
        EXPECT_EQ(static_cast<UINT>(MB_YESNO), boxes[0].type & 0xFu);
        const std::string saved = f.home.Read("data/Test SaveData/USER.CFG");
        UserCfg read;
        ASSERT_EQ(0, ParseUserCfg(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &read));
        if (yes) {
            EXPECT_EQ(f.home.Windows("picked\\Test SaveData\\"), app.GetSaveFolder());
            EXPECT_EQ(f.home.Windows("picked\\Test SaveData"), read.chosenFolder);
        } else {
            EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes.back().type & kIconMask);
            EXPECT_EQ(user.chosenFolder, read.chosenFolder);  // nothing written
        }
        winapi::shell::ClearDialogScript();
    }
}

TEST(StartUp, FailuresAndArchives)
{
    {
        GameFixture f(5);
        std::filesystem::remove(f.game.Linux("SCRIPT/KW_APP.SYS"));
        CGameApp app;
        std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
        EXPECT_EQ(1, RunStartUp(f, app, {}, &boxes));
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("アプリケーション設定ファイルの読み込みに失敗", boxes[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), boxes[0].type & kIconMask);
    }
    {
        GameFixture f(5);
        f.game.Write("SCRIPT/KW_APP.INF", std::string("\x01\x00", 2));
        CGameApp app;
        std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
        EXPECT_EQ(2, RunStartUp(f, app, {}, &boxes));
        EXPECT_EQ("アプリケーション情報ファイルの読み込みに失敗", boxes.at(0).text);
    }
    {
        GameFixture f(5);
        f.game.Write("USER.CFG", std::string("\x48\x00\x01", 3));  // ends inside record 1
        CGameApp app;
        std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
        EXPECT_EQ(3, RunStartUp(f, app, {}, &boxes));
        EXPECT_EQ("環境設定ファイルの読み込みに失敗", boxes.at(0).text);
    }
    // Patches: PATCH.KPK and PATCH2.KPK mount (no PATCH3); the application files come from
    // SCRIPT.KPK; a foreign SET_UP.IFG is ignored.
    {
        GameFixture f(5);
        TempFolder content;
        content.Write("SCRIPT/KW_APP.SYS", f.game.Read("SCRIPT/KW_APP.SYS"));
        content.Write("SCRIPT/KW_APP.INF", f.game.Read("SCRIPT/KW_APP.INF"));
        std::filesystem::remove_all(f.game.Linux("SCRIPT"));
        std::vector<KpkWriterEntry> entries;
        std::string error;
        ASSERT_TRUE(CollectKpkEntries(content.Linux(), &entries, &error)) << error;
        for (const char* name : {"SCRIPT.KPK", "PATCH.KPK", "PATCH2.KPK"})
            ASSERT_TRUE(WriteKpkArchive(f.game.Windows(name), entries, KpkWriterOptions{}, &error)) << error;
        f.game.Write("SET_UP.IFG", "IFG2\x03" "abc\x00");
        CGameApp app;
        std::vector<winapi::HeadlessHost::MessageBoxRecord> boxes;
        EXPECT_EQ(0, RunStartUp(f, app, {}, &boxes));
        EXPECT_EQ(2, app.MountedPatches());
        EXPECT_EQ(0, app.GetInstallInfo());
    }
}

TEST(StartUp, CommandLineFolders)
{
    TempFolder dir;
    std::string line;
    ASSERT_TRUE(GameCommandLine(dir.Linux().c_str(), &line));
    EXPECT_EQ("/L" + dir.Windows(), line);
    ASSERT_TRUE(GameCommandLine("/LZ:\\raw", &line));
    EXPECT_EQ("/LZ:\\raw", line);
    EXPECT_FALSE(GameCommandLine(dir.Linux("missing").c_str(), &line));
    std::filesystem::create_directories(dir.Linux("\xE2\x82\xAC"));  // "€" has no Shift-JIS form
    EXPECT_FALSE(GameCommandLine(dir.Linux("\xE2\x82\xAC").c_str(), &line));
    ASSERT_TRUE(GameCommandLine(nullptr, &line));
    EXPECT_EQ("", line);
}

// Start-up failures a player can act on: each prints, under the Japanese message, one English
// line naming the file and the cause. Before, a damaged SCRIPT.KPK and a path too long were both
// reported as the application settings file, and an oversized screen or a second copy ended with
// nothing said at all.
TEST(StartUp, FailuresNameTheFileAndTheCause)
{
    struct Case {
        const char* name;
        std::function<std::string(GameFixture&)> breakIt;  // → the folder to run
        int status;
        const char* japanese;  // the box's text, or null when the start-up shows none
        std::string line;      // the English line's start, after the folder
    };
    const Case cases[] = {
        {"damaged SCRIPT.KPK",
         [](GameFixture& f) {
             std::filesystem::remove_all(f.game.Linux("SCRIPT"));
             f.game.Write("SCRIPT.KPK", std::string(64, '\x5A'));
             return f.game.Linux();
         },
         1, "アプリケーション設定ファイルの読み込みに失敗",
         "tessaro: cannot read application settings: @/SCRIPT.KPK: archive damaged"},
        {"oversized screen",
         [](GameFixture& f) {
             AppDescription sys = DefaultAppDescription(AppFrameOptions{});
             sys.SetU16(kSysWidth, 40000);
             sys.bytes[kSysSaveMode] = 5;
             f.game.Write("SCRIPT/KW_APP.SYS", Str(BuildAppSys(sys)));
             return f.game.Linux();
         },
         1, "アプリケーション設定ファイルの読み込みに失敗",
         "tessaro: cannot read application settings: @/SCRIPT/KW_APP.SYS: screen 40000x"},
        {"path too long",
         [](GameFixture& f) {
             const std::string deep = std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(100, 'f');
             std::filesystem::create_directories(f.game.Linux(deep));
             for (const char* name : {"SCRIPT/KW_APP.SYS", "SCRIPT/KW_APP.INF", "USER.CFG"})
                 f.game.Write(deep + "/" + name, f.game.Read(name));
             return f.game.Linux(deep);
         },
         1, "アプリケーション設定ファイルの読み込みに失敗", "tessaro: cannot read application settings: @"},
        {"second copy",
         [](GameFixture& f) {
             AppDescription sys = DefaultAppDescription(AppFrameOptions{});
             sys.bytes[kSysSaveMode] = 5;
             sys.bytes[kSysSingleInstance] = 1;
             f.game.Write("SCRIPT/KW_APP.SYS", Str(BuildAppSys(sys)));
             return f.game.Linux();
         },
         3, nullptr, "tessaro: cannot start: Test is already running"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GameFixture f(5);
        const std::string folder = c.breakIt(f);
        // The first copy holds the one-copy mutex.
        HANDLE first = CreateMutexA(nullptr, TRUE, "Ravelkit DXTest");
        ASSERT_NE(first, nullptr);
        std::string argument = folder;
        char* argv[] = {const_cast<char*>("tessaro"), argument.data(), nullptr};
        testing::internal::CaptureStderr();
        const int status = GameMain(2, argv);
        const std::string err = testing::internal::GetCapturedStderr();
        CloseHandle(first);
        EXPECT_EQ(c.status, status);
        std::string line = c.line;
        if (const size_t at = line.find('@'); at != std::string::npos)
            line.replace(at, 1, folder);
        const size_t english = err.find(line);
        EXPECT_NE(english, std::string::npos) << err;
        if (c.japanese != nullptr) {
            const size_t japanese = err.find(c.japanese);
            EXPECT_NE(japanese, std::string::npos) << err;
            EXPECT_LT(japanese, english) << err;
        }
        if (std::string(c.name) == "path too long") {
            EXPECT_NE(err.find("path too long"), std::string::npos) << err;
        }
    }
}
