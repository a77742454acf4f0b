// Sound decoders: the built-in Ogg decoder over the wuvorbis module decodes exactly what
// libvorbisfile gives (loose files streamed and in memory, raw KPK entries), seeks like it, and
// survives broken modules and files; the SLL manager's plug-ins, lookup order and codes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "files/ogg_decoder.h"
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

class SoundDecoders : public sound_test::SoundTest {
protected:
    static void SetUpTestSuite()
    {
        SoundTest::SetUpTestSuite();
        if (s_made) {
            // The archive holds the Ogg files as "kpk\NAME", a path no loose file answers.
            sound_test::Run("mkdir -p '" + s_dir->Linux("pack/kpk") + "' && cp '" + s_dir->Linux("") + "'*.ogg '" +
                            s_dir->Linux("pack/kpk") + "'");
            s_made = Tool("kpk pack '" + s_dir->Linux("SOUND.KPK") + "' '" + s_dir->Linux("pack") + "'") == 0;
        }
    }
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

TEST_F(SoundDecoders, SeeksLandWhereLibvorbisfileLands)
{
    const int times[] = {1, 37, 100, 250, 333};
    for (const char* name : {"tone8k.ogg", "noise22k.ogg", "sweep48k.ogg", "chain.ogg"}) {
        const Reference ref = DecodeReference(s_dir->Linux(name));
        StreamPtr stream(sll.Open(name, nullptr, true, nullptr));
        ASSERT_NE(stream, nullptr) << name;
        const DWORD piece = 4000 * stream->GetFormat()->nBlockAlign / 4;
        for (int ms : times) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(ms));
            ASSERT_LT(static_cast<DWORD>(ms), stream->GetLength());
            long position = -1;
            const std::string expected = sound_test::ReferenceAfterSeek(s_dir->Linux(name), ms, piece, &position);
            ASSERT_EQ(stream->Seek(static_cast<DWORD>(ms)), 0);
            EXPECT_EQ(static_cast<long>(stream->GetPosition()), position);
            std::string got(piece, '\0');
            got.resize(stream->Read(got.data(), piece));
            EXPECT_TRUE(sound_test::SamePcm(got, expected));
        }
        // 0 rewinds to the first sample of the file (for a chained file libvorbisfile itself starts
        // a fresh open at the second link; its own seek to 0 gives every link).
        long position = -1;
        const std::string whole = sound_test::ReferenceAfterSeek(s_dir->Linux(name), 0, SIZE_MAX, &position);
        ASSERT_EQ(stream->Seek(0), 0);
        EXPECT_EQ(stream->GetPosition(), 0u);
        EXPECT_TRUE(sound_test::SamePcm(ReadAll(*stream, 4096), whole)) << name;
        if (std::string(name) != "chain.ogg") {
            EXPECT_EQ(whole, ref.pcm);
        }
    }
}

TEST_F(SoundDecoders, EndsAndRewinds)
{
    for (const char* name : {"tone8k.ogg", "tiny.ogg"}) {
        SCOPED_TRACE(name);
        const Reference ref = DecodeReference(s_dir->Linux(name));
        StreamPtr stream(sll.Open(name, nullptr, true, nullptr));
        ASSERT_NE(stream, nullptr);
        const DWORD length = stream->GetLength();
        EXPECT_EQ(stream->Seek(length), length == 0 ? 0 : 5);
        EXPECT_EQ(stream->Seek(length + 1000), 5);
        std::string all = ReadAll(*stream, 65536);
        EXPECT_TRUE(stream->IsEnd());
        char buffer[64];
        EXPECT_EQ(stream->Read(buffer, sizeof buffer), 0u);
        EXPECT_TRUE(stream->IsEnd());
        EXPECT_EQ(stream->Read(nullptr, 64), 0u);
        // Seek(0) rewinds also a sound shorter than a millisecond (length 0 used to answer 5).
        ASSERT_EQ(stream->Seek(0), 0);
        EXPECT_FALSE(stream->IsEnd());
        EXPECT_TRUE(sound_test::SamePcm(ReadAll(*stream, 64), ref.pcm));
        // A rest smaller than one sample frame is left unfilled without ending the sound.
        ASSERT_EQ(stream->Seek(0), 0);
        EXPECT_EQ(stream->Read(buffer, 1), 0u);
        EXPECT_FALSE(stream->IsEnd());
        EXPECT_EQ(stream->Read(buffer, 3), 2u);
    }
    StreamPtr tiny(sll.Open("tiny.ogg", nullptr, true, nullptr));
    EXPECT_EQ(tiny->GetLength(), 0u);
    EXPECT_EQ(tiny->GetTotalBytes(), DecodeReference(s_dir->Linux("tiny.ogg")).pcm.size());
}

