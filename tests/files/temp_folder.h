// A fresh folder under the temporary folder for one test, removed with everything in it at the
// end; gives its Linux path and its Windows path ("Z:\...\").
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-XXXXXX").string();
        m_linux = mkdtemp(pattern.data()) ? pattern : std::string();
        m_windows = "Z:" + m_linux;
        for (char& c : m_windows)
            if (c == '/')
                c = '\\';
        m_windows += '\\';
    }
    ~TempFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_linux, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Linux() const { return m_linux; }
    const std::string& Windows() const { return m_windows; }
    std::string Linux(const std::string& relative) const { return m_linux + "/" + relative; }
    std::string Windows(const std::string& relative) const { return m_windows + relative; }

    // Writes a file (folders made as needed) below the folder; relative uses '/'.
    void Write(const std::string& relative, const std::string& bytes) const
    {
        std::filesystem::path path = Linux(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& relative) const
    {
        std::ifstream in(Linux(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& relative) const { return std::filesystem::exists(Linux(relative)); }

private:
    std::string m_linux;
    std::string m_windows;
};
