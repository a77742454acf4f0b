// Entry point of the engine executable. The game layer is not built yet: say so plainly and exit 2,
// so that scripts and players never mistake this for a run.
#include <cstdio>

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::fprintf(stderr, "tessaro: this build cannot run a game yet (the game layer is not built).\n");
    return 2;
}
