// System information and the start-up report: the Windows name table, live facts against the
// machine's own tools, golden report texts for a made-up machine read back through iconv, and the
// system-information text in an edit control.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "command_output.h"
#include "../files/temp_folder.h"
#include "input_test_window.h"
#include "platform/report_sources.h"
#include "platform/startup_report.h"
#include "platform/system_information.h"
#include "winapi/joystick.h"
#include "winapi/registry.h"
#include "winapi/text.h"
#include "winapi/toolhelp.h"

namespace {


OSVERSIONINFOEXA Version(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* csd, WORD suite)
{
    OSVERSIONINFOEXA v{};
    v.dwOSVersionInfoSize = sizeof(v);
    v.dwPlatformId = platform;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwBuildNumber = build;
    std::snprintf(v.szCSDVersion, sizeof v.szCSDVersion, "%s", csd);
    v.wSuiteMask = suite;
    return v;
}

BOOL WINAPI ProductType65(DWORD, DWORD, DWORD, DWORD, DWORD* type)
{
    *type = 0x65;
    return TRUE;
}

BOOL WINAPI ProductUltimate(DWORD, DWORD, DWORD, DWORD, DWORD* type)
{
    *type = 1;
    return TRUE;
}

TEST(WindowsInfo, NameTable)
{
    struct Case {
        const char* name;
        OSVERSIONINFOEXA version;
        CWindowsInfo::ProductInfoProc product;
        const char* expectedName;  // UTF-8
        const char* expectedVersion;
        uint8_t nt, nt5, xp, vista, win95;
    } cases[] = {
        {"XP Home SP2", Version(2, 5, 1, 2600, "Service Pack 2", 0x200), nullptr, "Windows XP Home Edition",
         "5.01.2600 Service Pack 2", 1, 1, 1, 0, 0},
        {"2000 Datacenter", Version(2, 5, 0, 2195, "", 0x82), nullptr, "Windows 2000 Datacenter Server", "5.00.2195", 1, 1,
         0, 0, 0},
        {"Vista, unknown product 0x65", Version(2, 6, 0, 6000, "", 0), ProductType65, "Windows Vista [Edition:0x65]",
         "6.00.6000", 1, 1, 1, 1, 0},
        {"7 Ultimate", Version(2, 6, 1, 7601, "  Service Pack 1 ", 0), ProductUltimate, "Windows 7 Ultimate",
         "6.01.7601 Service Pack 1", 1, 1, 1, 1, 0},
        {"98 SE", Version(1, 4, 10, 0x040A08AE, " A ", 0), nullptr, "Windows 98 Second Edition", "4.10.2222 A", 0, 0, 0,
         0, 0},
        {"95", Version(1, 4, 0, 950, "", 0), nullptr, "Windows 95", "4.00.0950", 0, 0, 0, 0, 1},
        {"Me and later", Version(1, 4, 91, 3000, "", 0), nullptr, "Windows Me以降", "4.91.3000", 0, 0, 0, 0, 0},
        {"NT 4.0 SP3", Version(2, 4, 0, 1381, "Service Pack 3", 0), nullptr, "Windows NT 4.0", "4.00.1381 Service Pack 3",
         1, 0, 0, 0, 0},
        {"Server 2003 Web", Version(2, 5, 2, 3790, "", 0x400), nullptr, "Windows Server 2003 Web Edition", "5.02.3790", 1,
         1, 0, 0, 0},
        {"major 10", Version(2, 10, 0, 19045, "", 0), nullptr, "Windows Vista以降", "10.00.19045", 1, 1, 1, 1, 0},
        {"Win32s", Version(0, 1, 0, 0, "", 0), nullptr, "Win32s", "1.00.0000", 0, 0, 0, 0, 0},
        {"unknown platform", Version(3, 1, 0, 0, "", 0), nullptr, "Unknown Windows", "1.00.0000", 0, 0, 0, 0, 0},
    };
    CWindowsInfo info;
    for (const Case& c : cases) {
        info.DescribeVersion(c.version, true, c.product);
        EXPECT_EQ(winapi::SjisToUtf8(info.m_windowsName), c.expectedName) << c.name;
        EXPECT_EQ(info.m_versionText, c.expectedVersion) << c.name;
        EXPECT_EQ(info.m_isNt, c.nt) << c.name;
        EXPECT_EQ(info.m_isNt5, c.nt5) << c.name;
        EXPECT_EQ(info.m_isXp, c.xp) << c.name;
        EXPECT_EQ(info.m_isVista, c.vista) << c.name;
        EXPECT_EQ(info.m_isWin95, c.win95) << c.name;
    }
}

TEST(WindowsInfo, DirectXVersionFromTheRegistry)
{
    CWindowsInfo info;
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", nullptr);
    info.ReadDirectXVersion();
    EXPECT_EQ(info.DirectXText(), "Unknown");
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", "4.09.00.0904");
    info.ReadDirectXVersion();
    EXPECT_EQ(info.m_directXHigh, (4u << 16) | 9u);
    EXPECT_EQ(info.m_directXLow, 904u);
    EXPECT_EQ(info.DirectXText(), "DirectX 9 (4.09.00.0904)");
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", nullptr);
}

TEST(WindowsInfo, LiveFactsMatchTheMachine)
{
    winapi::SetUnameForTests(std::nullopt);
    CWindowsInfo info;
    EXPECT_EQ(winapi::SjisToUtf8(info.m_windowsName), "Windows 7") << "no GetProductInfo: no edition";
    EXPECT_EQ(info.m_versionText, "6.01.7601 " + CommandOutput("uname -sr"));
    EXPECT_EQ(info.m_processorCount, std::stoi(CommandOutput("nproc")));
    const long long memTotalKb = std::stoll(CommandOutput("awk '/^MemTotal:/ {print $2}' /proc/meminfo"));
    EXPECT_EQ(info.m_memoryEx.ullTotalPhys >> 20, static_cast<unsigned long long>(memTotalKb) >> 10);
    uint64_t freeBytes = 0, totalBytes = 0;
    ASSERT_TRUE(info.GetDiskFreeSpace("Z:\\", &freeBytes, &totalBytes));
    const long long dfTotalKb = std::stoll(CommandOutput("df -P -k / | awk 'NR==2 {print $2}'"));
    EXPECT_EQ(totalBytes >> 10, static_cast<unsigned long long>(dfTotalKb));
    EXPECT_FALSE(info.GetDiskFreeSpace("Q:\\", &freeBytes, &totalBytes));

    // uname failing: no version, and the name says so.
    winapi::SetUnameForTests(winapi::UnameFacts{true, "", ""});
    CWindowsInfo failing;
    EXPECT_EQ(std::string(failing.m_windowsName), "Unknown Windows");
    winapi::SetUnameForTests(std::nullopt);
}

TEST(WindowsInfo, ProcessWalkFindsAChildAndSkipsUnreadableModules)
{
    FILE* child = popen("exec sleep 30", "r");
    ASSERT_NE(child, nullptr);
    const std::string pid = CommandOutput("pgrep -n -x sleep");
    bool sawName = false;
    ForEachProcess(false, [&](const char* line) { sawName |= std::string(line) == "sleep"; });
    EXPECT_TRUE(sawName);
    bool sawPath = false;
    const std::string sleepPath = winapi::WindowsPathFromLinux(CommandOutput("readlink -f /proc/" + pid + "/exe"));
    ForEachProcess(true, [&](const char* line) { sawPath |= std::string(line) == sleepPath; });
    EXPECT_TRUE(sawPath) << sleepPath;
    CommandOutput("kill " + pid);
    pclose(child);
    // A module snapshot of a process that is gone fails.
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0x7FFFFFF0), INVALID_HANDLE_VALUE);
}

