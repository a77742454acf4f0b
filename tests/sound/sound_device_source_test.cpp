// The sound layer's device list behind the start-up report: the installed source answers the
// process-wide list the device opens from, and both report texts print it.
#include <string>
#include <vector>

#include "platform/input_manager.h"
#include "platform/report_sources.h"
#include "platform/startup_report.h"
#include "platform/system_information.h"
#include "sound/sound_device_source.h"
#include "winapi/text.h"
#include "winapi/user.h"

#include "sound_support.h"

namespace {

using soundtest::SoundTest;

struct Expected {
    bool hasGuid;
    GUID guid;
    std::string description, module;
};

// What DirectSound itself lists, asked directly.
std::vector<Expected> DirectSoundOutputs()
{
    std::vector<Expected> outputs;
    DirectSoundEnumerateA(
        [](GUID* guid, LPCSTR description, LPCSTR module, LPVOID context) -> BOOL {
            static_cast<std::vector<Expected>*>(context)->push_back(
                {guid != nullptr, guid != nullptr ? *guid : GUID{}, description, module});
            return TRUE;
        },
        &outputs);
    return outputs;
}

class SoundDeviceSource : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        InstallSoundDeviceSource();
    }
    void TearDown() override
    {
        g_pSoundDeviceSource = nullptr;
        SoundTest::TearDown();
    }
};

TEST_F(SoundDeviceSource, AnswersTheListTheDeviceOpensFrom)
{
    ISoundDeviceSource* installed = g_pSoundDeviceSource;
    ASSERT_NE(installed, nullptr);
    InstallSoundDeviceSource();
    EXPECT_EQ(g_pSoundDeviceSource, installed);

    const std::vector<Expected> want = DirectSoundOutputs();
    ASSERT_GE(want.size(), 2u);
    const SoundDeviceRecord* list = installed->EnumerateSoundDevices();
    ASSERT_EQ(list, g_pSoundDeviceList);
    EXPECT_EQ(installed->GetSoundDeviceList(), g_pSoundDeviceList);
    EXPECT_EQ(list->description, "Primary Sound Driver");
    EXPECT_EQ(list->pGuid, nullptr);
    size_t i = 0;
    for (const SoundDeviceRecord* r = list; r != nullptr; r = r->next, ++i) {
        ASSERT_LT(i, want.size());
        EXPECT_EQ(r->description, want[i].description) << i;
        EXPECT_EQ(r->module, want[i].module) << i;
        ASSERT_EQ(r->pGuid != nullptr, want[i].hasGuid) << i;
        if (r->pGuid != nullptr) {
            EXPECT_EQ(r->pGuid, &r->guid) << i;
            EXPECT_TRUE(r->guid == want[i].guid) << i;
        }
        // Every listed device opens, the primary driver through its null GUID.
        EXPECT_EQ(device->CreateDevice(reinterpret_cast<HWND>(1), false, false, r->pGuid), 0) << i;
    }
    EXPECT_EQ(i, want.size());
    const GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(device->CreateDevice(reinterpret_cast<HWND>(1), false, false, &unknown), 3);

    // The system-information text reads the list as it stands and enumerates only without one.
    EXPECT_EQ(CurrentSoundDevices(), list);
    installed->FreeSoundDeviceList();
    EXPECT_EQ(g_pSoundDeviceList, nullptr);
    EXPECT_EQ(installed->GetSoundDeviceList(), nullptr);
    const SoundDeviceRecord* again = CurrentSoundDevices();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again, g_pSoundDeviceList);
    size_t count = 0;
    for (const SoundDeviceRecord* r = again; r != nullptr; r = r->next)
        ++count;
    EXPECT_EQ(count, want.size());
}

TEST_F(SoundDeviceSource, BothReportTextsPrintTheDevices)
{
    const std::vector<Expected> want = DirectSoundOutputs();
    std::string section = "[ DirectSound ]\r\n";
    int number = 0;
    for (const Expected& e : want)
        if (e.hasGuid)
            section += "<Device " + std::to_string(++number) + ">\r\nDriver Name: " + e.description +
                       "\r\nDriver File: " + e.module + "\r\n";
    section += "\r\n\r\n";
    TempFolder out;
    {
        CInputManager input;
        CStartupReport report;
        ASSERT_EQ(report.Open(out.Windows()), 0u);
        report.WriteDevices(input, 2);
    }
    const std::string log = out.Read("SYS_LOG.TXT");
    EXPECT_NE(log.find(section), std::string::npos) << log;

    std::string lines = std::string("----- DirectSound -----\r\n") + winapi::Sjis("DirectSound状態 : 使用する\r\n");
    for (const Expected& e : want)
        lines += winapi::Sjis("サウンドカード  : ") + e.description + "\r\n" + winapi::Sjis("ドライバファイル: ") +
                 e.module + "\r\n";
    lines += winapi::Sjis("※複数のサウンドデバイスが接続されています。\r\n");
    HWND edit = CreateWindowExA(0, "EDIT", "", ES_MULTILINE | ES_READONLY, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(edit, nullptr);
    ReportFrameInfo frame;
    frame.useDirectSound = true;
    CWindowsInfo info;
    WriteSystemInformation(edit, frame, info, nullptr, nullptr);
    std::string text(static_cast<size_t>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    SendMessageA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    DestroyWindow(edit);
    text.resize(text.find('\0'));
    EXPECT_NE(text.find(lines), std::string::npos) << winapi::SjisToUtf8(text);
    EXPECT_NE(text.find(winapi::Sjis("サウンドカード  : ") + want.front().description + "\r\nDirectDraw"), std::string::npos);
}

} // namespace
