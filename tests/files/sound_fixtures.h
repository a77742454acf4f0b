// Sounds for the decoder tests, made by tools nobody here wrote: sox synthesises PCM WAVs and
// oggenc encodes them; libvorbisfile itself gives the reference PCM of each Ogg file.
#pragma once

#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "files/temp_folder.h"

namespace sound_test {

inline bool Run(const std::string& command)
{
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A command's standard output as bytes.
inline std::string Capture(const std::string& command)
{
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// One synthesised sound: sox's arguments after "-n", and the file stem.
struct Sound {
    const char* stem;
    const char* rate;
    int channels;
    const char* synth; // sox effects
};

// Tones, noise and silence; mono and stereo; 8, 22.05, 44.1 and 48 kHz; a 20-sample sound.
inline const std::vector<Sound>& Sounds()
{
    static const std::vector<Sound> sounds = {
        {"tone8k", "8000", 1, "synth 0.6 sine 440"},
        {"noise22k", "22050", 2, "synth 0.4 whitenoise vol 0.5"},
        {"silence44k", "44100", 2, "trim 0 0.25"},
        {"sweep48k", "48000", 1, "synth 0.5 sine 200-4000"},
        {"tiny", "44100", 1, "synth 20s sine 1000"},
    };
    return sounds;
}

// Writes every sound as STEM.wav and STEM.ogg into dir, plus "chain.ogg" (two oggenc outputs
// joined) → false when a tool failed.
inline bool MakeSounds(const TempFolder& dir)
{
    for (const Sound& s : Sounds()) {
        const std::string wav = dir.Linux(std::string(s.stem) + ".wav");
        const std::string ogg = dir.Linux(std::string(s.stem) + ".ogg");
        if (!Run("sox -n -r " + std::string(s.rate) + " -c " + std::to_string(s.channels) + " -b 16 '" + wav + "' " +
                 s.synth) ||
            !Run("oggenc -Q -q 3 '" + wav + "' -o '" + ogg + "'"))
            return false;
    }
    if (!Run("sox -n -r 44100 -c 2 -b 16 '" + dir.Linux("chainB.wav") + "' synth 0.3 pinknoise vol 0.4") ||
        !Run("oggenc -Q -q 1 '" + dir.Linux("chainB.wav") + "' -o '" + dir.Linux("chainB.ogg") + "'") ||
        !Run("sox -n -r 44100 -c 2 -b 16 '" + dir.Linux("chainA.wav") + "' synth 0.35 sine 300") ||
        !Run("oggenc -Q -q 3 '" + dir.Linux("chainA.wav") + "' -o '" + dir.Linux("chainA.ogg") + "'"))
        return false;
    dir.Write("chain.ogg", dir.Read("chainA.ogg") + dir.Read("chainB.ogg"));
    return true;
}

// The Ogg files MakeSounds writes.
inline std::vector<std::string> OggNames()
{
    std::vector<std::string> names;
    for (const Sound& s : Sounds())
        names.push_back(std::string(s.stem) + ".ogg");
    names.push_back("chain.ogg");
    return names;
}

// Equal PCM, or where they first differ (the blocks are too long to print).
inline ::testing::AssertionResult SamePcm(const std::string& ours, const std::string& reference)
{
    if (ours == reference)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < ours.size() && at < reference.size() && ours[at] == reference[at])
        ++at;
    return ::testing::AssertionFailure() << "ours " << ours.size() << " bytes, reference " << reference.size()
                                         << " bytes, first difference at byte " << at;
}

// libvorbisfile's own decoding of a file: 16-bit signed little-endian PCM and the stream facts.
struct Reference {
    bool ok = false;
    std::string pcm;
    int channels = 0;
    long rate = 0;
    int64_t samples = 0;
    double seconds = 0;
};

inline Reference DecodeReference(const std::string& path)
{
    Reference r;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0)
        return r;
    r.channels = ov_info(&vf, -1)->channels;
    r.rate = ov_info(&vf, -1)->rate;
    r.samples = ov_pcm_total(&vf, -1);
    r.seconds = ov_time_total(&vf, -1);
    char buffer[4096];
    int link = 0;
    long n;
    // A hole (OV_HOLE, as between chained links) is skipped as libvorbisfile's own players do.
    while ((n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &link)) > 0 || n == OV_HOLE)
        r.pcm.append(buffer, static_cast<size_t>(n > 0 ? n : 0));
    r.ok = n == 0;
    ov_clear(&vf);
    return r;
}

// The reference's PCM after ov_time_seek to ms (bytes at most), and its position then (ms).
inline std::string ReferenceAfterSeek(const std::string& path, int ms, size_t bytes, long* positionMs)
{
    std::string pcm;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0)
        return pcm;
    if (ov_time_seek(&vf, ms * 0.001) == 0) {
        *positionMs = std::lround(ov_time_tell(&vf) * 1000.0);
        char buffer[4096];
        int link = 0;
        long n;
        while (pcm.size() < bytes && (n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &link)) > 0)
            pcm.append(buffer, static_cast<size_t>(n));
        pcm.resize(std::min(pcm.size(), bytes));
    }
    ov_clear(&vf);
    return pcm;
}

// The sound tests' base: the sounds, made once per test program; in each test their folder is
// the base folder, with a file manager (KPK decoder registered) and a sound manager holding the
// built-in Ogg decoder.
class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempFolder;
        s_made = MakeSounds(*s_dir);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_made) << "sox, oggenc or the KPK packer failed";
        ASSERT_EQ(SetBaseFolder(s_dir->Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
        ASSERT_EQ(RegisterOggDecoder(sll), 0);
    }
    void TearDown() override
    {
        g_pFileManager = nullptr;
        g_pSllManager = nullptr;
    }

    static inline TempFolder* s_dir = nullptr;
    static inline bool s_made = false;
    CFileManager files;
    CSllManager sll;
};

} // namespace sound_test