// A made-up machine for the golden texts.
class FakeMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::SetUnameForTests(winapi::UnameFacts{false, "Linux", "6.1.0-18-amd64"});
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        const char* lang = std::getenv("LANG");
        savedLang = lang != nullptr ? lang : "";
        setenv("LANG", "ja_JP.UTF-8", 1);
        winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", "4.09.00.0904");
        static const winapi::BuiltinProc kFakeKernel[] = {
            {"GetDiskFreeSpaceExA", winapi::ToFarProc(&FakeFreeSpace)},
        };
        winapi::RegisterBuiltinModule("kernel32.dll", kFakeKernel, 1);
        savedCpu = g_CpuInfo;
        CpuInfo cpu{};
        std::snprintf(cpu.vendor, sizeof cpu.vendor, "GenuineIntel");
        std::snprintf(cpu.brand, sizeof cpu.brand, "Intel(R) Core(TM) i7");
        std::snprintf(cpu.modelName, sizeof cpu.modelName, "Core i7");
        cpu.brandPresent = 1;
        cpu.family = 6;
        cpu.model = 10;
        cpu.stepping = 7;
        cpu.l1CodeKb = 32;
        cpu.l1DataKb = 32;
        cpu.l2Kb = 256;
        cpu.l3Kb = 8192;
        cpu.fpu = cpu.tsc = cpu.cmov = cpu.mmx = cpu.sse = cpu.sse2 = cpu.sse3 = 1;
        cpu.identified = cpu.measured = 1;
        cpu.clockMhz = 2400;
        g_CpuInfo = cpu;
        proc.Write("proc/100/comm", "init\n");
        std::filesystem::create_symlink("/usr/bin/初期", proc.Linux("proc/100/exe"));
        proc.Write("proc/200/comm", "kworker\n");  // no executable: its module snapshot fails
        winapi::SetProcRootForTests(proc.Linux("proc"));
        frame.appName = winapi::Sjis("テスト");
        frame.title = winapi::Sjis("テスト");
        frame.notice = "(c) Tessaro";
        frame.webAddress = "http://example.invalid/";
        frame.revision = 10;
        frame.measureCpuClock = true;
        frame.programFolder = "Z:\\game\\";
    }
    void TearDown() override
    {
        winapi::SetUnameForTests(std::nullopt);
        setenv("LANG", savedLang.c_str(), 1);
        winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", nullptr);
        winapi::UnregisterBuiltinModule("kernel32.dll");
        winapi::SetProcRootForTests("");
        g_pDisplayReportSource = nullptr;
        g_pSoundDeviceSource = nullptr;
        g_CpuInfo = savedCpu;
        winapi::SetDisplays({winapi::DisplayInfo{}});
    }
    static BOOL WINAPI FakeFreeSpace(LPCSTR, ULARGE_INTEGER* available, ULARGE_INTEGER* total, ULARGE_INTEGER*)
    {
        available->QuadPart = 900ull << 20;
        total->QuadPart = 1234567ull << 20;
        return TRUE;
    }
    // The machine's facts with fixed memory, screen and processors.
    void Fix(CWindowsInfo& info)
    {
        info.m_memoryEx.ullTotalPhys = 2048ull << 20;
        info.m_memoryEx.ullAvailPhys = 1024ull << 20;
        info.m_memoryEx.ullTotalPageFile = 4096ull << 20;
        info.m_memoryEx.ullAvailPageFile = 3072ull << 20;
        info.m_screenWidth = 1920;
        info.m_screenHeight = 1080;
        info.m_bitsPerPixel = 32;
        info.m_refreshRate = 60;
        info.m_processorCount = 4;
    }
    // The report as UTF-8 through iconv, with the times blanked.
    std::string ReadReport()
    {
        const std::string text = CommandOutput("iconv -f CP932 -t UTF-8 '" + out.Linux("SYS_LOG.TXT") + "'", false);
        return std::regex_replace(text, std::regex(R"(\d{4}/\d{2}/\d{2}  \d{2}:\d{2}:\d{2})"), "TIME");
    }
    std::string Module()
    {
        char module[256] = {};
        GetModuleFileNameA(nullptr, module, sizeof module);
        return winapi::SjisToUtf8(module);
    }

    TempFolder proc, out;
    std::string savedLang;
    CpuInfo savedCpu{};
    ReportFrameInfo frame;
    InputTestWindow window;
};

