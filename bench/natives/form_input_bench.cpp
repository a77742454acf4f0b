// Native 706 per frame against the form's own HandleInput. Both sides hold the same screen: 30
// buttons, a 300-row list layer with its bar and a typing text object, linked into a form. Ours
// made them through the creation natives (685, 700, 697, 716) in the scripts' control set and
// routes each frame through native 706 on the main form; the peer made them with the same C++
// calls into a second set and form and calls HandleInput itself. Each frame the pointer moves a
// step along a path over the buttons and the list, and the text objects' tasks run. Goal: the
// native path within 1.1 × (ratio ≥ 1 / 1.1).
#include "../tests/natives/support/native_call.h"
#include "contest.h"
#include "pixel_library_guard.h"
#include "authoring/picture_io.h"
#include "controls/button_control.h"
#include "controls/list_layer.h"
#include "display/app_frame.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "platform/app_config.h"
#include "platform/input_manager.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "raster/image.h"
#include "script/message_store.h"
#include "script/script_memory.h"
#include "script/tagged_text.h"
#include "winapi/text.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kButtons = 30;
constexpr int kRows = 300;
constexpr uint32_t kTail = 65535;

using hosttest::CallNative;
using hosttest::ScriptString;

// A game folder with the list's thumb picture, the file manager and the picture loaders.
struct Folder {
    Folder()
    {
        path = (std::filesystem::temp_directory_path() / ("tessaro-bench-form-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(path);
        pictures::Decoded picture;
        picture.width = 12;
        picture.height = 30;
        for (int i = 0; i < 12 * 30; ++i)
            picture.pixels.push_back(0xFF000000u | static_cast<uint32_t>(i * 2654435761u & 0xFFFFFF));
        std::vector<uint8_t> bytes;
        std::string error;
        if (!pictures::EncodeBmp32(picture, bytes, &error))
            std::abort();
        std::ofstream(path + "/BAR.BMP", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::string windows = "Z:" + path + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
    }
    ~Folder()
    {
        g_pGllManager = nullptr;
        g_pFileManager = nullptr;
        std::error_code code;
        std::filesystem::remove_all(path, code);
    }
    std::string path;
    CFileManager files;
    CGllManager loaders;
};

// A long message, typed at 10 ms a character.
std::string Message()
{
    std::string text;
    for (unsigned c = 0x82A0; text.size() < 2000; ++c) {
        if (c == 0x82F2)
            c = 0x82A0;
        text += std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    return text;
}

// A store whose messages count as unread, as the script's are here.
struct Store : CMessageStore {
    using CMessageStore::CMessageStore;
    bool IsMessageRead(uint8_t, uint16_t) override { return false; }
    void MarkMessageRead(uint8_t, uint16_t) override {}
};

void Rows(CListLayer* list)
{
    for (int i = 0; i < kRows; ++i) {
        const std::string row = "row " + std::to_string(i);
        list->AddItem(row.c_str(), nullptr, i + 1 == kRows);
    }
}

void FormFrameNativeVsDirect(benchmark::State& state)
{
    bench::PixelLibrary pixels;
    // The frame first: it points the base folder at the program, the folder points it back.
    CAppFrame frame;
    Folder folder;
    AppConfig config{};
    config.unreadCharMs = 10;
    g_pAppConfig = &config;
    frame.m_options.screenWidth = 800;
    frame.m_options.screenHeight = 600;
    frame.GetInput().CreateDevices(nullptr, kInputMessages, kInputMessages);
    CTimerManager objects;
    g_pObjectManager = &objects;
    CScriptHost host(4u << 20);
    CGlyphFont font;
    font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    const uint32_t fontHandle = host.ObjectHandle(&font);
    CImage screen, peerScreen;
    screen.Create(800, 600, 32, 0);
    peerScreen.Create(800, 600, 32, 0);
    CScene scene, peerScene;
    scene.SetTarget(&screen, false);
    peerScene.SetTarget(&peerScreen, false);

    // The message both text objects type: the script's own, and a copy for the peer's.
    const std::string text = Message();
    std::vector<uint8_t> record{0, 1, 0};
    record.insert(record.end(), text.begin(), text.end());
    record.push_back(0);
    const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(record.size()));
    std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(record.size())), record.data(), record.size());
    g_pScriptTextObject->SetMessage(at);
    CScriptMemory peerMemory(1u << 16);
    Store peerStore(peerMemory);
    const uint32_t peerAt = peerMemory.Allocate(static_cast<uint32_t>(record.size()));
    std::memcpy(peerMemory.Span(peerAt, static_cast<uint32_t>(record.size())), record.data(), record.size());
    peerStore.SetMessage(peerAt);

    // Ours, through the natives.
    g_TextObjectList.SetScene(&scene);
    g_MainForm.DetachAndSetTarget(&scene);
    for (int i = 0; i < kButtons; ++i) {
        const uint32_t x = static_cast<uint32_t>(20 + (i % 6) * 90), y = static_cast<uint32_t>(20 + (i / 6) * 40);
        const uint32_t button = CallNative(host, 685, {x, y, 80, 30, kTail});
        CallNative(host, 723, {button, static_cast<uint32_t>(i)});
        CallNative(host, 716, {button, 0xFFFFFFFFu});
    }
    const uint32_t list = CallNative(host, 700, {fontHandle, 20, 200, 560, 20, ScriptString(host, "BAR.BMP"), 0, 0, 400, 762, 20, kTail});
    auto* ourList = static_cast<CListLayer*>(host.Object<CControl>(list));
    if (ourList != nullptr)
        Rows(ourList);
    CallNative(host, 716, {list, 0xFFFFFFFFu});
    const uint32_t typing = CallNative(host, 697, {20, 300, 500, 200, fontHandle, 0xFFFFFFFFu});
    CallNative(host, 716, {typing, 0xFFFFFFFFu});
    auto* ourText = static_cast<CTextObject*>(host.Object<CControl>(typing));

    // The peer, by the same C++ calls.
    CTextObjectList peerSet;
    CMainForm peerForm;
    peerSet.SetScene(&peerScene);
    peerForm.DetachAndSetTarget(&peerScene);
    for (int i = 0; i < kButtons; ++i) {
        CButtonControl* button = nullptr;
        peerSet.AddButtonControl(&button, 20 + (i % 6) * 90, 20 + (i / 6) * 40, 80, 30, false, nullptr, nullptr, 0);
        button->SetUserValue(i);
        peerForm.AddControl(button, -1);
    }
    CListLayer* peerList = nullptr;
    peerSet.AddListLayer(&peerList, &font, 20, 200, 560, 20, "BAR.BMP", 0, 0, 400, 762, 20, 2, nullptr, 3, 0);
    if (peerList != nullptr) {
        Rows(peerList);
        peerList->AddToContainer(&peerForm, -1);
    }
    CTimerManager peerTasks;
    auto* peerText = new CTextObject(&peerStore, &peerTasks);
    peerText->Create(&peerScene.GetList(), 0, 500, 200, 20, 300, &font, nullptr, 0);
    peerForm.AddControl(peerText, -1);

    const size_t ours = g_MainForm.GetControls().size(), theirs = peerForm.GetControls().size();
    const bool ready = ourList != nullptr && peerList != nullptr && ourText != nullptr && ourText->StartTyping(false) == 0 && peerText->StartTyping(false) == 0 &&
                       g_MainForm.GetControls().size() == peerForm.GetControls().size();
    // 706 reads no words: one block serves every call, as a script's argument block would.
    const uint32_t noWords = host.Memory().Allocate(4);
    int step = 0;
    auto point = [&step, &frame] {
        // A zigzag over the buttons and down the list.
        const int x = (step * 13) % 780, y = 20 + (step * 7) % 260;
        frame.SetCursorPos(x, y);
    };
    bench::Contest(
        state,
        [&] {
            for (int i = 0; i < 2000; ++i, ++step) {
                point();
                frame.GetInput().Poll();
                SobNativeArgs call(host.Memory(), nullptr, noWords, &host);
                benchmark::DoNotOptimize(GetNativeRow(706).function(call));
                objects.RunDue(TimerNow());
            }
        },
        [&] {
            for (int i = 0; i < 2000; ++i, ++step) {
                point();
                frame.GetInput().Poll();
                benchmark::DoNotOptimize(peerForm.HandleInput(TimerNow()));
                peerTasks.RunDue(TimerNow());
            }
        });
    peerForm.RemoveAllControls();
    delete peerText;
    peerSet.DeleteAll();
    g_MainForm.RemoveAllControls();
    g_MainForm.DetachAndSetTarget(nullptr);
    g_TextObjectList.DeleteAll();
    g_TextObjectList.SetScene(nullptr);
    objects.CancelAll();
    peerTasks.CancelAll();
    g_pObjectManager = nullptr;
    g_pAppConfig = nullptr;
    const bench::Goal goal{.ratio = 1 / 1.1};
    bench::ReportGoal(state, goal);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    if (!ready)
        state.SkipWithError(("the two screens were not made alike: lists " + std::to_string(ourList != nullptr) +
                             std::to_string(peerList != nullptr) + ", text " + std::to_string(ourText != nullptr) +
                             ", controls " + std::to_string(ours) + " and " + std::to_string(theirs))
                                .c_str());
}
BENCHMARK(FormFrameNativeVsDirect)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
