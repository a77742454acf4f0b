// The game's own resource ids and window style: the application icon, the two cursors, the menu
// and its accelerators.
#pragma once

#include <cstdint>

constexpr uint16_t kMenuId = 101;
constexpr uint16_t kAcceleratorsId = 102;
constexpr uint16_t kIconId = 103;
constexpr uint16_t kCursorId = 120;
constexpr uint16_t kBusyCursorId = 121;
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX.
constexpr uint32_t kGameWindowStyle = 0x00CB0000;