// A fixed device list; the records are linked as the sound layer links its own.
class FakeSound : public ISoundDeviceSource {
public:
    void Add(bool hasGuid, std::string description, std::string module)
    {
        SoundDeviceRecord& r = records.emplace_back();
        r.pGuid = hasGuid ? &r.guid : nullptr;
        r.description = std::move(description);
        r.module = std::move(module);
        if (records.size() > 1)
            records[records.size() - 2].next = &r;
    }
    const SoundDeviceRecord* EnumerateSoundDevices() override { return GetSoundDeviceList(); }
    const SoundDeviceRecord* GetSoundDeviceList() override { return records.empty() ? nullptr : &records.front(); }
    void FreeSoundDeviceList() override {}
    std::deque<SoundDeviceRecord> records;
};

class FakeDisplay : public IDisplayReportSource {
public:
    DisplayReportFacts GetDisplayReportFacts() override { return facts; }
    DisplayReportFacts facts;
};

TEST_F(FakeMachine, ReportGoldenTextInWindowModeWithMessages)
{
    FakeSound sound;
    sound.Add(false, winapi::Sjis("プライマリ サウンド ドライバ"), "");
    sound.Add(true, winapi::Sjis("スピーカー"), "snd.dll");
    g_pSoundDeviceSource = &sound;
    HWND titled = CreateWindowExA(0, "TessaroInputTest", winapi::Sjis("テスト窓"), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  100, 100, nullptr, nullptr, nullptr, nullptr);
    CWindowsInfo info;
    Fix(info);
    CMonitorList monitors;
    CInputManager input;
    input.CreateDevices(window.hwnd, 2, 2);
    CStartupReport report;
    ASSERT_EQ(report.Open(out.Windows()), 0u);
    report.WriteStart(frame, info, &monitors);
    report.WriteDevices(input, 2);
    report.WriteDisplay(frame);
    report.WriteFinish(info);
    DestroyWindow(titled);
    const std::string expected =
        "< Initialize Start...  TIME >\r\n\r\n"
        "「テスト」Version 1.00a\r\n"
        "(c) Tessaro\r\n"
        "http://example.invalid/\r\n"
        "\r\n[ System ]\r\n"
        "OS       : Windows 7 (6.01.7601 Linux 6.1.0-18-amd64)\r\n"
        "Language : 日本語\r\n"
        "Memory   : 2048MB (Avail 1024MB)\r\n"
        "Display  : 1920 x 1080  32bit 60Hz\r\n"
        "DirectX  : DirectX 9 (4.09.00.0904)"
        "\r\nPageFile : 4096MB (Avail 3072MB)"
        "\r\nModule   : " + Module() +
        "\r\nDirectory: Z:\\game\\\r\n\r\n\r\n"
        "[ CPU ]\r\nName    : Intel(R) Core(TM) i7 [ Core i7 ]"
        "\r\nVender  : GenuineIntel\r\n"
        "          Type 0 / Family 6 / Model 10 / Stepping 7\r\n"
        "CpuClock: 2.40GHz (4 CPU)\r\n"
        "Cache   : L1 C-Cache 32KB / L1 D-Cache 32KB / L2 Cache 256KB / L3 Cache 8192KB"
        "\r\nSupport : FPU ○ / TSC ○ / CMOV ○\r\n"
        "          MMX ○ / SSE ○ / SSE2 ○ / SSE3 ○ / MMX+ × / 3DNow! × / 3DNow!+ × / HTT ×\r\n\r\n\r\n"
        "[ Input Window Message ]\r\nJoyStick: None\r\n\r\n\r\n"
        "[ DirectSound ]\r\n<Device 1>\r\nDriver Name: スピーカー\r\nDriver File: snd.dll\r\n\r\n\r\n"
        "[ Window Mode ]\r\n< GDI >\r\n\r\n\r\n"
        "[ Drive Info ]\r\n [Z:\\]         900 /   1,234,567 MB (Z:\\WINDOWS)\r\n"
        "\r\n\r\n[ Application ]\r\n"
        "input\r\n"  // the fixture's window
        "テスト窓\r\n"
        "\r\n\r\n[ Process ]\r\n"
        "Z:\\usr\\bin\\初期\r\n"
        "\r\n< Initialize Done...  TIME >\r\n";
    EXPECT_EQ(ReadReport(), expected);
}

