// Natives 632-651: one movie at a time, played as a movie primitive, a movie sprite or the window
// movie. Each native tries them in that order (the window movie under the game's movie lock) and
// answers what the table in docs/natives.md says when none is open.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

class CMoviePrimitive;
class CMovieSprite;

// The movie globals besides g_pMovie (display/movie_object.h); at most one of the three is set.
extern CMoviePrimitive* g_pMoviePrimitive;
extern CMovieSprite* g_pMovieSprite;

// Deletes the three movies (the movie-playing byte cleared).
void CloseMovies();
// Sets the volume (0..256) of whichever movie is open (the window movie, the primitive, the
// sprite, tried in that order) under the game's movie lock, from any thread → the movie's result,
// or -2 when none is open.
int SetOpenMovieVolume(int volume);

uint32_t NativeMovieOpen(SobNativeArgs& args);        // 632
uint32_t NativeMovieClose(SobNativeArgs& args);       // 633
uint32_t NativeMovieLoop(SobNativeArgs& args);        // 634
uint32_t NativeMoviePlay(SobNativeArgs& args);        // 635
uint32_t NativeMovieStop(SobNativeArgs& args);        // 636
uint32_t NativeMovieControlA(SobNativeArgs& args);    // 637
uint32_t NativeMovieControlB(SobNativeArgs& args);    // 638
uint32_t NativeMovieRect(SobNativeArgs& args);        // 639
uint32_t NativeMoviePosition(SobNativeArgs& args);    // 640
uint32_t NativeMovieWidth(SobNativeArgs& args);       // 641
uint32_t NativeMovieHeight(SobNativeArgs& args);      // 642
uint32_t NativeMovieSeek(SobNativeArgs& args);        // 643
uint32_t NativeMovieDuration(SobNativeArgs& args);    // 644
uint32_t NativeMovieState(SobNativeArgs& args);       // 645
uint32_t NativeMovieVolume(SobNativeArgs& args);      // 646
uint32_t NativeMovieQuery(SobNativeArgs& args);       // 647
uint32_t NativeMovieSet(SobNativeArgs& args);         // 648
uint32_t NativeMovieDoubleA(SobNativeArgs& args);     // 649
uint32_t NativeMovieDoubleB(SobNativeArgs& args);     // 650
uint32_t NativeMovieSprite(SobNativeArgs& args);      // 651
