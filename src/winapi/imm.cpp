// Input contexts over the host's text input; see imm.h.
#include "winapi/imm.h"

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "winapi/kernel_module.h"
#include "winapi/text.h"
#include "winapi/user_internal.h"

namespace {

struct ImeContext {
    bool open = false;
    DWORD conversion = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
    DWORD sentence = IME_SMODE_NONE;
    std::string composition;
    int cursor = 0;
    // Clause ends in bytes (empty: one clause over the whole composition) and the delta start.
    std::vector<DWORD> clauseEnds;
    int deltaStart = 0;
    std::string result;
    // Strings waiting for their WM_IME_COMPOSITION to be taken out of the queue.
    std::deque<std::string> pendingResults;
    struct Pending {
        std::string text;
        int cursor;
        std::vector<DWORD> clauseEnds;
        int deltaStart;
    };
    std::deque<Pending> pendingCompositions;
    bool composing = false;
    CANDIDATEFORM candidates[4]{};
};

struct ImeState {
    std::mutex mutex;
    std::map<HIMC, std::shared_ptr<ImeContext>> contexts;
    HIMC defaultContext = nullptr;
    std::map<HWND, HIMC> associations;  // absent: the default context; null: none
    uintptr_t nextHandle = 0x20010;
    bool statusWindowShown = true;
};

ImeState& State()
{
    static ImeState* state = new ImeState;
    return *state;
}

HIMC NewContextLocked(ImeState& state)
{
    HIMC handle = reinterpret_cast<HIMC>(state.nextHandle);
    state.nextHandle += 4;
    state.contexts[handle] = std::make_shared<ImeContext>();
    return handle;
}

HIMC DefaultContextLocked(ImeState& state)
{
    if (state.defaultContext == nullptr)
        state.defaultContext = NewContextLocked(state);
    return state.defaultContext;
}

HIMC ContextOfLocked(ImeState& state, HWND hwnd)
{
    auto it = state.associations.find(hwnd);
    if (it != state.associations.end())
        return it->second;
    return DefaultContextLocked(state);
}

std::shared_ptr<ImeContext> FindContextLocked(ImeState& state, HIMC handle)
{
    auto it = state.contexts.find(handle);
    return it == state.contexts.end() ? nullptr : it->second;
}

LRESULT CALLBACK ImeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_IME_CONTROL) {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        if (wParam == IMC_CLOSESTATUSWINDOW)
            state.statusWindowShown = false;
        else if (wParam == IMC_OPENSTATUSWINDOW)
            state.statusWindowShown = true;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

thread_local HWND t_imeWindow = nullptr;

} // namespace

namespace winapi {

bool ImeStatusWindowShown()
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    return state.statusWindowShown;
}

