// The movie libraries' holders (see movie_library.h).
#include "files/movie_library.h"

#include <cstdio>
#include <new>

#include "files/path_utils.h"

CMovieLibrary* g_pMovieSpriteLibrary = nullptr;
CMovieLibrary* g_pMoviePrimitiveLibrary = nullptr;
CMovieLibrary* g_pMovieWindowLibrary = nullptr;

namespace {

struct KindRow {
    const char* fileName;
    const char* factory;
    CMovieLibrary** global;
};
const KindRow kKinds[] = {
    {"DS_SPRITE.DLL", "GetDShowGdiSpriteCtrl", &g_pMovieSpriteLibrary},
    {"DS_PRIM.DLL", "GetDShowPrimCtrl", &g_pMoviePrimitiveLibrary},
    {"DS_MOVIE.DLL", "GetMovieObject", &g_pMovieWindowLibrary},
};

const KindRow& Row(MovieLibraryKind kind)
{
    return kKinds[static_cast<int>(kind)];
}

} // namespace

CMovieLibrary::~CMovieLibrary()
{
    if (*Row(kind).global == this)
        *Row(kind).global = nullptr;
    if (module != nullptr)
        FreeLibrary(module);
}

CMovieLibrary* LoadMovieLibrary(const char* folder, MovieLibraryKind kind)
{
    auto* library = new (std::nothrow) CMovieLibrary;
    if (library == nullptr)
        return nullptr;
    library->kind = kind;
    char path[MAX_PATH];
    char full[MAX_PATH];
    const int length = std::snprintf(path, sizeof path, "%s%s", folder != nullptr ? folder : "", Row(kind).fileName);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path || MakeFullPath(full, path, nullptr) == 0)
        return library;
    HMODULE module = LoadLibraryA(full);
    if (module == nullptr)
        return library;
    auto version = reinterpret_cast<MovieLibraryVersionProc>(GetProcAddress(module, "GetDllVersion"));
    FARPROC factory = GetProcAddress(module, Row(kind).factory);
    if (version == nullptr || factory == nullptr || version() != kMovieLibraryVersion) {
        FreeLibrary(module);
        return library;
    }
    library->module = module;
    library->version = version;
    library->factory = factory;
    return library;
}

void PublishMovieLibrary(MovieLibraryKind kind, CMovieLibrary* library)
{
    *Row(kind).global = library != nullptr && library->module != nullptr ? library : nullptr;
}
