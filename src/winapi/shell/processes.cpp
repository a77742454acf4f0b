// Starting programs; see winapi/shell.h. The process handle is a waitable thread handle whose
// thread waits for the child, so it is signalled when the child ends and may be closed at any time.
#include <spawn.h>
#include <sys/wait.h>

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "winapi/host_headless.h"
#include "winapi/shell.h"
#include "winapi/text.h"

extern char** environ;

namespace winapi {

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    // 2n backslashes and a quote: n backslashes, the quote toggles; 2n+1: n and a quote.
                    word.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        word += '"';
                        ++i;
                    }
                } else {
                    word.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                // A doubled quote inside quotes is a quote.
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    word += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            // A Shift-JIS character's second byte is never a quote, blank or backslash.
            if (IsSjisLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < n) {
                word.append(line, i, 2);
                i += 2;
                continue;
            }
            word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

namespace {

DWORD WINAPI WaitForChild(LPVOID parameter)
{
    const auto pid = static_cast<pid_t>(reinterpret_cast<intptr_t>(parameter));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status)) : 1;
}

// A program word as a path to run: Windows paths are resolved on drive Z:, bare names go to PATH.
std::string ProgramPath(const std::string& word)
{
    if (word.find('\\') != std::string::npos || word.find(':') != std::string::npos) {
        std::string linux;
        return ResolvePath(word.c_str(), &linux) ? linux : std::string();
    }
    return SjisToUtf8(word);
}

bool EqualsNoCase(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

} // namespace

} // namespace winapi

BOOL WINAPI CreateProcessA(LPCSTR, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                           LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION info)
{
    if (commandLine == nullptr || info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string line = commandLine;
    const std::vector<std::string> words = winapi::SplitCommandLine(line);
    if (words.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::string> argv;
    if (winapi::EqualsNoCase(words[0], "explorer") || winapi::EqualsNoCase(words[0], "explorer.exe")) {
        // The folder is the rest of the line as it stands (it is not quoted).
        const size_t gap = line.find_first_of(" \t", line.find_first_not_of(" \t"));
        std::string folder = gap == std::string::npos ? std::string() : line.substr(gap);
        folder.erase(0, std::min(folder.find_first_not_of(" \t\""), folder.size()));
        while (!folder.empty() && (folder.back() == ' ' || folder.back() == '"'))
            folder.pop_back();
        std::string linux;
        if (folder.empty() || !winapi::ResolvePath(folder.c_str(), &linux)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
        argv = {"xdg-open", linux};
    } else {
        const std::string program = winapi::ProgramPath(words[0]);
        if (program.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        argv.push_back(program);
        for (size_t i = 1; i < words.size(); ++i)
            argv.push_back(winapi::SjisToUtf8(words[i]));
    }
    std::vector<char*> pointers;
    for (std::string& word : argv)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0].c_str(), nullptr, nullptr, pointers.data(), environ) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    DWORD threadId = 0;
    info->hProcess = CreateThread(nullptr, 0, winapi::WaitForChild, reinterpret_cast<LPVOID>(static_cast<intptr_t>(pid)), 0,
                                  &threadId);
    info->hThread = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = threadId;
    return TRUE;
}

DWORD WINAPI WaitForInputIdle(HANDLE, DWORD)
{
    return 0;
}

namespace {

std::mutex g_openedMutex;
std::vector<std::string> g_opened;

bool HasScheme(const char* text, const char* scheme)
{
    return strncasecmp(text, scheme, std::strlen(scheme)) == 0;
}

} // namespace

std::vector<std::string> winapi::ShellOpenedTargets()
{
    std::lock_guard<std::mutex> lock(g_openedMutex);
    return g_opened;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR, LPCSTR, INT)
{
    const auto answer = [](intptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
    if (file == nullptr || *file == 0)
        return answer(SE_ERR_FNF);
    if (operation != nullptr && strcasecmp(operation, "open") != 0)
        return answer(SE_ERR_ACCESSDENIED);
    std::string target;
    if (HasScheme(file, "http:") || HasScheme(file, "https:") || HasScheme(file, "mailto:")) {
        target = winapi::SjisToUtf8(file);
    } else if (!winapi::ResolvePath(file, &target) || access(target.c_str(), F_OK) != 0) {
        return answer(SE_ERR_FNF);
    }
    if (winapi::CurrentHeadlessHost() != nullptr) {
        std::lock_guard<std::mutex> lock(g_openedMutex);
        g_opened.push_back(target);
        return answer(42);
    }
    std::string program = "xdg-open";
    char* argv[] = {program.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return answer(SE_ERR_NOASSOC);
    // The waiting thread reaps the child; its handle is not needed.
    HANDLE waiter = CreateThread(nullptr, 0, winapi::WaitForChild, reinterpret_cast<LPVOID>(static_cast<intptr_t>(pid)), 0, nullptr);
    if (waiter != nullptr)
        CloseHandle(waiter);
    return answer(42);
}