namespace user {

bool ImeTakesText(HWND hwnd, const std::string& sjis)
{
    bool wide = false;
    for (char c : sjis)
        wide = wide || static_cast<unsigned char>(c) >= 0x80;
    if (!wide)
        return false;
    {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        auto context = FindContextLocked(state, ContextOfLocked(state, hwnd));
        if (!context || !context->open)
            return false;
        context->pendingResults.push_back(sjis);
    }
    const POINT none{0, 0};
    WPARAM first = static_cast<unsigned char>(sjis[0]);
    if (sjis.size() > 1 && IsSjisLeadByte(static_cast<unsigned char>(sjis[0])))
        first = (first << 8) | static_cast<unsigned char>(sjis[1]);
    QueueInput(hwnd, WM_IME_STARTCOMPOSITION, 0, 0, none);
    QueueInput(hwnd, WM_IME_COMPOSITION, first, GCS_RESULTSTR | GCS_RESULTREADSTR, none);
    QueueInput(hwnd, WM_IME_ENDCOMPOSITION, 0, 0, none);
    return true;
}

void ImeComposition(HWND hwnd, const std::string& sjis, int cursor)
{
    ImeComposition(hwnd, sjis, cursor, {}, 0);
}

void ImeComposition(HWND hwnd, const std::string& sjis, int cursor, const std::vector<DWORD>& clauseEnds,
                    int deltaStart)
{
    bool start = false, end = false;
    {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        auto context = FindContextLocked(state, ContextOfLocked(state, hwnd));
        if (!context || !context->open)
            return;
        context->pendingCompositions.push_back(ImeContext::Pending{sjis, cursor, clauseEnds, deltaStart});
        start = !sjis.empty() && !context->composing;
        end = sjis.empty() && context->composing;
        context->composing = !sjis.empty();
    }
    const POINT none{0, 0};
    if (start)
        QueueInput(hwnd, WM_IME_STARTCOMPOSITION, 0, 0, none);
    QueueInput(hwnd, WM_IME_COMPOSITION, 0, GCS_COMPSTR | GCS_COMPCLAUSE | GCS_CURSORPOS | GCS_DELTASTART, none);
    if (end)
        QueueInput(hwnd, WM_IME_ENDCOMPOSITION, 0, 0, none);
}

// A WM_IME_COMPOSITION was taken out of the queue: its strings become the context's current ones.
void ImeOnRetrieve(HWND hwnd, LPARAM flags)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, ContextOfLocked(state, hwnd));
    if (!context)
        return;
    if ((flags & GCS_RESULTSTR) && !context->pendingResults.empty()) {
        context->result = context->pendingResults.front();
        context->pendingResults.pop_front();
        context->composition.clear();
        context->cursor = 0;
        context->clauseEnds.clear();
        context->deltaStart = 0;
    } else if ((flags & GCS_COMPSTR) && !context->pendingCompositions.empty()) {
        const ImeContext::Pending& next = context->pendingCompositions.front();
        context->composition = next.text;
        context->cursor = next.cursor;
        context->clauseEnds = next.clauseEnds;
        context->deltaStart = next.deltaStart;
        context->pendingCompositions.pop_front();
    }
}

void ImeForgetWindow(HWND hwnd)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    state.associations.erase(hwnd);
}

} // namespace user
} // namespace winapi

using namespace winapi;
using namespace winapi::user;

HIMC WINAPI ImmGetContext(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return nullptr;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    return ContextOfLocked(state, hwnd);
}

BOOL WINAPI ImmReleaseContext(HWND, HIMC context)
{
    return context != nullptr;
}

HIMC WINAPI ImmCreateContext()
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    return NewContextLocked(state);
}

BOOL WINAPI ImmDestroyContext(HIMC context)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (context == state.defaultContext || state.contexts.erase(context) == 0)
        return FALSE;
    for (auto& [hwnd, associated] : state.associations)
        if (associated == context)
            associated = nullptr;
    return TRUE;
}

HIMC WINAPI ImmAssociateContext(HWND hwnd, HIMC context)
{
    if (!IsWindow(hwnd))
        return nullptr;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (context != nullptr && !FindContextLocked(state, context))
        return nullptr;
    HIMC previous = ContextOfLocked(state, hwnd);
    state.associations[hwnd] = context;
    return previous;
}

BOOL WINAPI ImmAssociateContextEx(HWND hwnd, HIMC context, DWORD flags)
{
    if (!IsWindow(hwnd))
        return FALSE;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (flags & IACE_DEFAULT) {
        state.associations.erase(hwnd);
        return TRUE;
    }
    if (context != nullptr && !FindContextLocked(state, context))
        return FALSE;
    state.associations[hwnd] = context;
    return TRUE;
}

BOOL WINAPI ImmGetOpenStatus(HIMC handle)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, handle);
    return context && context->open;
}

BOOL WINAPI ImmSetOpenStatus(HIMC handle, BOOL open)
{
    {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        auto context = FindContextLocked(state, handle);
        if (!context)
            return FALSE;
        context->open = open != FALSE;
    }
    CurrentHost().SetTextInput(open != FALSE);
    return TRUE;
}

BOOL WINAPI ImmGetConversionStatus(HIMC handle, LPDWORD conversion, LPDWORD sentence)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, handle);
    if (!context)
        return FALSE;
    if (conversion != nullptr)
        *conversion = context->conversion;
    if (sentence != nullptr)
        *sentence = context->sentence;
    return TRUE;
}

BOOL WINAPI ImmSetConversionStatus(HIMC handle, DWORD conversion, DWORD sentence)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, handle);
    if (!context)
        return FALSE;
    context->conversion = conversion;
    context->sentence = sentence;
    return TRUE;
}

