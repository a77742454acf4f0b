// Running a dialog while the caller's queue is served; the headless script. See dialog_backend.h.
#include "winapi/shell/dialog_backend.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "winapi/host_headless.h"
#include "winapi/shell/dialog_script.h"
#include "winapi/user.h"

namespace winapi::shell {

namespace {

std::mutex g_scriptMutex;
std::deque<DialogAnswer> g_answers;
std::vector<DialogRequest> g_requests;

} // namespace

void QueueDialogAnswer(const DialogAnswer& answer)
{
    std::lock_guard lock(g_scriptMutex);
    g_answers.push_back(answer);
}

std::vector<DialogRequest> DialogRequests()
{
    std::lock_guard lock(g_scriptMutex);
    return g_requests;
}

void ClearDialogScript()
{
    std::lock_guard lock(g_scriptMutex);
    g_answers.clear();
    g_requests.clear();
}

DialogAnswer RunDialog(const DialogRequest& request)
{
    if (CurrentHeadlessHost() != nullptr) {
        DialogAnswer answer;
        {
            std::lock_guard lock(g_scriptMutex);
            g_requests.push_back(request);
            if (!g_answers.empty()) {
                answer = g_answers.front();
                g_answers.pop_front();
            }
        }
        if (answer.whileOpen)
            answer.whileOpen();
        return answer;
    }
    // GTK blocks its own thread; this one keeps serving its queue meanwhile.
    struct Shared {
        std::mutex mutex;
        bool done = false;
        DialogAnswer answer;
    };
    auto shared = std::make_shared<Shared>();
    std::thread worker([shared, request] {
        DialogAnswer answer;
        if (!RunGtkDialog(request, &answer))
            answer.result = DialogAnswer::NoDisplay;
        std::lock_guard lock(shared->mutex);
        shared->answer = answer;
        shared->done = true;
    });
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->done)
                break;
        }
        MSG msg;
        while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;  // kept for the loop outside the dialog
                quitCode = msg.wParam;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
    return shared->answer;
}

} // namespace winapi::shell
