// The key-name table of the keyboard page: DirectInput key codes 0..211 with the names the page
// shows; a code without a name cannot be assigned (Enter, Tab, the modifiers, F1-F5 that the
// quick slots use, the cursor keys and the rest).
#include <array>
#include <string>

#include "game/settings_sheet.h"

namespace {

struct NamedKey {
    int code;
    const char* name;
};

// Runs of consecutive codes are written as one row of space-separated names.
const NamedKey kNamedRuns[] = {
    {0x01, "Esc"},
    {0x02, "1 2 3 4 5 6 7 8 9 0 -"},
    {0x0E, "BackSpace"},
    {0x10, "Q W E R T Y U I O P [ ]"},
    {0x1E, "A S D F G H J K L ; : ]"},  // 0x29 shows "]" as the key table has it
    {0x2B, "\\ Z X C V B N M , . /"},
    {0x37, "ﾃﾝｷｰ[*]"},
    {0x39, "Space"},
    {0x40, "F6 F7 F8 F9 F10"},
    {0x47, "ﾃﾝｷｰ[7] ﾃﾝｷｰ[8] ﾃﾝｷｰ[9] ﾃﾝｷｰ[-] ﾃﾝｷｰ[4] ﾃﾝｷｰ[5] ﾃﾝｷｰ[6] ﾃﾝｷｰ[+] ﾃﾝｷｰ[1] ﾃﾝｷｰ[2] ﾃﾝｷｰ[3] "
           "ﾃﾝｷｰ[0] ﾃﾝｷｰ[.]"},
    {0x57, "F11 F12"},
    {0xB5, "ﾃﾝｷｰ[/]"},
    {0xC7, "Home"},
    {0xC9, "PageUp"},
    {0xCF, "End"},
    {0xD1, "PageDown Insert Delete"},
};

constexpr int kKeyCount = 212;

const std::array<std::string, kKeyCount>& Table()
{
    static const std::array<std::string, kKeyCount> table = [] {
        std::array<std::string, kKeyCount> names;
        for (const NamedKey& run : kNamedRuns) {
            int code = run.code;
            const std::string text = run.name;
            for (size_t start = 0; start <= text.size() && code < kKeyCount;) {
                size_t end = text.find(' ', start);
                if (end == std::string::npos)
                    end = text.size();
                names[static_cast<size_t>(code++)] = text.substr(start, end - start);
                start = end + 1;
            }
        }
        return names;
    }();
    return table;
}

} // namespace

const char* KeyNameUtf8(int code)
{
    if (code < 0 || code >= kKeyCount)
        return "";
    return Table()[static_cast<size_t>(code)].c_str();
}
