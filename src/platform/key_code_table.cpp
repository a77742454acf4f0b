// The key code table; see key_code_table.h.
#include "platform/key_code_table.h"

#include "winapi/dinput.h"
#include "winapi/user.h"

// The order matters: the message keyboard walks it and a later row overwrites an earlier one for
// a shared virtual key (so VK_SHIFT reads as LSHIFT). SEMICOLON pairs with VK_OEM_PLUS, the key
// at that place on the Japanese layout.
const KeyCodeRow KeyCodeTable[104] = {
    {DIK_NOCONVERT, VK_NONCONVERT}, {DIK_CONVERT, VK_CONVERT}, {DIK_LWIN, VK_LWIN}, {DIK_RWIN, VK_RWIN},
    {DIK_APPS, VK_APPS}, {DIK_UP, VK_UP}, {DIK_DOWN, VK_DOWN}, {DIK_LEFT, VK_LEFT}, {DIK_RIGHT, VK_RIGHT},
    {DIK_NUMPAD0, VK_NUMPAD0}, {DIK_NUMPAD1, VK_NUMPAD0 + 1}, {DIK_NUMPAD2, VK_NUMPAD0 + 2},
    {DIK_NUMPAD3, VK_NUMPAD0 + 3}, {DIK_NUMPAD4, VK_NUMPAD0 + 4}, {DIK_NUMPAD5, VK_NUMPAD0 + 5},
    {DIK_NUMPAD6, VK_NUMPAD0 + 6}, {DIK_NUMPAD7, VK_NUMPAD0 + 7}, {DIK_NUMPAD8, VK_NUMPAD0 + 8},
    {DIK_NUMPAD9, VK_NUMPAD0 + 9}, {DIK_NUMPADENTER, VK_RETURN}, {DIK_ADD, VK_ADD}, {DIK_SUBTRACT, VK_SUBTRACT},
    {DIK_MULTIPLY, VK_MULTIPLY}, {DIK_DIVIDE, VK_DIVIDE}, {DIK_DECIMAL, VK_DECIMAL}, {DIK_NUMLOCK, VK_NUMLOCK},
    {DIK_SYSRQ, VK_SNAPSHOT}, {DIK_SCROLL, VK_SCROLL}, {DIK_PAUSE, VK_PAUSE}, {DIK_INSERT, VK_INSERT},
    {DIK_DELETE, VK_DELETE}, {DIK_HOME, VK_HOME}, {DIK_END, VK_END}, {DIK_PRIOR, VK_PRIOR}, {DIK_NEXT, VK_NEXT},
    {DIK_ESCAPE, VK_ESCAPE}, {DIK_F1, VK_F1}, {DIK_F2, VK_F1 + 1}, {DIK_F3, VK_F1 + 2}, {DIK_F4, VK_F1 + 3},
    {DIK_F5, VK_F1 + 4}, {DIK_F6, VK_F1 + 5}, {DIK_F7, VK_F1 + 6}, {DIK_F8, VK_F1 + 7}, {DIK_F9, VK_F1 + 8},
    {DIK_F10, VK_F1 + 9}, {DIK_F11, VK_F1 + 10}, {DIK_F12, VK_F1 + 11}, {DIK_1, '1'}, {DIK_2, '2'}, {DIK_3, '3'},
    {DIK_4, '4'}, {DIK_5, '5'}, {DIK_6, '6'}, {DIK_7, '7'}, {DIK_8, '8'}, {DIK_9, '9'}, {DIK_0, '0'},
    {DIK_MINUS, VK_OEM_MINUS}, {DIK_Q, 'Q'}, {DIK_W, 'W'}, {DIK_E, 'E'}, {DIK_R, 'R'}, {DIK_T, 'T'}, {DIK_Y, 'Y'},
    {DIK_U, 'U'}, {DIK_I, 'I'}, {DIK_O, 'O'}, {DIK_P, 'P'}, {DIK_LBRACKET, VK_OEM_4}, {DIK_A, 'A'}, {DIK_S, 'S'},
    {DIK_D, 'D'}, {DIK_F, 'F'}, {DIK_G, 'G'}, {DIK_H, 'H'}, {DIK_J, 'J'}, {DIK_K, 'K'}, {DIK_L, 'L'},
    {DIK_SEMICOLON, VK_OEM_PLUS}, {DIK_RBRACKET, VK_OEM_6}, {DIK_Z, 'Z'}, {DIK_X, 'X'}, {DIK_C, 'C'}, {DIK_V, 'V'},
    {DIK_B, 'B'}, {DIK_N, 'N'}, {DIK_M, 'M'}, {DIK_COMMA, VK_OEM_COMMA}, {DIK_PERIOD, VK_OEM_PERIOD},
    {DIK_SLASH, VK_OEM_2}, {DIK_BACKSLASH, VK_OEM_102}, {DIK_BACK, VK_BACK}, {DIK_RETURN, VK_RETURN},
    {DIK_RSHIFT, VK_SHIFT}, {DIK_LSHIFT, VK_SHIFT}, {DIK_RCONTROL, VK_CONTROL}, {DIK_LCONTROL, VK_CONTROL},
    {DIK_RMENU, VK_MENU}, {DIK_LMENU, VK_MENU}, {DIK_TAB, VK_TAB}, {DIK_SPACE, VK_SPACE}, {DIK_KANJI, VK_KANJI},
    {DIK_CAPITAL, VK_CAPITAL},
};

// UP DOWN LEFT RIGHT, NUMPAD0..9, NUMPADENTER, INSERT DELETE HOME END PRIOR NEXT, ESCAPE, F1..F12,
// Z X C, BACK RETURN, RSHIFT LSHIFT RCONTROL LCONTROL RMENU LMENU, TAB SPACE.
const uint8_t KeyCodeSubset[47] = {
    5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 29, 30, 31, 32, 33, 34, 35, 36, 37,
    38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 81, 82, 83, 92, 93, 94, 95, 96, 97, 98, 99, 100, 101,
};
