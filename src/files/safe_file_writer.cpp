#include "files/safe_file_writer.h"

#include <string>

#include "files/path_utils.h"
#include "winapi/kernel.h"

int WriteFileReplacing(const char* name, const void* data, size_t size)
{
    if (name == nullptr || (data == nullptr && size != 0) || size > 0xFFFFFFFFu)
        return 1;
    char path[MAX_PATH], temp[MAX_PATH];
    const std::string tempName = std::string(name) + ".tmp";
    if (MakeFullPath(path, name, nullptr) == 0 || MakeFullPath(temp, tempName.c_str(), nullptr) == 0)
        return 1;
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    const bool ok = (size == 0 || WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr)) &&
                    written == size && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok || !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temp);
        return 3;
    }
    return 0;
}
