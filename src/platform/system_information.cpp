// The system-information text; see system_information.h.
#include "platform/system_information.h"

#include "platform/report_sources.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

const char* J(const char* utf8)
{
    return winapi::Sjis(utf8);
}

const char* Use(bool on)
{
    return on ? J("使用する") : J("使用しない");
}

const char* Enabled(bool on)
{
    return on ? J("有効") : J("無効");
}

const char* Mark(uint8_t present)
{
    return present ? J("○") : J("×");
}

class EditWriter {
public:
    explicit EditWriter(HWND edit) : m_edit(edit) {}
    EditWriter& operator<<(const std::string& piece)
    {
        SendMessageA(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        return *this;
    }

private:
    HWND m_edit;
};

void WriteDisplayMode(EditWriter& out, const DisplayReportFacts& d)
{
    if (d.fullScreen) {
        out << std::string(J("------ フルスクリーンモード ------\r\nディスプレイ      : "));
        if (!d.adapterDescription.empty())
            out << ReportPrintf("%s\r\n                    ", d.adapterDescription.c_str());
        out << ReportPrintf("%dx%d %dbit\r\n", d.fullWidth, d.fullHeight, d.fullDepth);
    } else {
        out << std::string(J("------ ウィンドウモード ------\r\n"));
    }
    if (!d.directDraw) {
        out << std::string(J("GDI描画\r\n\r\n"));
        return;
    }
    out << std::string("< DirectDraw >\r\n") + J("ビデオカード      : ") + d.driverName;
    out << J("\r\nドライバファイル  : ") + d.driverFile;
    out << ReportPrintf(J("\r\nドライバ Version  : %d.%d.%d.%d\r\n動作モード        : "), d.driverVersion[0],
                  d.driverVersion[1], d.driverVersion[2], d.driverVersion[3]);
    out << std::string(d.direct3D && d.d3dDevice == 2 ? "T&L" : d.hal ? "HAL" : "HEL");
    out << ReportPrintf(J("\r\nハードウェア拡縮  : %s\r\n"), Enabled(d.halStretch));
    const char* vram = "VRAM";
    const char* system = J("システムメモリ");
    out << ReportPrintf(J("プライマリバッファ: %s / Caps[0x%08x]\r\n"), d.primaryVram ? vram : system, d.primaryCaps);
    out << ReportPrintf(J("バックバッファ    : %s / Caps[0x%08x]\r\n"), d.secondaryVram ? vram : system, d.secondaryCaps);
    out << ReportPrintf(J("ピクセル情報      : %dbit Type[0x%04x] RGB%d%d%d/%08x:%08x:%08x\r\n"), d.pixelBits, d.pixelType,
                  d.redBits, d.greenBits, d.blueBits, d.redMask, d.greenMask, d.blueMask);
    out << ReportPrintf(J("VSync待ち描画     : %s\r\n"), Use(d.vsyncWait));
    out << ReportPrintf("DirectDraw Flip   : %s\r\n", Use(d.directDrawFlip));
    if (d.direct3D) {
        static const char* const kDevices[] = {"HEL", "HAL", "T&L"};
        out << ReportPrintf(J("------ Direct3D ------\r\n動作モード            : %s\r\n"),
                      kDevices[d.d3dDevice >= 0 && d.d3dDevice < 3 ? d.d3dDevice : 0]);
        out << ReportPrintf(J("αブレンディング      : %s\r\nグーローαブレンド    : %s\r\nαテスト              : %s\r\n"
                        "隠れサーフェスの除去  : %s\r\n"),
                      Enabled(d.drawPrimitiveVertex), Enabled(d.gouraudAlpha), Enabled(d.alphaTest),
                      Enabled(d.zBufferLessHsr));
        out << ReportPrintf(J("最大テクスチャステージ: %d\r\n最小テクスチャサイズ  : %d x %d\r\n最大テクスチャサイズ  : %d x %d\r\n"),
                      d.maxTextureStages, d.minTextureWidth, d.minTextureHeight, d.maxTextureWidth, d.maxTextureHeight);
        out << ReportPrintf("TextureCaps  : 0x%08x\r\nTextureOpCaps: 0x%08x\r\nSrcBlendCaps : 0x%08x\r\nDestBlendCaps: 0x%08x\r\n",
                      d.textureCaps, d.textureOpCaps, d.srcBlendCaps, d.destBlendCaps);
        std::string limits;
        const std::pair<bool, const char*> kLimits[] = {
            {d.powerOfTwo, J("幅と高さは2の二乗")}, {d.squareOnly, J("正方形のみ")}, {d.noLimitation, J("特定条件下で制限なし")}};
        for (const auto& [set, text] : kLimits)
            if (set)
                limits += (limits.empty() ? "" : " / ") + std::string(text);
        out << limits;
        out << std::string(J("\r\n<サポートテクスチャフォーマット>\r\n"));
        static const char* const kFormats[] = {
            "  16bpp   RGB    5,5,5\r\n",   "  16bpp   RGB    5,6,5\r\n", "  16bpp  ARGB  1,5,5,5\r\n",
            "  16bpp  ARGB  4,4,4,4\r\n", "  24bpp   RGB    8,8,8\r\n", "  32bpp   RGB    8,8,8\r\n",
            "  32bpp  ARGB  8,8,8,8\r\n",
        };
        for (int i = 0; i < 7; ++i)
            if (d.textureFormats >> i & 1)
                out << std::string(kFormats[i]);
    }
    if (d.deviceBlit) {
        out << std::string("< Direct3D >\r\n");
        out << ReportPrintf(J("テクスチャ        : %dx%d Type[0x%04x]\r\n"), d.textureWidth, d.textureHeight, d.textureType);
        out << ReportPrintf(J("テクスチャ直接転送: %s\r\n"), Use(d.directBlt));
    }
}

} // namespace

