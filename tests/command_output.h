// What a shell command prints, for tests that compare with the machine's own tools.
#pragma once

#include <cstdio>
#include <string>

// The command's standard output; with trim, the trailing newlines and blanks are cut.
inline std::string CommandOutput(const std::string& command, bool trim = true)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    while (trim && !out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}
