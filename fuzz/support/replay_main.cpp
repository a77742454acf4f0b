// Replays a seed corpus through a fuzz harness without libFuzzer: every file named on the
// command line, or found in a folder named there, is passed once to LLVMFuzzerTestOneInput.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

int main(int argc, char** argv)
{
    int failures = 0;
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    failures += RunFile(entry.path());
                    ++count;
                }
            }
        } else {
            failures += RunFile(path);
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "replay: no seeds found\n");
        return 1;
    }
    std::printf("replayed %zu seeds\n", count);
    return failures ? 1 : 0;
}