TEST_F(SoundDecoders, DataThatIsNotOggIsRefusedAndRewound)
{
    s_dir->Write("bad.ogg", std::string(5000, 'x'));
    s_dir->Write("cut.ogg", s_dir->Read("tone8k.ogg").substr(0, 300));
    auto* decoder = sll.FindByType(2);
    ASSERT_NE(decoder, nullptr);
    for (const char* name : {"bad.ogg", "cut.ogg", "tone8k.wav"}) {
        auto* file = new CFileStream;
        ASSERT_EQ(file->Open(name), 0u);
        int code = -1;
        EXPECT_EQ(decoder->Open(file, &code), nullptr) << name;
        EXPECT_EQ(code, 1) << name;
        EXPECT_EQ(file->Tell(), 0u) << name;
        EXPECT_EQ(decoder->Open(file, nullptr), nullptr); // the out-code is optional
        file->Release();
    }
    int code = -1;
    EXPECT_EQ(sll.Open("bad.ogg", nullptr, true, &code), nullptr);
    EXPECT_EQ(code, SLL_NO_DECODER);
    EXPECT_EQ(sll.Open("missing.ogg", nullptr, true, &code), nullptr);
    EXPECT_EQ(code, SLL_CANNOT_OPEN);
    EXPECT_EQ(sll.Open("missing.ogg", nullptr, false, nullptr), nullptr);
}

namespace {

// A module table copied from the built-in one with one row changed: a missing entry point, a
// state size beyond the decoder's room, or a read that fails.
struct MockModule {
    std::vector<winapi::BuiltinProc> rows;
    explicit MockModule(const char* change, FARPROC proc)
    {
        HMODULE real = LoadLibraryA("wuvorbis.dll");
        for (const char* name :
             {"Query_sizeof_OggVorbis_File", "wu_ov_clear", "wu_ov_open_callbacks", "wu_ov_seekable",
              "wu_ov_pcm_total", "wu_ov_time_total", "wu_ov_raw_seek", "wu_ov_time_seek", "wu_ov_raw_tell",
              "wu_ov_pcm_tell", "wu_ov_time_tell", "wu_ov_info", "wu_ov_read", "wu_SetCPUType", "wu_DetectCPU"}) {
            if (std::strcmp(name, change) != 0)
                rows.push_back({name, GetProcAddress(real, name)});
            else if (proc != nullptr)
                rows.push_back({name, proc});
        }
        FreeLibrary(real);
        winapi::RegisterBuiltinModule("mockvorbis.dll", rows.data(), rows.size());
    }
    ~MockModule() { winapi::UnregisterBuiltinModule("mockvorbis.dll"); }
};

int TooLarge()
{
    return 961;
}

WuOvReadFunc g_realRead;
int g_reads;
// Delivers two pieces, then fails as a damaged stream does.
long FailingRead(void* state, char* buffer, int length, int bigEndian, int word, int sign, int* link)
{
    return ++g_reads <= 2 ? g_realRead(state, buffer, length < 256 ? length : 256, bigEndian, word, sign, link)
                          : -128; // OV_EREAD
}

} // namespace

