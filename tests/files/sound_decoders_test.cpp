// Sound decoders: the built-in Ogg decoder over the wuvorbis module decodes exactly what
// libvorbisfile gives (loose files streamed and in memory, raw KPK entries), seeks like it, and
// survives broken modules and files; the SLL manager's plug-ins, lookup order and codes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "files/sound_fixtures.h"
#include "winapi/kernel.h"

namespace {

using sound_test::DecodeReference;
using sound_test::Reference;

// Reads a decode stream in pieces of `piece` bytes until it reports its end (a hole between
// chained links answers a short read without the end).
std::string ReadAll(CDecodeStream& stream, DWORD piece)
{
    std::string out;
    std::vector<char> buffer(piece);
    for (int empty = 0; !stream.IsEnd() && empty < 100;) {
        const DWORD n = stream.Read(buffer.data(), piece);
        out.append(buffer.data(), n);
        empty = n == 0 ? empty + 1 : 0;
    }
    return out;
}

struct StreamDeleter {
    void operator()(CDecodeStream* s) const { delete s; }
};
using StreamPtr = std::unique_ptr<CDecodeStream, StreamDeleter>;

int Tool(const std::string& arguments)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + arguments;
    return sound_test::Run(command) ? 0 : 1;
}

class SoundDecoders : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempFolder;
        s_made = sound_test::MakeSounds(*s_dir);
        if (s_made) {
            // The archive holds the Ogg files as "kpk\NAME", a path no loose file answers.
            sound_test::Run("mkdir -p '" + s_dir->Linux("pack/kpk") + "' && cp '" + s_dir->Linux("") + "'*.ogg '" +
                            s_dir->Linux("pack/kpk") + "'");
            s_made = Tool("kpk pack '" + s_dir->Linux("SOUND.KPK") + "' '" + s_dir->Linux("pack") + "'") == 0;
        }
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
    void TearDown() override { g_pFileManager = nullptr; }

    static inline TempFolder* s_dir = nullptr;
    static inline bool s_made = false;
    CFileManager files;
    CSllManager sll;
};

} // namespace

TEST_F(SoundDecoders, OggDecodesExactlyAsLibvorbisfileFromEverySource)
{
    ASSERT_EQ(files.Mount("SOUND.KPK", -2, false, true, nullptr), 0);
    {
        CFileStream raw; // the archive stores the entries raw: they stream from the archive file
        ASSERT_EQ(raw.Open("kpk\\tone8k.ogg"), 0u);
        EXPECT_EQ(raw.GetBuffer(), nullptr);
    }
    enum Source { kStreamed, kStreamOff, kKpkEntry };
    for (const std::string& name : sound_test::OggNames()) {
        const Reference ref = DecodeReference(s_dir->Linux(name));
        ASSERT_TRUE(ref.ok) << name;
        for (Source source : {kStreamed, kStreamOff, kKpkEntry}) {
            SCOPED_TRACE(name + " source " + std::to_string(source));
            sll.SetStreamOff(source == kStreamOff);
            const std::string path = source == kKpkEntry ? "kpk\\" + name : name;
            int code = -1;
            StreamPtr stream(sll.Open(path.c_str(), nullptr, true, &code));
            ASSERT_NE(stream, nullptr);
            EXPECT_EQ(code, 0);
            const WAVEFORMATEX* f = stream->GetFormat();
            EXPECT_EQ(+f->wFormatTag, WAVE_FORMAT_PCM);
            EXPECT_EQ(+f->nChannels, ref.channels);
            EXPECT_EQ(static_cast<long>(+f->nSamplesPerSec), ref.rate);
            EXPECT_EQ(+f->nBlockAlign, ref.channels * 2);
            EXPECT_EQ(+f->wBitsPerSample, 16);
            EXPECT_EQ(+f->nAvgBytesPerSec, +(f->nBlockAlign * f->nSamplesPerSec));
            EXPECT_EQ(+f->cbSize, 0);
            EXPECT_EQ(stream->GetLength(), static_cast<DWORD>(ref.seconds * 1000));
            EXPECT_EQ(stream->GetTotalBytes(), ref.samples * ref.channels * 2);
            // Odd piece sizes split samples across reads.
            EXPECT_TRUE(sound_test::SamePcm(ReadAll(*stream, source == kStreamOff ? 4096 : 1001), ref.pcm));
            EXPECT_TRUE(stream->IsEnd());
        }
    }
}
