// Entry point of the engine executable: `tessaro [GAME FOLDER]`.
#include "game/game_main.h"

int main(int argc, char** argv)
{
    return GameMain(argc, argv);
}
