// tessaro-tool: authoring tools for test data and games (archives, images, scripts).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "command.h"

std::vector<ToolCommand>& ToolCommands()
{
    static std::vector<ToolCommand> commands;
    return commands;
}

static void PrintUsage(FILE* out)
{
    auto commands = ToolCommands();
    std::sort(commands.begin(), commands.end(),
              [](const ToolCommand& a, const ToolCommand& b) { return std::strcmp(a.name, b.name) < 0; });
    std::fprintf(out, "usage: tessaro-tool COMMAND [ARGS...]\n\ncommands:\n");
    for (const ToolCommand& command : commands)
        std::fprintf(out, "%s\n", command.usage);
}

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const ToolCommand& command : ToolCommands()) {
        if (std::strcmp(command.name, argv[1]) != 0)
            continue;
        const int code = command.run(argc - 1, argv + 1);
        if (code >= 0)
            return code;
        // A command answers a negative code for arguments it cannot use.
        std::fprintf(stderr, "usage: tessaro-tool %s ...\n%s\n", command.name, command.usage);
        return 2;
    }
    std::fprintf(stderr, "tessaro-tool: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