TEST_F(SoundDecoders, AnIncompleteModuleLeavesTheDecoderWithoutLibrary)
{
    struct Case {
        const char* row;
        FARPROC proc;
    };
    const Case cases[] = {
        {"wu_ov_read", nullptr},
        {"wu_DetectCPU", nullptr},
        {"Query_sizeof_OggVorbis_File", nullptr},
        {"Query_sizeof_OggVorbis_File", winapi::ToFarProc(TooLarge)},
    };
    for (const Case& c : cases) {
        MockModule mock(c.row, c.proc);
        COggDecoder decoder("mockvorbis.dll");
        EXPECT_FALSE(decoder.HasLibrary()) << c.row;
        auto* file = new CFileStream;
        ASSERT_EQ(file->Open("tone8k.ogg"), 0u);
        int code = 0;
        EXPECT_EQ(decoder.Open(file, &code), nullptr);
        EXPECT_EQ(code, -2);
        file->Release();
    }
    // The built-in module answers whatever folder its name carries, and the real record size.
    HMODULE module = LoadLibraryA("Q:\\Program Files\\Game\\WUVORBIS.DLL");
    ASSERT_NE(module, nullptr);
    auto querySize = reinterpret_cast<WuQuerySizeFunc>(GetProcAddress(module, "Query_sizeof_OggVorbis_File"));
    ASSERT_NE(querySize, nullptr);
    EXPECT_EQ(querySize(), static_cast<int>(sizeof(OggVorbis_File)));
    FreeLibrary(module);
    COggDecoder missing("nowhere\\nothing.dll");
    EXPECT_FALSE(missing.HasLibrary());
    EXPECT_EQ(RegisterOggDecoder(sll), 0);
}

TEST_F(SoundDecoders, AFailingLibraryReadEndsTheSound)
{
    HMODULE real = LoadLibraryA("wuvorbis.dll");
    g_realRead = reinterpret_cast<WuOvReadFunc>(GetProcAddress(real, "wu_ov_read"));
    g_reads = 0;
    MockModule mock("wu_ov_read", winapi::ToFarProc(FailingRead));
    COggDecoder decoder("mockvorbis.dll");
    ASSERT_TRUE(decoder.HasLibrary());
    auto* file = new CFileStream;
    ASSERT_EQ(file->Open("noise22k.ogg"), 0u);
    StreamPtr stream(decoder.Open(file, nullptr));
    ASSERT_NE(stream, nullptr);
    std::string buffer(8192, '\0');
    // What was read before the failure is kept; the write position never moves back.
    EXPECT_EQ(stream->Read(buffer.data(), 8192), 512u);
    EXPECT_TRUE(stream->IsEnd());
    EXPECT_EQ(stream->Read(buffer.data(), 8192), 0u);
    const Reference ref = DecodeReference(s_dir->Linux("noise22k.ogg"));
    EXPECT_EQ(buffer.substr(0, 512), ref.pcm.substr(0, 512));
    FreeLibrary(real);
}