void WriteSystemInformation(HWND edit, const ReportFrameInfo& frame, const CWindowsInfo& info,
                            const CInputManager* input, const CMonitorList* monitors)
{
    EditWriter out(edit);
    const DisplayReportFacts display = CurrentDisplayReportFacts();
    const CpuInfo& cpu = g_CpuInfo;
    // 1. The application.
    out << ReportPrintf(J("「%s」Version %s\r\n"), frame.appName.c_str(),
                  AppVersionText(frame.versionMajor, frame.versionMinor, frame.revision).c_str());
    if (!frame.notice.empty())
        out << frame.notice + "\r\n";
    if (!frame.webAddress.empty())
        out << frame.webAddress + "\r\n";
    // 2. The system.
    out << std::string(J("\r\n------ システム ------\r\n"));
    out << ReportPrintf("OS              : %s (%s) %s\r\nDirectX         : ", info.m_windowsName, info.m_versionText.c_str(),
                  info.m_language.c_str());
    out << info.DirectXText() + "\r\n";
    out << "CPU             : " + CpuNameText(cpu) + "\r\n";
    out << ReportPrintf(J("メモリ          : %dMB (%dMB 使用可能)\r\n"), static_cast<int>(info.m_memoryEx.ullTotalPhys >> 20),
                  static_cast<int>(info.m_memoryEx.ullAvailPhys >> 20));
    // 3. Video memory, when the display knows it.
    if (display.videoMemoryTotal != 0) {
        const double total = static_cast<double>(display.videoMemoryTotal) * 9.536743e-07;
        const double free = static_cast<double>(display.videoMemoryFree) * 9.536743e-07;
        out << std::string(J("ビデオメモリ    : "));
        if (display.videoMemoryFree <= display.videoMemoryTotal)
            out << ReportPrintf(J("%.3f MB (%.3fMB 使用中 / %.3fMB 使用可能)\r\n"), total, total - free, free);
        else
            out << ReportPrintf("%.3f MB\r\n", total);
    }
    // 4. The page file.
    const uint64_t pageTotal = info.m_memoryEx.ullTotalPageFile, pageFree = info.m_memoryEx.ullAvailPageFile;
    out << ReportPrintf(J("ページファイル  : %dMB 使用中 / %dMB 使用可能\r\n"),
                  static_cast<int>((pageTotal - std::min(pageTotal, pageFree)) >> 20), static_cast<int>(pageFree >> 20));
    // 5. The screen.
    if (monitors == nullptr || monitors->Records().size() <= 1) {
        out << ReportPrintf(J("ディスプレイ    : %dx%d %dbit"), info.m_screenWidth, info.m_screenHeight, info.m_bitsPerPixel);
        out << (info.m_refreshRate != 0 ? ReportPrintf(" %dHz\r\n", info.m_refreshRate) : std::string("\r\n"));
    } else {
        const auto& records = monitors->Records();
        for (size_t i = 0; i < records.size(); ++i) {
            const CMonitorRecord& r = records[i];
            std::string line = i == 0 ? J("ディスプレイ    : ") : "                  ";
            line += ReportPrintf("%dx%d %dbit", static_cast<int>(r.monitorRect.right - r.monitorRect.left),
                           static_cast<int>(r.monitorRect.bottom - r.monitorRect.top), r.bitsPerPixel);
            if (r.refreshRate != 0)
                line += ReportPrintf(" %dHz", r.refreshRate);
            if (r.primary)
                line += " (Primary)";
            out << line + "\r\n";
        }
    }
    // 6. Presentation, program, timers.
    static const char* const kMethods[] = {"GDI", "DirectDraw", "Direct3D"};
    out << ReportPrintf(J("画面更新方法    : %s\r\n"), kMethods[display.presentation >= 0 && display.presentation < 3 ? display.presentation : 0]);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    out << ReportPrintf(J("実行ファイル    : %s\r\n作業フォルダ    : "), module) + frame.programFolder;
    out << ReportPrintf(J("\r\n高分解能タイマー: %s\r\nフレームスキップ: %s\r\n\r\n"), Use(frame.highResolutionTimer),
                  Use(frame.frameSkip));
    // 7. Display mode and devices.
    WriteDisplayMode(out, display);
    // 8. The CPU.
    out << std::string(J("------ CPU ------\r\nCPU情報    : ")) + CpuNameText(cpu) + "\r\n";
    out << ReportPrintf("             Vender %s / Type %d / Family %d / Model %d / Stepping %d\r\n", cpu.vendor, cpu.type,
                  cpu.family, cpu.model, cpu.stepping);
    out << ReportPrintf(J("CPUクロック: %s (%d CPU)\r\nキャッシュ : "), FormatCpuClock(cpu.clockMhz).c_str(), info.m_processorCount);
    out << CpuCacheText(cpu);
    out << ReportPrintf(J("\r\n拡張機能   : FPU %s / TSC %s / CMOV %s\r\n             MMX %s / SSE %s / SSE2 %s / SSE3 %s\r\n"
                    "             MMX+ %s / 3DNow! %s / 3DNow!+ %s / HTT %s\r\n\r\n"),
                  Mark(cpu.fpu), Mark(cpu.tsc), Mark(cpu.cmov), Mark(cpu.mmx), Mark(cpu.sse), Mark(cpu.sse2),
                  Mark(cpu.sse3), Mark(cpu.amdMmxExtensions), Mark(cpu.amd3DNow), Mark(cpu.amd3DNowExtended),
                  Mark(cpu.htt));
    // 9. DirectSound.
    const SoundDeviceRecord* devices = CurrentSoundDevices();
    out << std::string("----- DirectSound -----\r\n") + ReportPrintf(J("DirectSound状態 : %s\r\n"), Use(frame.useDirectSound));
    for (const SoundDeviceRecord* device = devices; device != nullptr; device = device->next)
        out << ReportPrintf(J("サウンドカード  : %s\r\nドライバファイル: %s\r\n"), device->description.c_str(), device->module.c_str());
    if (devices != nullptr && devices->next != nullptr)
        out << std::string(J("※複数のサウンドデバイスが接続されています。\r\n"));
    else if (devices == nullptr)
        out << std::string(J("利用できません\r\n"));
    // 10. Input.
    out << std::string(J("\r\n----- 入力デバイス -----\r\n入力検知方式    : "));
    if (frame.inputMode == 0) {
        const CKeyboardDevice* keyboard = input != nullptr ? input->GetKeyboard() : nullptr;
        const CMouseDevice* mouse = input != nullptr ? input->GetMouse() : nullptr;
        out << ReportPrintf(J("DirectInput\r\nキーボード      : %d キー\r\n"), keyboard ? static_cast<int>(keyboard->m_keyCount) : 0);
        out << ReportPrintf(J("マウス          : %d 軸 / %d ボタン\r\n"), mouse ? mouse->m_axisCount : 0, mouse ? mouse->m_buttonCount : 0);
    } else {
        out << std::string(frame.inputMode == 2 ? "Window Message\r\n" : "Windows API\r\n");
    }
    std::string joystickText = J("なし");
    if (const CJoystickDevice* joystick = input != nullptr ? input->GetJoystick(0) : nullptr)
        joystickText = ReportPrintf(J("No.%d / %s / %d 軸 / %d ボタン"), joystick->m_number, joystick->m_name.c_str(),
                              joystick->m_axisCount, static_cast<int>(joystick->m_buttonCount));
    out << ReportPrintf(J("ジョイスティック: %s\r\n\r\n----- ドライブ情報 -----\r\n"), joystickText.c_str());
    // 11. Drives.
    const std::string windows = UpperWindowsFolder();
    ForEachDrive([&](const std::string& root, UINT type) {
        std::string line = ReportPrintf(" [%s] ", root.c_str());
        switch (type) {
        case DRIVE_REMOVABLE: line += J("リムーバブルドライブ"); break;
        case DRIVE_REMOTE: line += J("ネットワークドライブ"); break;
        case DRIVE_CDROM: line += J("CD/DVD-ROM ドライブ"); break;
        case DRIVE_RAMDISK: line += J("RAM-DISK ドライブ"); break;
        case DRIVE_FIXED: {
            uint64_t freeBytes = 0, totalBytes = 0;
            if (!info.GetDiskFreeSpace(root.c_str(), &freeBytes, &totalBytes)) {
                line += J("不明");
                break;
            }
            line += GroupedMegabytes(freeBytes >> 20) + " / " + GroupedMegabytes(totalBytes >> 20) + " MB";
            if (!windows.empty() && windows.compare(0, root.size(), root) == 0)
                line += ReportPrintf(" (%s)", windows.c_str());
            break;
        }
        default: line += J("不明"); break;
        }
        out << line + "\r\n";
    });
    // 12. Processes.
    out << std::string(J("\r\n----- プロセス -----\r\n"));
    if (!ForEachProcess(info.m_isNt != 0, [&](const char* line) { out << std::string(line) + "\r\n"; }))
        out << std::string(J("スナップショットの作成に失敗\r\n"));
    // 13. Devices.
    out << std::string(J("------ デバイス ------")) + J("\r\nビデオカード    : ") + display.driverName;
    std::string sound = devices == nullptr ? std::string(J("不明")) : devices->description;
    out << std::string(J("\r\nサウンドカード  : ")) + sound + "\r\nDirectDraw      : ";
    if (!display.initialised) {
        out << std::string(J("未初期化\r\n"));
    } else {
        out << std::string(Use(display.directDraw)) + "\r\n";
        out << ReportPrintf("Direct3D        : %s\r\n", Use(display.direct3D));
        out << ReportPrintf(J("VSync待ち描画   : %s\r\n"), Use(display.vsyncWait));
        out << ReportPrintf("DirectDraw Flip : %s\r\n", Use(display.directDrawFlip));
    }
    out << ReportPrintf("DirectSound     : %s\r\n", Use(frame.useDirectSound));
    out << ReportPrintf("DirectInput     : %s\r\n", Use(frame.inputMode == 0));
    out << ReportPrintf(J("ジョイスティック: %s\r\n"), Use(frame.useJoystick));
    out << ReportPrintf(J("MMX命令         : %s\r\n"), Enabled(cpu.mmx != 0));
    out << ReportPrintf(J("SSE命令         : %s\r\n"), Enabled(cpu.sse != 0));
}