LONG WINAPI ImmGetCompositionStringA(HIMC handle, DWORD index, LPVOID buffer, DWORD length)
{
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, handle);
    if (!context)
        return IMM_ERROR_GENERAL;
    auto copy = [&](const void* data, size_t size) -> LONG {
        if (buffer == nullptr || length == 0)
            return static_cast<LONG>(size);
        const size_t n = std::min<size_t>(size, length);
        std::memcpy(buffer, data, n);
        return static_cast<LONG>(n);
    };
    switch (index) {
    case GCS_COMPSTR:
    case GCS_COMPREADSTR:
        return copy(context->composition.data(), context->composition.size());
    case GCS_RESULTSTR:
    case GCS_RESULTREADSTR:
        return copy(context->result.data(), context->result.size());
    case GCS_COMPCLAUSE: {
        // One clause over the whole composition unless the host gave clause ends.
        if (context->composition.empty())
            return 0;
        std::vector<DWORD> clauses{0};
        if (context->clauseEnds.empty())
            clauses.push_back(static_cast<DWORD>(context->composition.size()));
        else
            clauses.insert(clauses.end(), context->clauseEnds.begin(), context->clauseEnds.end());
        return copy(clauses.data(), clauses.size() * sizeof(DWORD));
    }
    case GCS_CURSORPOS:
        return context->cursor;
    case GCS_DELTASTART:
        return context->deltaStart;
    default:
        return IMM_ERROR_NODATA;
    }
}

BOOL WINAPI ImmSetCandidateWindow(HIMC handle, const CANDIDATEFORM* form)
{
    if (form == nullptr || form->dwIndex >= 4)
        return FALSE;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, handle);
    if (!context)
        return FALSE;
    context->candidates[form->dwIndex] = *form;
    // The host's candidate window goes to the point (or the area to keep clear) in the focus
    // window's client coordinates.
    RECT rect{form->ptCurrentPos.x, form->ptCurrentPos.y, form->ptCurrentPos.x + 1, form->ptCurrentPos.y + 1};
    if ((form->dwStyle & CFS_EXCLUDE) != 0)
        rect = form->rcArea;
    winapi::CurrentHost().SetTextInputRect(GetFocus(), rect);
    return TRUE;
}

BOOL WINAPI ImmGetCandidateWindow(HIMC handle, DWORD index, CANDIDATEFORM* form)
{
    if (form == nullptr || index >= 4)
        return FALSE;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto context = FindContextLocked(state, handle);
    if (!context)
        return FALSE;
    *form = context->candidates[index];
    return TRUE;
}

HWND WINAPI ImmGetDefaultIMEWnd(HWND)
{
    if (t_imeWindow != nullptr && IsWindow(t_imeWindow))
        return t_imeWindow;
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ImeWindowProc;
        wc.lpszClassName = "IME";
        RegisterClassExA(&wc);
    });
    t_imeWindow = CreateWindowExA(0, "IME", "Default IME", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    return t_imeWindow;
}

namespace {

// imm32.dll as a built-in module, for callers that find its entry points at run time.
const winapi::BuiltinProc kImmProcs[] = {
    {"ImmAssociateContext", winapi::ToFarProc(ImmAssociateContext)},
    {"ImmAssociateContextEx", winapi::ToFarProc(ImmAssociateContextEx)},
    {"ImmGetContext", winapi::ToFarProc(ImmGetContext)},
    {"ImmReleaseContext", winapi::ToFarProc(ImmReleaseContext)},
    {"ImmGetOpenStatus", winapi::ToFarProc(ImmGetOpenStatus)},
    {"ImmSetOpenStatus", winapi::ToFarProc(ImmSetOpenStatus)},
    {"ImmGetCompositionStringA", winapi::ToFarProc(ImmGetCompositionStringA)},
    {"ImmGetConversionStatus", winapi::ToFarProc(ImmGetConversionStatus)},
    {"ImmSetCandidateWindow", winapi::ToFarProc(ImmSetCandidateWindow)},
    {"ImmGetDefaultIMEWnd", winapi::ToFarProc(ImmGetDefaultIMEWnd)},
};

const bool g_immRegistered = winapi::RegisterBuiltinModule("imm32.dll", kImmProcs, std::size(kImmProcs));

} // namespace
