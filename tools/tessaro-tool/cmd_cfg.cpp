// tessaro-tool cfg: write the game's application and settings files (KW_APP.SYS, KW_APP.INF,
// USER.CFG, APP_CFG.DAT) and print any of them by field.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "command.h"
#include "game/app_files.h"
#include "game/user_settings.h"
#include "winapi/text.h"

namespace {

bool ParseInt(const char* text, long min, long max, long* value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || v < min || v > max)
        return false;
    *value = v;
    return true;
}

// "OFF=V" within a block of size bytes.
bool ParseSet(const char* text, size_t size, long* offset, long* value)
{
    std::string s = text;
    const size_t eq = s.find('=');
    return eq != std::string::npos && ParseInt(s.substr(0, eq).c_str(), 0, static_cast<long>(size) - 1, offset) &&
           ParseInt(s.c_str() + eq + 1, 0, 255, value);
}

int Write(const char* path, const std::vector<uint8_t>& bytes)
{
    if (!WriteWholeFile(path, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "cfg: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

int Sys(int argc, char** argv)
{
    AppDescription block = DefaultAppDescription(AppFrameOptions{});
    bool size = false, mode = false;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        long v = 0;
        if (option == "--size" && next) {
            unsigned w = 0, h = 0;
            char tail = 0;
            if (std::sscanf(next, "%ux%u%c", &w, &h, &tail) != 2 || w == 0 || h == 0 || w > 0xFFFF || h > 0xFFFF)
                return -1;
            block.SetU16(kSysWidth, static_cast<uint16_t>(w));
            block.SetU16(kSysHeight, static_cast<uint16_t>(h));
            size = true;
            ++i;
        } else if (option == "--menu") {
            block.SetU16(kSysMenu, 1);
        } else if (option == "--accel") {
            block.SetU16(kSysAccelerators, 1);
        } else if (option == "--switch" && next && ParseInt(next, 0, 1, &v)) {
            block.bytes[kSysSwitchAllowed] = static_cast<uint8_t>(v);
            ++i;
        } else if (option == "--save-mode" && next && ParseInt(next, 0, 255, &v)) {
            block.bytes[kSysSaveMode] = static_cast<uint8_t>(v);
            mode = true;
            ++i;
        } else {
            return -1;
        }
    }
    if (!size || !mode)
        return -1;
    return Write(argv[2], BuildAppSys(block));
}

bool Sjis(const char* utf8, std::string* out)
{
    std::string error;
    if (SjisName(utf8, out, &error))
        return true;
    std::fprintf(stderr, "cfg: %s\n", error.c_str());
    return false;
}

int Inf(int argc, char** argv)
{
    AppInfo info;
    bool version = false, name = false, title = false;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return -1;
        const char* value = argv[++i];
        std::string* field = nullptr;
        if (option == "--version") {
            unsigned a = 0, b = 0, c = 0;
            char tail = 0;
            const int n = std::sscanf(value, "%u.%u.%u%c", &a, &b, &c, &tail);
            if ((n != 2 && n != 3) || a > 255 || b > 255 || c > 255)
                return -1;
            info.version[0] = static_cast<uint8_t>(a);
            info.version[1] = static_cast<uint8_t>(b);
            info.version[2] = static_cast<uint8_t>(c);
            version = true;
            continue;
        }
        if (option == "--name")
            field = &info.name, name = true;
        else if (option == "--title")
            field = &info.title, title = true;
        else if (option == "--notice")
            field = &info.notice;
        else if (option == "--web")
            field = &info.web;
        else if (option == "--save-name")
            field = &info.saveName;
        else
            return -1;
        if (!Sjis(value, field))
            return 1;
    }
    if (!version || !name || !title)
        return -1;
    std::vector<uint8_t> bytes;
    if (!BuildAppInf(info, &bytes)) {
        std::fprintf(stderr, "cfg: a string is longer than 254 bytes\n");
        return 1;
    }
    return Write(argv[2], bytes);
}

int User(int argc, char** argv)
{
    UserCfg cfg;
    SetUserBlockDefaults(cfg.user);
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        long v = 0, offset = 0;
        if (option == "--thread" && next && ParseInt(next, 0, 1, &v)) {
            cfg.frame.gameThread = static_cast<uint8_t>(v);
            ++i;
        } else if (option == "--window") {
            cfg.frame.requestedMode = 2;
        } else if (option == "--set" && next && ParseSet(next, kUserBlockSize, &offset, &v)) {
            cfg.user[offset] = static_cast<uint8_t>(v);
            ++i;
        } else {
            return -1;
        }
    }
    return Write(argv[2], BuildUserCfg(cfg));
}

int App(int argc, char** argv)
{
    AppConfig config;
    SetAppConfigDefaults(&config);
    auto* bytes = reinterpret_cast<uint8_t*>(&config);
    for (int i = 3; i < argc; ++i) {
        long v = 0, offset = 0;
        if (std::strcmp(argv[i], "--set") != 0 || i + 1 >= argc || !ParseSet(argv[i + 1], sizeof config, &offset, &v))
            return -1;
        bytes[offset] = static_cast<uint8_t>(v);
        ++i;
    }
    return Write(argv[2], BuildAppCfg(config));
}

