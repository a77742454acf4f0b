#include "natives/request_natives.h"

#include <cstring>
#include <string>

#include "files/path_utils.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "natives/script_request.h"
#include "winapi/text.h"

namespace {

// The string of word k, "" for a null word (the call marked for a bad address).
std::string OptionalText(SobNativeArgs& args, uint32_t k)
{
    const char* text = NativeOptionalString(args, k);
    return text == nullptr ? std::string() : std::string(text);
}

// A filter is a list of NUL-ended parts closed by an empty one; it is read up to that empty part
// or the end of its block, never past it.
std::string FilterText(SobNativeArgs& args, uint32_t k)
{
    const uint32_t at = args.U32(k);
    uint32_t start = 0, size = 0;
    if (args.Faulted() || at == 0)
        return {};
    if (!args.Memory().FindBlock(at, &start, &size)) {
        args.MarkFault();
        return {};
    }
    const uint32_t length = size - (at - start);
    const uint8_t* bytes = args.Memory().Span(at, length);
    if (bytes == nullptr) {
        args.MarkFault();
        return {};
    }
    uint32_t n = 0;
    while (n < length && !(bytes[n] == 0 && (n == 0 || bytes[n - 1] == 0)))
        ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

// Whether a text and its NUL fit from dst to the end of dst's block and within limit bytes.
bool Fits(SobNativeArgs& args, uint32_t dst, size_t length, uint32_t limit)
{
    uint32_t start = 0, size = 0;
    return length < limit && args.Memory().FindBlock(dst, &start, &size) &&
           static_cast<uint64_t>(dst - start) + length + 1 <= size;
}

void Store(SobNativeArgs& args, uint32_t dst, const std::string& text)
{
    uint8_t* out = NativeBlockSpan(args, dst, static_cast<uint32_t>(text.size() + 1));
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
}

// The picked path's folder (a file's folder, or the folder itself) becomes a root.
void AddPickedRoot(SobNativeArgs& args, const std::string& path, bool isFile)
{
    CScriptHostBase* host = NativeHost(args);
    if (host == nullptr || path.empty())
        return;
    std::string folder = path;
    if (isFile) {
        std::string copy = path;
        if (CutLastPathComponent(copy.data()) != 0)
            return;
        folder = copy.c_str();
    }
    host->PathRoots().AddRoot(folder.c_str());
}

uint32_t FileDialog(SobNativeArgs& args, uint16_t command)
{
    ScriptRequest request;
    request.command = command;
    for (uint32_t k = 0; k < 6; ++k)
        request.words[k] = args.U32(k);
    if (args.Faulted() || request.words[1] == 0 || request.words[2] == 0)
        return 0;
    request.title = OptionalText(args, 0);
    request.text = OptionalText(args, 1);
    request.folder = OptionalText(args, 3);
    request.filter = FilterText(args, 4);
    if (command == kScriptRequestSaveFile)
        request.extension = OptionalText(args, 5);
    // Both answer buffers must hold what a dialog can answer before it runs.
    if (args.Faulted() || args.Memory().Span(request.words[1], 1) == nullptr ||
        args.Memory().Span(request.words[2], 1) == nullptr) {
        args.MarkFault();
        return 0;
    }
    if (!SendScriptRequest(&request))
        return 0;
    if (request.answer != 0) {
        if (!Fits(args, request.words[1], request.answerText.size(), kDialogPathSize) ||
            !Fits(args, request.words[2], request.answerTitle.size(), kDialogTitleSize)) {
            args.MarkFault();
            return 0;
        }
        Store(args, request.words[1], request.answerText);
        Store(args, request.words[2], request.answerTitle);
        AddPickedRoot(args, request.answerText, true);
    }
    args.Memory().Store32(args.Address(), static_cast<uint32_t>(request.answer));
    return static_cast<uint32_t>(request.answer);
}

} // namespace

uint32_t NativeInputText(SobNativeArgs& args)
{
    ScriptRequest request;
    request.command = kScriptRequestDataInput;
    request.words[0] = args.U32(0);
    if (args.Faulted() || request.words[0] == 0)
        return args.Faulted() ? 0 : 2;
    request.text = OptionalText(args, 0);
    if (args.Faulted() || !SendScriptRequest(&request) || request.answerText.empty())
        return args.Faulted() ? 0 : 1;
    if (!Fits(args, request.words[0], request.answerText.size(), UINT32_MAX)) {
        args.MarkFault();
        return 0;
    }
    Store(args, request.words[0], request.answerText);
    return 0;
}

uint32_t NativeSetInputText(SobNativeArgs& args)
{
    const char* caption = NativeOptionalString(args, 0);
    const char* label = NativeOptionalString(args, 1);
    const uint8_t doubleByte = static_cast<uint8_t>(args.U32(2)), maxBytes = static_cast<uint8_t>(args.U32(3));
    const uint8_t ime = static_cast<uint8_t>(args.U32(4));
    const int32_t width = args.I32(5), x = args.I32(6), y = args.I32(7);
    if (args.Faulted() || g_pGameApp == nullptr)
        return 0;
    g_pGameApp->InputTextForScript(caption, label, doubleByte, maxBytes, ime, width, x, y);
    return 0;
}

uint32_t NativeOpenFileDialog(SobNativeArgs& args)
{
    return FileDialog(args, kScriptRequestOpenFile);
}

uint32_t NativeSaveFileDialog(SobNativeArgs& args)
{
    return FileDialog(args, kScriptRequestSaveFile);
}

uint32_t NativeFolderDialog(SobNativeArgs& args)
{
    ScriptRequest request;
    request.command = kScriptRequestFolder;
    for (uint32_t k = 0; k < 3; ++k)
        request.words[k] = args.U32(k);
    if (args.Faulted() || request.words[2] == 0)
        return 0;
    request.title = OptionalText(args, 0);
    request.folder = OptionalText(args, 1);
    if (args.Faulted() || args.Memory().Span(request.words[2], 1) == nullptr) {
        args.MarkFault();
        return 0;
    }
    if (!SendScriptRequest(&request))
        return 0;
    if (request.answer != 0) {
        if (!Fits(args, request.words[2], request.answerText.size(), kDialogPathSize)) {
            args.MarkFault();
            return 0;
        }
        Store(args, request.words[2], request.answerText);
        AddPickedRoot(args, request.answerText, false);
    }
    args.Memory().Store32(args.Address(), static_cast<uint32_t>(request.answer));
    return static_cast<uint32_t>(request.answer);
}

uint32_t NativeSoundFormat(SobNativeArgs& args)
{
    ScriptRequest request;
    request.command = kScriptRequestSoundFormat;
    for (uint32_t k = 0; k < 4; ++k)
        request.words[k] = args.U32(k);
    if (args.Faulted())
        return 0;
    request.formatGiven = request.words[0] != 0;
    request.rateCode = static_cast<int32_t>(request.words[1]);
    request.channels = static_cast<int32_t>(request.words[2]);
    request.bits = static_cast<int32_t>(request.words[3] & 0xFF);
    request.answer = static_cast<int32_t>(request.words[0]);
    if (!SendScriptRequest(&request))
        return request.words[0];
    args.Memory().Store32(args.Address(), static_cast<uint32_t>(request.answer));
    uint8_t* user = g_pGameApp != nullptr ? g_pGameApp->GetUserBlock() : nullptr;
    if (request.answer >= 1 && user != nullptr && user[kUserBlockWarnNoSound] != 0) {
        // The tick means "do not show again": the byte is its opposite.
        uint8_t check = user[kUserBlockWarnNoSound];
        g_pGameApp->RequestMessageDialog(winapi::Sjis("サウンドカードが正常に接続されていないか\n"
                                                      "対応していないため、DirectSoundを利用できません。\n"
                                                      "サウンドを再生できません。"),
                                         1, &check, nullptr, 1);
        user[kUserBlockWarnNoSound] = check != 0 ? 0 : 1;
    }
    return static_cast<uint32_t>(request.answer);
}