TEST_F(FakeMachine, ReportWithDirectInputAJoystickTwoMonitorsAndDirect3D)
{
    winapi::DisplayInfo second;
    second.bounds = RECT{1920, 0, 3200, 1024};
    second.refreshHz = 75;
    second.primary = false;
    second.deviceName = "\\\\.\\DISPLAY2";
    winapi::SetDisplays({winapi::DisplayInfo{}, second});
    winapi::DetachAllJoysticks();
    JoystickSlotTable = JoystickSlotTableType{};
    winapi::JoystickInfo pad;
    pad.nameUtf8 = "パッド";
    pad.buttons = 6;
    winapi::AttachJoystick(pad);
    FakeDisplay display;
    DisplayReportFacts& d = display.facts;
    d.fullScreen = true;
    d.fullWidth = 800;
    d.fullHeight = 600;
    d.fullDepth = 32;
    d.adapterDescription = "Tessaro Adapter";
    d.directDraw = true;
    d.driverName = "Fake Driver";
    d.driverFile = "fake.drv";
    d.driverVersion[0] = 6, d.driverVersion[1] = 14, d.driverVersion[2] = 10, d.driverVersion[3] = 8;
    d.hal = true;
    d.videoMemoryTotal = 64ull << 20;
    d.videoMemoryFree = 32ull << 20;
    d.primaryExists = true;
    d.primaryVram = true;
    d.primaryCaps = 0x10004218;
    d.secondaryCaps = 0x840;
    d.pixelBits = 32;
    d.pixelType = 0x41;
    d.redBits = d.greenBits = d.blueBits = 8;
    d.redMask = 0xFF0000, d.greenMask = 0xFF00, d.blueMask = 0xFF;
    d.direct3D = true;
    d.d3dDevice = 2;
    d.zBufferBits = 16;
    d.textureFormats = 0x43;
    d.maxTextureStages = 8;
    d.minTextureWidth = d.minTextureHeight = 1;
    d.maxTextureWidth = d.maxTextureHeight = 2048;
    d.drawPrimitiveVertex = d.gouraudAlpha = true;
    d.textureCaps = 1, d.textureOpCaps = 2, d.srcBlendCaps = 3, d.destBlendCaps = 4;
    d.powerOfTwo = true;
    g_pDisplayReportSource = &display;
    frame.useZBuffer = true;
    frame.revision = 0;
    frame.notice.clear();
    frame.webAddress.clear();
    frame.measureCpuClock = false;
    CoInitialize(nullptr);
    {
        CWindowsInfo info;
        Fix(info);
        CMonitorList monitors;
        CInputManager input;
        ASSERT_EQ(input.OpenDirectInput(true, reinterpret_cast<HINSTANCE>(1)), 0u);
        ASSERT_EQ(input.CreateDevices(window.hwnd, 0, 0), 0u);
        ASSERT_EQ(input.CreateJoystick(-1, window.hwnd), 0);
        CStartupReport report;
        ASSERT_EQ(report.Open(out.Windows()), 0u);
        report.WriteStart(frame, info, &monitors);
        report.WriteDevices(input, 0);
        report.WriteDisplay(frame);
        report.Close();
    }
    CoUninitialize();
    winapi::DetachAllJoysticks();
    const std::string text = ReadReport();
    const char* const pieces[] = {
        "「テスト」Version 1.00\r\n\r\n[ System ]\r\n",
        "Display  : 1920 x 1080  32bit 60Hz (Primary)\r\n           1280 x 1024  32bit 75Hz\r\nDirectX",
        "[ CPU ]\r\nName    : Intel(R) Core(TM) i7 [ Core i7 ]\r\nVender  : GenuineIntel\r\n"
        "          Type 0 / Family 6 / Model 10 / Stepping 7\r\nCache   : ",
        "[ DirectInput ]\r\nKeyBoard: 128 Key\r\nMouse   : 3 Axes / 3 Button\r\nJoyStick: No.0 / パッド / 2 Axes / 6 Button"
        "\r\n\r\n\r\n[ DirectSound ]\r\nUnknown\r\n\r\n\r\n",
        "[ FullScreen Mode ]\r\nDisplay : Tessaro Adapter\r\n          800 x 600  32bit\r\n< DirectDraw >\r\n"
        "Driver Name   : Fake Driver\r\nDriver File   : fake.drv\r\nDriver Version: 6.14.10.8\r\nDirectDraw    : HAL\r\n"
        "HAL StretchBlt: No\r\nVideoMemory   : 64.000 MB (free: 32.000 MB)\r\n"
        "Primary       : VRAM[Yes]  Caps[0x10004218]\r\nSecondary     : VRAM[No]  Caps[0x00000840]\r\n"
        "Pixel         : 32bit  Type[0x0041]  RGB 888 / 00ff0000:0000ff00:000000ff\r\n"
        "< Direct3D >\r\nDevice : T&L\r\nZBuffer: 16bit\r\n\r\n<Support Texture>\r\n16bpp   RGB    5,5,5\r\n"
        "16bpp   RGB    5,6,5\r\n32bpp  ARGB  8,8,8,8\r\n\r\nMax Texture Stages: 8\r\nMin Texture Size  : 1 x 1\r\n"
        "Max Texture Size  : 2048 x 2048\r\n\r\nDrawPrimitiveVertex: Yes\r\nGouraudAlpha       : Yes\r\n"
        "AlphaTest          : No\r\nZBufferLessHSR     : No\r\n\r\n<Caps>\r\nTextureCaps  : 0x00000001\r\n"
        "TextureOpCaps: 0x00000002\r\nSrcBlendCaps : 0x00000003\r\nDestBlendCaps: 0x00000004\r\n\r\n"
        "<Texture Limitation>\r\nThe square of 2\r\n\r\n\r\n",
    };
    for (const char* piece : pieces)
        EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n---- in ----\n" << text;
    EXPECT_EQ(text.find("CpuClock"), std::string::npos) << "no clock without the option";
    EXPECT_EQ(text.find("[ Drive Info ]"), std::string::npos);
}

