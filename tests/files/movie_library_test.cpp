// The movie libraries' holders: each kind loads its file from the folder with its factory export,
// and only a library answering version 0x10000 with both exports is usable and published.
#include "files/movie_library.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

uint32_t GoodVersion() { return kMovieLibraryVersion; }
uint32_t OldVersion() { return 0xFFFF; }
void Factory() {}

const winapi::BuiltinProc kSprite[] = {
    {"GetDllVersion", winapi::ToFarProc(&GoodVersion)},
    {"GetDShowGdiSpriteCtrl", winapi::ToFarProc(&Factory)},
};
const winapi::BuiltinProc kPrimOldVersion[] = {
    {"GetDllVersion", winapi::ToFarProc(&OldVersion)},
    {"GetDShowPrimCtrl", winapi::ToFarProc(&Factory)},
};
// The sprite factory under the window kind's file: its own factory export is missing.
const winapi::BuiltinProc kMovieWrongFactory[] = {
    {"GetDllVersion", winapi::ToFarProc(&GoodVersion)},
    {"GetDShowGdiSpriteCtrl", winapi::ToFarProc(&Factory)},
};

TEST(MovieLibraries, OnlyAWholeLibraryOfTheRightVersionIsUsable)
{
    ASSERT_TRUE(winapi::RegisterBuiltinModule("DS_SPRITE.DLL", kSprite, std::size(kSprite)));
    ASSERT_TRUE(winapi::RegisterBuiltinModule("DS_PRIM.DLL", kPrimOldVersion, std::size(kPrimOldVersion)));
    ASSERT_TRUE(winapi::RegisterBuiltinModule("DS_MOVIE.DLL", kMovieWrongFactory, std::size(kMovieWrongFactory)));
    struct Case {
        const char* name;
        MovieLibraryKind kind;
        bool usable;
        CMovieLibrary** global;
    } cases[] = {
        {"sprite", MovieLibraryKind::Sprite, true, &g_pMovieSpriteLibrary},
        {"primitive: old version", MovieLibraryKind::Primitive, false, &g_pMoviePrimitiveLibrary},
        {"window: no GetMovieObject", MovieLibraryKind::Window, false, &g_pMovieWindowLibrary},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CMovieLibrary> library(LoadMovieLibrary("Z:\\Game\\", c.kind));
        ASSERT_NE(library, nullptr) << c.name;
        EXPECT_EQ(library->module != nullptr, c.usable) << c.name;
        EXPECT_EQ(library->factory != nullptr, c.usable) << c.name;
        PublishMovieLibrary(c.kind, library.get());
        EXPECT_EQ(*c.global, c.usable ? library.get() : nullptr) << c.name;
        library.reset();
        EXPECT_EQ(*c.global, nullptr) << c.name << ": the holder clears its global";
    }
    std::unique_ptr<CMovieLibrary> library(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Sprite));
    EXPECT_EQ(library->version(), kMovieLibraryVersion);
    winapi::UnregisterBuiltinModule("DS_SPRITE.DLL");
    winapi::UnregisterBuiltinModule("DS_PRIM.DLL");
    winapi::UnregisterBuiltinModule("DS_MOVIE.DLL");
    // Missing (a Windows DLL on disk fails the same way), and a folder too long for a path.
    EXPECT_EQ(std::unique_ptr<CMovieLibrary>(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Sprite))->module, nullptr);
    const std::string longFolder = "Z:\\" + std::string(MAX_PATH, 'a') + "\\";
    EXPECT_EQ(std::unique_ptr<CMovieLibrary>(LoadMovieLibrary(longFolder.c_str(), MovieLibraryKind::Primitive))->module,
              nullptr);
}

} // namespace
