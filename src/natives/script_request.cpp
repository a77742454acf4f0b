#include "natives/script_request.h"

#include "natives/game_app_link.h"
#include "winapi/user_message.h"
#include "winapi/user_window.h"

bool SendScriptRequest(ScriptRequest* request)
{
    CGameAppLink* app = g_pGameApp;
    if (app == nullptr || request == nullptr)
        return false;
    HWND window = app->GetMainWindow();
    if (window == nullptr || !IsWindow(window))
        return false;
    app->PauseForCommand();
    SendMessageA(window, WM_COMMAND, request->command, reinterpret_cast<LPARAM>(request));
    app->ResumeAfterCommand();
    return true;
}