TEST_F(FakeMachine, ReportNumberForms)
{
    struct Case {
        uint64_t megabytes;
        const char* text;
    } cases[] = {
        {900, "        900"}, {0, "          0"}, {1000, "      1,000"}, {65432, "     65,432"},
        {1234567, "  1,234,567"}, {999999999, "999,999,999"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GroupedMegabytes(c.megabytes), c.text) << c.megabytes;
    EXPECT_EQ(AppVersionText(1, 0, 0), "1.00");
    EXPECT_EQ(AppVersionText(1, 0, 11), "1.00b");
    EXPECT_EQ(AppVersionText(2, 5, 0x1F), "2.051f");
    EXPECT_EQ(FormatCpuClock(866), "866MHz");
    EXPECT_EQ(FormatCpuClock(2400), "2.40GHz");
}

TEST_F(FakeMachine, ReportPollingModeAndFailingQueries)
{
    winapi::SetProcRootForTests(proc.Linux("no-such-proc"));
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", nullptr);
    CWindowsInfo info;
    Fix(info);
    info.m_language.clear();
    CInputManager input;
    input.CreateDevices(window.hwnd, 1, 1);
    CStartupReport report;
    ASSERT_EQ(report.Open(out.Windows()), 0u);
    report.WriteStart(frame, info, nullptr);
    report.WriteDevices(input, 1);
    report.WriteFinish(info);
    const std::string text = ReadReport();
    const char* const pieces[] = {
        "Language : \r\n",
        "Display  : 1920 x 1080  32bit 60Hz (Not MonitorInfo)\r\nDirectX  : Unknown\r\nPageFile",
        "[ Input Windows API ]\r\nJoyStick: None\r\n\r\n\r\n[ DirectSound ]\r\nUnknown\r\n\r\n\r\n",
        "\r\n\r\n[ Process ]\r\nError\r\n\r\n< Initialize Done...  TIME >\r\n",
    };
    for (const char* piece : pieces)
        EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n---- in ----\n" << text;
}

TEST_F(FakeMachine, ReportFileThatCannotBeCreatedGives6)
{
    CStartupReport report;
    EXPECT_EQ(report.Open(out.Windows("missing\\folder")), 6u);
}

TEST_F(FakeMachine, SystemInformationTextInAnEditControl)
{
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_MULTILINE | ES_READONLY, 0, 0, 100, 100, window.hwnd,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", nullptr);
    CWindowsInfo info;
    Fix(info);
    info.m_refreshRate = 0;
    frame.inputMode = 1;
    WriteSystemInformation(edit, frame, info, nullptr, nullptr);
    std::string text(static_cast<size_t>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    SendMessageA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text = winapi::SjisToUtf8(text.c_str());
    const char* const pieces[] = {
        "「テスト」Version 1.00a\r\n(c) Tessaro\r\nhttp://example.invalid/\r\n\r\n------ システム ------\r\n",
        "OS              : Windows 7 (6.01.7601 Linux 6.1.0-18-amd64) 日本語\r\nDirectX         : Unknown\r\n",
        "メモリ          : 2048MB (1024MB 使用可能)\r\n",
        "ページファイル  : 1024MB 使用中 / 3072MB 使用可能\r\n",
        "ディスプレイ    : 1920x1080 32bit\r\n画面更新方法    : GDI\r\n",
        "フレームスキップ: 使用しない\r\n\r\n------ ウィンドウモード ------\r\nGDI描画\r\n\r\n------ CPU ------\r\n",
        "CPUクロック: 2.40GHz (4 CPU)\r\n",
        "----- DirectSound -----\r\nDirectSound状態 : 使用する\r\n利用できません\r\n",
        "入力検知方式    : Windows API\r\nジョイスティック: なし\r\n\r\n----- ドライブ情報 -----\r\n",
        " [Z:\\]         900 /   1,234,567 MB (Z:\\WINDOWS)\r\n",
        "----- プロセス -----\r\nZ:\\usr\\bin\\初期\r\n------ デバイス ------",
        "DirectDraw      : 未初期化\r\nDirectSound     : 使用する\r\nDirectInput     : 使用しない\r\n",
    };
    for (const char* piece : pieces)
        EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n---- in ----\n" << text;
}

} // namespace
