// The engine executable's entry: the command line, the built-in modules, the application and the
// process's exit status.
#pragma once

#include <string>

// The exit status when the arguments are wrong (the usage went to stderr).
constexpr int kExitUsage = 2;
// Added to the game thread's code when an error ended the game.
constexpr int kExitGameError = 20;

// The game's command line for argument (null: none): a folder becomes "/L" + its "Z:\" path +
// "\", a "/L..." argument passes as given → false when the folder does not exist or has no
// Shift-JIS form.
bool GameCommandLine(const char* argument, std::string* commandLine);

// Runs the game as `tessaro [GAME FOLDER]` → the process's exit status: the start-up's code
// when it failed, kExitGameError + the game thread's code when an error ended the game, 2 for
// bad arguments, else 0.
int GameMain(int argc, char** argv);
