// The demo benchmark's peer as a program of its own, for its peak memory: a plain SDL program that
// decodes a PNG with libpng, opens an 800x600 window on SDL's offscreen driver and presents the
// picture, then prints its own peak resident memory (VmHWM, kB). Usage: sdl_title_peer PNG.
// It judges nothing itself: demo_bench's DemoPlayPeakMemory runs it beside the game and reports
// the contest in the same run (ours_mb, peer_mb, the `ratio` peer / ours of the peaks and its goal).
#include <SDL.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1]))
        return 1;
    image.format = PNG_FORMAT_BGRA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return 1;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_Window* window = SDL_CreateWindow("peer", 0, 0, 800, 600, SDL_WINDOW_SHOWN);
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), static_cast<int>(image.width),
                                                              static_cast<int>(image.height), 32,
                                                              static_cast<int>(image.width) * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* surface = window != nullptr ? SDL_GetWindowSurface(window) : nullptr;
    const bool ok = picture != nullptr && surface != nullptr && SDL_BlitSurface(picture, nullptr, surface, nullptr) == 0 &&
                    SDL_UpdateWindowSurface(window) == 0;
    long peak = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                peak = std::strtol(line + 6, nullptr, 10);
        std::fclose(status);
    }
    SDL_FreeSurface(picture);
    if (window != nullptr)
        SDL_DestroyWindow(window);
    SDL_Quit();
    if (!ok)
        return 1;
    std::printf("%ld\n", peak);
    return 0;
}
