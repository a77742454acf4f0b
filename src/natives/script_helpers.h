// Helpers shared by natives of many groups: the surfaces behind a surface object (its image,
// canvas and scene), the clipboard copy, the load-file name, the numbered music player, the
// music ducking task, and finding and removing the object manager's tasks.
#pragma once

#include <cstdint>
#include <string>

#include "display/display_objects.h"

class CScriptHostBase;
class CTimedTask;

// Puts size bytes of Shift-JIS text on the clipboard (size 0: the text and its NUL); the caller
// guarantees size readable bytes → 0 ok; 1 no text; 2 no memory.
int CopyTextToClipboard(const char* text, uint32_t size);

// The name the load natives use next (emptied by null).
extern std::string g_LoadFileName;
void SetLoadFileName(const char* name);

// Asks the main window for a system-menu command: request 0-7 (see the table in the source),
// posted, or sent with the application paused around it when synchronous → 1 asked, 0 refused
// (a menu flag clear, request 7 with command 0, a request above 7, no application).
int PostSystemMenuCommand(uint8_t request, bool synchronous, uint32_t command);

// Music by number: "BGM\BGM%02d.OGG" when it exists, else the loop "BGM\BGM%02dB.OGG" with the
// intro "BGM\BGM%02dA.OGG"; 0 stops. The same number again does nothing (0 again stops again).
// Fade time 0 plays at once → 1 when the play answered a positive value, else 0; otherwise a
// fade-out, cross-fade or fade-in task of g_pSoundManager's scheduler → 0.
int PlayBgmByNumber(int32_t number, uint32_t fadeTime, int32_t loop);
// The music number PlayBgmByNumber remembers (0 = none).
extern int32_t g_CurrentBgmNumber;
// Ducks the music for a voice channel with the ratio of a decimal text, or without one the
// application's ducking setting v (-1.0 for 50, else v × 0.01) → the task's start result.
int StartBgmDuckTask(int32_t channel, const char* ratioText, int32_t duckingSetting);

// The object manager's first live task of the kind (g_pObjectManager->FindKind); null when none or
// without a manager.
CTimedTask* FindObject(int32_t kind);
// Reads the task handle in the 4-byte script cell at `cell`, clears the cell to 0, then cancels
// the task through the object manager → 1 cancelled; 0 a null address, or a handle that names no
// task the manager holds (the cell is cleared all the same); -1 a cell outside script memory
// (nothing read or written).
int RemoveObject(CScriptHostBase& host, uint32_t cell);
