// The game's resource rows. The pictures are drawn here as character maps, one row of text per
// row of pixels, so that they can be read and changed without an image editor.
#include "game/resources.h"

#include <mutex>

#include "game/settings_sheet.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

constexpr int kIconSide = 32;
constexpr int kCursorSide = 32;

// Colours of the maps (B, G, R, A in memory: 0xAARRGGBB as a word).
uint32_t MapColour(char c)
{
    switch (c) {
    case '#': return 0xFF000000;  // black
    case 'o': return 0xFFFFFFFF;  // white
    case 'b': return 0xFF2850A0;  // blue
    case 'l': return 0xFF90B8F0;  // light blue
    case 'y': return 0xFFF0D040;  // sand
    default: return 0x00000000;   // clear
    }
}

// A map of side / scale rows drawn at scale into a side x side picture.
void DrawMap(const char* const* rows, int scale, int side, uint32_t* out)
{
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            out[y * side + x] = MapColour(rows[y / scale][x / scale]);
}

// Icon 103: a blue page with a white text block, drawn at twice this size.
const char* const kIconMap[16] = {
    "                ",
    "  ############  ",
    "  #llllllllll#  ",
    "  #lbbbbbbbbl#  ",
    "  #lboooooobl#  ",
    "  #lboooooobl#  ",
    "  #lb######bl#  ",
    "  #lboooooobl#  ",
    "  #lb####oobl#  ",
    "  #lboooooobl#  ",
    "  #lb#####obl#  ",
    "  #lboooooobl#  ",
    "  #lbbbbbbbbl#  ",
    "  #llllllllll#  ",
    "  ############  ",
    "                ",
};

// Cursor 120: the arrow, hot spot at its tip (0, 0).
const char* const kArrowMap[16] = {
    "#               ",
    "##              ",
    "#o#             ",
    "#oo#            ",
    "#ooo#           ",
    "#oooo#          ",
    "#ooooo#         ",
    "#oooooo#        ",
    "#ooooooo#       ",
    "#oooo#####      ",
    "#oo#oo#         ",
    "#o# #oo#        ",
    "##  #oo#        ",
    "#    #oo#       ",
    "     #oo#       ",
    "      ##        ",
};

// Cursor 121: the hourglass of a busy game, hot spot in its middle.
const char* const kBusyMap[16] = {
    "  ###########   ",
    "  #ooooooooo#   ",
    "   #ooooooo#    ",
    "   #oyyyyyo#    ",
    "    #oyyyo#     ",
    "     #oyo#      ",
    "      #o#       ",
    "      #o#       ",
    "     #ooo#      ",
    "    #ooyoo#     ",
    "   #ooyyyoo#    ",
    "   #oyyyyyo#    ",
    "  #ooooooooo#   ",
    "  ###########   ",
    "                ",
    "                ",
};

struct Pictures {
    uint32_t icon[kIconSide * kIconSide];
    uint32_t arrow[kCursorSide * kCursorSide];
    uint32_t busy[kCursorSide * kCursorSide];
};

// Menu 101: the bar's items first, the "システム" popup's six after them (at index 5).
struct MenuRow {
    unsigned flags;
    unsigned id;
    const char* utf8;
    int popupCount;
};
constexpr int kMenuBarItems = 5;
const MenuRow kMenuRows[] = {
    {MF_POPUP, 5, "システム(&M)", 6},
    {MF_STRING, kCmdSettings, "設定(&C)", 0},
    {MF_STRING | MF_GRAYED, kCmdSave, "セーブ(&S)", 0},
    {MF_STRING | MF_GRAYED, kCmdLoad, "ロード(&L)", 0},
    {MF_STRING, kCmdQuit, "終了(&E)", 0},
    {MF_STRING, kCmdScreenMode, "画面モード変更(&D)\tShift+D", 0},
    {MF_STRING | MF_GRAYED, kCmdReturnToTitle, "タイトルに戻る(&T)\tShift+T", 0},
    {MF_STRING, kCmdSettingsFromMenu, "設定(&C)\tShift+C", 0},
    {MF_STRING, kCmdQuit, "終了(&Q)\tAlt+F4", 0},
    {MF_SEPARATOR, 0, nullptr, 0},
    {MF_STRING, kCmdVersion, "バージョン情報(&V)\tShift+V", 0},
};
constexpr int kMenuTotal = static_cast<int>(sizeof kMenuRows / sizeof kMenuRows[0]);

// Accelerators 102.
const ACCEL kAccelerators[] = {
    {FVIRTKEY | FSHIFT, 'A', 40012},
    {FVIRTKEY | FALT, VK_RETURN, kCmdScreenMode},
    {FVIRTKEY | FSHIFT, 'L', 40009},
    {FVIRTKEY | FSHIFT, 'G', 40011},
    {FVIRTKEY | FSHIFT, 'U', 40010},
    {FVIRTKEY | FSHIFT, 'V', kCmdVersion},
    {FVIRTKEY | FSHIFT, 'Z', 40013},
};

} // namespace

void RegisterGameResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The table keeps pointers for the life of the process.
        static Pictures pictures;
        DrawMap(kIconMap, 2, kIconSide, pictures.icon);
        DrawMap(kArrowMap, 2, kCursorSide, pictures.arrow);
        DrawMap(kBusyMap, 2, kCursorSide, pictures.busy);
        static winapi::MenuItemResource menu[kMenuTotal];
        for (int i = 0; i < kMenuTotal; ++i) {
            const MenuRow& row = kMenuRows[i];
            menu[i] = {row.flags, row.id, row.utf8 != nullptr ? winapi::Sjis(row.utf8) : nullptr, row.popupCount};
        }
        winapi::ResourceRow rows[5] = {};
        rows[0] = {winapi::ResourceKind::Icon, kIconId, pictures.icon, kIconSide, kIconSide, 0, 0};
        rows[1] = {winapi::ResourceKind::Cursor, kCursorId, pictures.arrow, kCursorSide, kCursorSide, 0, 0};
        rows[2] = {winapi::ResourceKind::Cursor, kBusyCursorId, pictures.busy, kCursorSide, kCursorSide, 16, 16};
        rows[3].kind = winapi::ResourceKind::Accelerators;
        rows[3].id = kAcceleratorsId;
        rows[3].accelerators = kAccelerators;
        rows[3].acceleratorCount = static_cast<int>(sizeof kAccelerators / sizeof kAccelerators[0]);
        rows[4].kind = winapi::ResourceKind::Menu;
        rows[4].id = kMenuId;
        rows[4].menu = menu;
        rows[4].menuCount = kMenuBarItems;
        rows[4].menuTotal = kMenuTotal;
        winapi::RegisterResources(rows, 5);
        RegisterDialogResources();
        RegisterSettingsResources();
    });
}