void PrintBytes(const char* label, const uint8_t* data, size_t size)
{
    std::printf("%s:", label);
    for (size_t i = 0; i < size; ++i)
        std::printf(" %u", data[i]);
    std::printf("\n");
}

std::string Utf8(const std::string& sjis) { return winapi::SjisToUtf8(sjis); }

int Show(const char* path)
{
    std::vector<BYTE> data;
    if (!ReadWholeFile(path, &data)) {
        std::fprintf(stderr, "cfg: cannot read %s\n", path);
        return 1;
    }
    std::string base = path;
    base = base.substr(base.find_last_of('/') == std::string::npos ? 0 : base.find_last_of('/') + 1);
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "KW_APP.SYS") {
        AppDescription b;
        if (!ParseAppSys(data.data(), data.size(), &b))
            return std::fprintf(stderr, "cfg: %s is damaged\n", path), 1;
        std::printf("size: %ux%u\nstyle: 0x%08" PRIX32 "\nex-style: 0x%08" PRIX32 "\nicon: %u\nmenu: %u\naccel: %u\n"
                    "single-instance: %u\nswitch: %u\nmode1-as-0: %u\nsave-mode: %u\n",
                    b.U16(kSysWidth), b.U16(kSysHeight), b.U32(kSysStyle), b.U32(kSysExStyle), b.U16(kSysIcon),
                    b.U16(kSysMenu), b.U16(kSysAccelerators), b.bytes[kSysSingleInstance], b.bytes[kSysSwitchAllowed],
                    b.bytes[kSysMode1AsMode0], b.bytes[kSysSaveMode]);
    } else if (base == "KW_APP.INF") {
        AppInfo info;
        if (!ParseAppInf(data.data(), data.size(), &info))
            return std::fprintf(stderr, "cfg: %s is damaged\n", path), 1;
        std::printf("version: %u.%u.%u\nname: %s\ntitle: %s\nnotice: %s\nweb: %s\nsave-name: %s\n", info.version[0],
                    info.version[1], info.version[2], Utf8(info.name).c_str(), Utf8(info.title).c_str(),
                    Utf8(info.notice).c_str(), Utf8(info.web).c_str(), Utf8(info.saveName).c_str());
    } else if (base == "USER.CFG") {
        UserCfg cfg;
        SetUserBlockDefaults(cfg.user);
        if (ParseUserCfg(data.data(), data.size(), &cfg) != 0)
            return std::fprintf(stderr, "cfg: %s is damaged\n", path), 1;
        const AppFrameOptions& f = cfg.frame;
        std::printf("window: %" PRId32 ",%" PRId32 "\nthread: %u\ninput-mode: %u\ncursor-auto-move: %u\n"
                    "cursor-word: %u\nstop-when-inactive: %u\ntop-most: %u\nmonitor-choice: %u\n",
                    f.windowX, f.windowY, f.gameThread, f.inputMode, f.cursorPlacement, f.menuHoverDelay,
                    cfg.stopWhenInactive, f.topMostInFullScreen, cfg.monitorChoice);
        PrintBytes("game-bytes", f.gameBytes, 5);
        std::printf("screen-mode: %u\ndepth: %u\ndisplay-flags: %u\n", f.requestedMode, f.requestedDepth,
                    cfg.displayFlags);
        PrintBytes("user", cfg.user, kUserBlockSize);
        std::printf("folder: %s\n", Utf8(cfg.chosenFolder).c_str());
    } else if (base == "APP_CFG.DAT") {
        AppConfig config;
        std::memset(&config, 0, sizeof config);
        if (!ParseAppCfg(data.data(), data.size(), &config))
            return std::fprintf(stderr, "cfg: %s is damaged\n", path), 1;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&config);
        for (size_t row = 0; row < sizeof config; row += 16) {
            std::printf("%3zu:", row);
            for (size_t i = row; i < row + 16 && i < sizeof config; ++i)
                std::printf(" %3u", bytes[i]);
            std::printf("\n");
        }
        std::printf("face: %s\n", Utf8(std::string(config.faceName, strnlen(config.faceName, 32))).c_str());
    } else {
        std::fprintf(stderr, "cfg: %s: not KW_APP.SYS, KW_APP.INF, USER.CFG or APP_CFG.DAT\n", path);
        return 1;
    }
    return 0;
}

int RunCfg(int argc, char** argv)
{
    if (argc < 3)
        return -1;
    const std::string what = argv[1];
    if (what == "show")
        return argc == 3 ? Show(argv[2]) : -1;
    if (what == "sys")
        return Sys(argc, argv);
    if (what == "inf")
        return Inf(argc, argv);
    if (what == "user")
        return User(argc, argv);
    if (what == "app")
        return App(argc, argv);
    return -1;
}

}  // namespace

TESSARO_TOOL_COMMAND("cfg",
                     "  cfg sys OUT --size WxH [--menu] [--accel] [--switch 0|1] --save-mode N\n"
                     "  cfg inf OUT --version A.B[.C] --name N --title T [--notice T] [--web U] [--save-name N]\n"
                     "  cfg user OUT [--thread 0|1] [--window] [--set OFF=V]   (OFF in the 17-byte user block)\n"
                     "  cfg app OUT [--set OFF=V]                              (OFF in the 196-byte settings block)\n"
                     "  cfg show FILE             print KW_APP.SYS, KW_APP.INF, USER.CFG or APP_CFG.DAT by field",
                     RunCfg);
