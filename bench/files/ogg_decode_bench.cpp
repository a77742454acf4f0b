// Ogg Vorbis decoding through COggStream::Read, from a loose file and from a raw KPK entry, against
// libvorbisfile's own ov_fopen + ov_read on the same file (goal: ratio >= 0.95). The sound is 20
// seconds of 44.1 kHz stereo made by sox and oggenc; counters also give our MB/s of PCM.
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "authoring/kpk_writer.h"
#include "contest.h"
#include "bench_folder.h"
#include "files/ogg_decoder.h"
#include "files/sll_manager.h"

namespace {

constexpr DWORD kPiece = 32768;

struct Setup {
    files_bench::BenchFolder scratch{"ogg"};
    const std::string& folder = scratch.folder;
    bool ok = false;
    CSllManager sounds;
    Setup()
    {
        const std::string wav = folder + "/music.wav";
        const std::string ogg = folder + "/music.ogg";
        const std::string make = "sox -n -r 44100 -c 2 -b 16 '" + wav +
                                 "' synth 20 sine 110-880 pinknoise vol 0.4 >/dev/null 2>&1 && oggenc -Q -q 5 '" +
                                 wav + "' -o '" + ogg + "' >/dev/null 2>&1";
        std::vector<BYTE> bytes;
        if (std::system(make.c_str()) != 0 || !ReadWholeFile(ogg, &bytes))
            return;
        std::string error;
        if (!WriteKpkArchive(folder + "/MUSIC.KPK", {{"bgm\\music2.ogg", bytes}}, KpkWriterOptions(), &error))
            return;
        ok = scratch.files.Mount("MUSIC.KPK", -2, false, true, nullptr) == 0 && RegisterOggDecoder(sounds) == 0;
    }
};

Setup& Shared()
{
    static Setup setup;
    return setup;
}

size_t DecodeOurs(const char* name)
{
    static std::vector<char> buffer(kPiece);
    CDecodeStream* stream = Shared().sounds.Open(name, nullptr, true, nullptr);
    size_t total = 0;
    while (stream != nullptr && !stream->IsEnd())
        total += stream->Read(buffer.data(), kPiece);
    delete stream;
    return total;
}

size_t DecodePeer(const std::string& path)
{
    static std::vector<char> buffer(kPiece);
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0)
        return 0;
    size_t total = 0;
    int link = 0;
    long n;
    while ((n = ov_read(&vf, buffer.data(), kPiece, 0, 2, 1, &link)) > 0)
        total += static_cast<size_t>(n);
    ov_clear(&vf);
    return total;
}

void Decode(benchmark::State& state, const char* name)
{
    Setup& s = Shared();
    if (!s.ok) {
        state.SkipWithError("sox, oggenc or the archive failed");
        return;
    }
    size_t bytes = 0;
    bench::Contest(
        state, [&] { bytes = DecodeOurs(name); }, [&] { benchmark::DoNotOptimize(DecodePeer(s.folder + "/music.ogg")); },
        bench::Goal{.ratio = 0.95}, 5);
    state.counters["ours_MBps"] = bytes / 1e6 / (state.counters["ours_ms"] / 1000);
}

void BM_OggDecodeLooseFile(benchmark::State& state)
{
    Decode(state, "music.ogg");
}
void BM_OggDecodeKpkEntry(benchmark::State& state)
{
    Decode(state, "bgm\\music2.ogg");
}

} // namespace

BENCHMARK(BM_OggDecodeLooseFile)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OggDecodeKpkEntry)->Iterations(1)->Unit(benchmark::kMillisecond);
