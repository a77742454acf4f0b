#include "authoring/file_io.h"

#include <filesystem>
#include <fstream>

#include "winapi/kernel.h"
#include "winapi/text.h"

bool ReadWholeFile(const std::string& path, std::vector<BYTE>* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, const BYTE* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

std::string WindowsPathOf(const std::string& linuxPath)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(linuxPath, error);
    return winapi::WindowsPathFromLinux(error ? linuxPath : absolute.lexically_normal().string());
}

bool SjisName(const std::string& utf8, std::string* sjis, std::string* error)
{
    if (winapi::Utf8ToSjisChecked(utf8, sjis))
        return true;
    if (error != nullptr)
        *error = "no Shift-JIS form: " + utf8;
    return false;
}

bool CheckedWindowsPathOf(const std::string& linuxPath, std::string* out, std::string* error)
{
    if (!SjisName(linuxPath, nullptr, error))
        return false;
    *out = WindowsPathOf(linuxPath);
    return true;
}
