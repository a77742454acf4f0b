// The scenario engine's skin: every SYS picture and parts file that the frame opens, generated so
// that a game folder made by the tools shows framed windows, choice lines, the page-wait icon and
// the system-menu bar with its ten buttons (docs/tgs-skin.md).
#pragma once

#include <string>
#include <vector>

struct TgsSkinFile {
    std::string name; // relative to the game folder, "/" separated
    std::vector<unsigned char> bytes;
};

// The files of the skin → false with a message when a picture cannot be encoded.
bool MakeTgsSkin(std::vector<TgsSkinFile>* files, std::string* error);
