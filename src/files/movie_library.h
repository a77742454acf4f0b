// The movie libraries' holders: "DS_SPRITE.DLL" (movies drawn as scene sprites), "DS_PRIM.DLL"
// (movies drawn as primitives) and "DS_MOVIE.DLL" (movies played into a window), loaded from the
// program folder at start-up. The movie wrappers open a movie only while their kind's holder is
// published.
#pragma once

#include "winapi/kernel.h"

enum class MovieLibraryKind { Sprite, Primitive, Window };

// The version a library's GetDllVersion must answer.
constexpr uint32_t kMovieLibraryVersion = 0x10000;
using MovieLibraryVersionProc = uint32_t (*)();

class CMovieLibrary {
public:
    CMovieLibrary() = default;
    CMovieLibrary(const CMovieLibrary&) = delete;
    CMovieLibrary& operator=(const CMovieLibrary&) = delete;
    // Frees the module; when this holder is published, its global is cleared first.
    ~CMovieLibrary();

    MovieLibraryKind kind = MovieLibraryKind::Sprite;
    HMODULE module = nullptr;               // null: the library is not usable
    MovieLibraryVersionProc version = nullptr;
    FARPROC factory = nullptr;              // GetDShowGdiSpriteCtrl, GetDShowPrimCtrl or GetMovieObject
};

// Loads folder + the kind's file name (made full). Always answers a holder; it has no module when
// the path cannot be made, the library does not load, an export is missing or the version is not
// kMovieLibraryVersion. Null only when the holder itself cannot be allocated.
CMovieLibrary* LoadMovieLibrary(const char* folder, MovieLibraryKind kind);

// The published holders (null while a kind is unavailable).
extern CMovieLibrary* g_pMovieSpriteLibrary;
extern CMovieLibrary* g_pMoviePrimitiveLibrary;
extern CMovieLibrary* g_pMovieWindowLibrary;
// The kind's global := library when it has a module, else null.
void PublishMovieLibrary(MovieLibraryKind kind, CMovieLibrary* library);