TEST_F(SoundDecoders, CallbacksStayInsideTheFile)
{
    auto* file = new CFileStream;
    ASSERT_EQ(file->Open("tone8k.ogg"), 0u);
    const DWORD size = file->GetSize();
    HMODULE real = LoadLibraryA("wuvorbis.dll");
    COggLibrary library = {};
    library.clear = reinterpret_cast<WuOvClearFunc>(GetProcAddress(real, "wu_ov_clear"));
    library.openCallbacks = reinterpret_cast<WuOvOpenCallbacksFunc>(GetProcAddress(real, "wu_ov_open_callbacks"));
    library.seekable = reinterpret_cast<WuOvSeekableFunc>(GetProcAddress(real, "wu_ov_seekable"));
    library.info = reinterpret_cast<WuOvInfoFunc>(GetProcAddress(real, "wu_ov_info"));
    library.timeTotal = reinterpret_cast<WuOvTimeTotalFunc>(GetProcAddress(real, "wu_ov_time_total"));
    library.pcmTotal = reinterpret_cast<WuOvPcmTotalFunc>(GetProcAddress(real, "wu_ov_pcm_total"));
    library.rawTell = reinterpret_cast<WuOvRawTellFunc>(GetProcAddress(real, "wu_ov_raw_tell"));
    auto* stream = new COggStream(library);
    ASSERT_EQ(stream->OpenFile(file), 0);
    char buffer[16];
    struct SeekCase {
        int64_t offset;
        int whence;
        int result;
        DWORD position;
    };
    const SeekCase seeks[] = {
        {10, 0, 0, 10},
        {5, 1, 0, 15},
        {-15, 1, 0, 0},
        {-1, 1, -1, 0},                      // before the start
        {0, 2, 0, size},
        {1, 2, -1, size},                    // past the end
        {-static_cast<int64_t>(size), 2, 0, 0},
        {int64_t{1} << 32, 0, -1, 0},        // used to wrap to 0
        {(int64_t{1} << 32) + 7, 0, -1, 0},  // used to wrap to 7
        {INT64_MAX, 1, -1, 0},
        {INT64_MIN, 2, -1, 0},
        {0, 3, -1, 0},                       // unknown origin
    };
    for (const SeekCase& c : seeks) {
        EXPECT_EQ(COggStream::SeekCallback(stream, c.offset, c.whence), c.result) << c.offset << " " << c.whence;
        EXPECT_EQ(COggStream::TellCallback(stream), static_cast<long>(c.position)) << c.offset << " " << c.whence;
    }
    // Size 0 used to divide by zero; a size × count beyond 32 bits is cut, never wrapped.
    EXPECT_EQ(COggStream::ReadCallback(buffer, 0, 16, stream), 0u);
    EXPECT_EQ(COggStream::ReadCallback(buffer, 4, 4, stream), 4u);
    EXPECT_EQ(COggStream::TellCallback(stream), 16);
    ASSERT_EQ(COggStream::SeekCallback(stream, 0, 0), 0);
    std::vector<char> whole(size);
    EXPECT_EQ(COggStream::ReadCallback(whole.data(), 1, (size_t{1} << 32) + 1, stream), size);
    // Without a data source every callback answers -1 (read: nothing).
    EXPECT_EQ(COggStream::ReadCallback(buffer, 1, 16, nullptr), 0u);
    EXPECT_EQ(COggStream::SeekCallback(nullptr, 0, 0), -1);
    EXPECT_EQ(COggStream::TellCallback(nullptr), -1);
    EXPECT_EQ(COggStream::CloseCallback(nullptr), -1);
    // A closed file reaches the library as -1, not as a position of 4 GB.
    file->Close();
    EXPECT_EQ(COggStream::TellCallback(stream), -1);
    delete stream; // clears the library's state, which releases the file through the close callback
    FreeLibrary(real);
}

namespace {

// A decoder that reads some of the data and refuses it without putting the file back, and
// remembers whether the file it was given was held in memory.
class GreedyDecoder : public CSoundDecoder {
public:
    CDecodeStream* Open(CFileStream* file, int* outCode) override
    {
        ++calls;
        inMemory = file->GetBuffer() != nullptr;
        char buffer[100];
        file->Read(buffer, sizeof buffer);
        if (outCode != nullptr)
            *outCode = 9;
        return nullptr;
    }
    int calls = 0;
    bool inMemory = false;
};

std::string Sox(const std::string& arguments)
{
    return sound_test::Capture("sox " + arguments);
}

std::string PluginFolder()
{
    return std::string(TESSARO_BINARY_DIR) + "/tests/files/plugins/sll";
}

} // namespace

