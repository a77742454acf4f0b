// Subcommands of tessaro-tool. Each cmd_*.cpp file registers its commands with one
// TESSARO_TOOL_COMMAND line; main() lists and dispatches them.
#pragma once

#include <vector>

struct ToolCommand {
    const char* name;   // e.g. "kpk"; the first word after tessaro-tool
    const char* usage;  // one or more lines shown by `tessaro-tool help`
    // argv[0] is the command's name → the exit code, or a negative number for bad arguments
    // (main then prints the usage and exits with 2).
    int (*run)(int argc, char** argv);
};

std::vector<ToolCommand>& ToolCommands();

struct ToolCommandRegistrar {
    explicit ToolCommandRegistrar(const ToolCommand& command) { ToolCommands().push_back(command); }
};

#define TESSARO_TOOL_CONCAT2(a, b) a##b
#define TESSARO_TOOL_CONCAT(a, b) TESSARO_TOOL_CONCAT2(a, b)
#define TESSARO_TOOL_COMMAND(name, usage, run) \
    static const ToolCommandRegistrar TESSARO_TOOL_CONCAT(toolCommand_, __LINE__)({name, usage, run})