TEST_F(SoundDecoders, ManagerAsksTheExtensionFirstThenEveryDecoderFromTheStart)
{
    auto* greedy = new GreedyDecoder;
    CSllManager manager;
    ASSERT_EQ(manager.Register(greedy, "OGG\0SND\0", "Greedy", 5, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(RegisterOggDecoder(manager), 0);
    EXPECT_EQ(manager.Register(nullptr, "X\0", "none", 6, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(manager.FindByType(5), greedy);
    EXPECT_NE(manager.FindByType(2), nullptr);
    EXPECT_EQ(manager.FindByType(6), nullptr);
    EXPECT_EQ(manager.FindByExtension("a.snd"), greedy);
    EXPECT_EQ(manager.FindByExtension("a"), nullptr);

    // The greedy decoder claims "OGG" first and reads 100 bytes; the Ogg decoder still gets the
    // data from its start. The out-code is optional.
    StreamPtr first(manager.Open("tone8k.ogg", nullptr, true, nullptr));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(greedy->calls, 1);
    EXPECT_FALSE(greedy->inMemory);
    // A name no decoder claims is decoded by content; so is a stream the caller opened.
    s_dir->Write("tone.xyz", s_dir->Read("tone8k.ogg"));
    StreamPtr second(manager.Open("tone.xyz", nullptr, true, nullptr));
    EXPECT_NE(second, nullptr);
    auto* own = new CFileStream;
    ASSERT_EQ(own->OpenInMemory("tone8k.ogg"), 0u);
    int code = -1;
    StreamPtr third(manager.Open(nullptr, own, true, &code));
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(code, 0);
    // A refused caller's stream stays the caller's.
    auto* refused = new CFileStream;
    ASSERT_EQ(refused->Open("tone8k.wav"), 0u);
    EXPECT_EQ(manager.Open("tone8k.wav", refused, true, &code), nullptr);
    EXPECT_EQ(code, SLL_NO_DECODER);
    EXPECT_EQ(refused->Tell(), 0u); // the Ogg decoder, asked last, put it back
    refused->Release();

    // The stream-off switch loads even a streamed open into memory.
    manager.SetStreamOff(true);
    EXPECT_TRUE(manager.GetStreamOff());
    StreamPtr fourth(manager.Open("tone8k.ogg", nullptr, true, nullptr));
    EXPECT_NE(fourth, nullptr);
    EXPECT_TRUE(greedy->inMemory);
    manager.UnloadType(5);
    EXPECT_EQ(manager.FindByType(5), nullptr);
    EXPECT_EQ(manager.FindByExtension("a.snd"), nullptr);
}

TEST_F(SoundDecoders, WavePluginDecodesWhatSoxReads)
{
    std::string plugins = PluginFolder();
    EXPECT_EQ(sll.LoadFolder((std::string("Z:") + plugins).c_str()), 0);
    ASSERT_NE(sll.FindByType(7), nullptr);
    EXPECT_EQ(sll.LoadPlugin("Z:\\nowhere\\WAVE.SLL"), 2);
    // 8-bit data too: sox turns the 16-bit tone into unsigned bytes.
    ASSERT_TRUE(sound_test::Run("sox '" + s_dir->Linux("noise22k.wav") + "' -b 8 '" + s_dir->Linux("noise8bit.wav") + "'"));
    for (const char* stem : {"tone8k", "noise22k", "silence44k", "sweep48k", "tiny", "noise8bit"}) {
        const std::string wav = std::string(stem) + ".wav";
        const std::string raw = Sox("'" + s_dir->Linux(wav) + "' -t raw -");
        const std::string info = Sox("--i -r '" + s_dir->Linux(wav) + "'");
        // By extension, and under a name no decoder claims, by content.
        s_dir->Write(std::string(stem) + ".dat", s_dir->Read(wav));
        for (const std::string& name : {wav, std::string(stem) + ".dat"}) {
            SCOPED_TRACE(name);
            int code = -1;
            StreamPtr stream(sll.Open(name.c_str(), nullptr, true, &code));
            ASSERT_NE(stream, nullptr);
            EXPECT_EQ(code, 0);
            EXPECT_EQ(std::to_string(stream->GetFormat()->nSamplesPerSec) + "\n", info);
            EXPECT_EQ(stream->GetTotalBytes(), raw.size());
            EXPECT_TRUE(sound_test::SamePcm(ReadAll(*stream, 999), raw));
        }
    }
}
