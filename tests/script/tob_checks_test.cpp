// The checks every reader of a TOB file shares: the store's load, `tob list` and `tob dis` accept
// and refuse the same files (NUL-ended sections, labels in any order, every offset and count past
// its end, link cells outside their code), the decoder never links outside its code, and every
// file the disassembler writes packs back to its bytes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>

#include "authoring/tob_packer.h"
#include "files/temp_folder.h"
#include "support/sob_files.h"
#include "support/tgs_test_frame.h"

using sobtest::Bytes;
using tgstest::Host;
using tgstest::Pack;

namespace {

using Labels = std::vector<std::pair<std::string, uint32_t>>;

std::vector<uint8_t> Tob(const Labels& labels, const std::vector<uint32_t>& messages, const std::vector<uint8_t>& text,
                         bool tob1 = false)
{
    Bytes names;
    for (const auto& [name, offset] : labels)
        names.U8(static_cast<uint32_t>(name.size() + 5)).Text(name).U8(0).U32(offset);
    Bytes b;
    b.Text(tob1 ? "TOB1" : "TOB0").U32(static_cast<uint32_t>(8 + names.b.size())).U32(static_cast<uint32_t>(labels.size()));
    b.b.insert(b.b.end(), names.b.begin(), names.b.end());
    b.U32(static_cast<uint32_t>(8 + messages.size() * (tob1 ? 8 : 4))).U32(static_cast<uint32_t>(messages.size()));
    for (uint32_t m : messages)
        b.U32(m);
    for (size_t i = 0; tob1 && i < messages.size(); ++i)
        b.U32(static_cast<uint32_t>(i + 1));
    b.b.insert(b.b.end(), text.begin(), text.end());
    return b.b;
}

std::vector<uint8_t> Raw(const std::string& s)
{
    return {s.begin(), s.end()};
}

// A wait record (command 20) with one expression argument of 8 code bytes whose table t holds one
// link entry writing at offset.
std::vector<uint8_t> ExpressionRecord(int t, uint32_t offset)
{
    Bytes tables;
    for (int i = 1; i <= 5; ++i) {
        tables.U8(i == t);
        if (i == t)
            tables.U32(offset).U32(0);
    }
    Bytes argument;
    argument.U8(1).U8(3).U16(8).Words({0, 0}).U8(0).U16(static_cast<uint32_t>(tables.b.size() + 2));
    argument.b.insert(argument.b.end(), tables.b.begin(), tables.b.end());
    Bytes r;
    r.Text("[ ").U32(20).U8(1).U32(static_cast<uint32_t>(4 + 1 + argument.b.size())).U8(1);
    r.b.insert(r.b.end(), argument.b.begin(), argument.b.end());
    return r.b;
}

// An inline code record of 8 code bytes whose table t holds one link entry writing at offset.
std::vector<uint8_t> InlineRecord(int t, uint32_t offset)
{
    Bytes tables;
    for (int i = 1; i <= 5; ++i) {
        tables.U32(i == t);
        if (i == t)
            tables.U32(offset).U32(0);
    }
    Bytes r;
    r.Text("[s").U32(8).Words({0, 0}).U8(0).U32(static_cast<uint32_t>(tables.b.size() + 4));
    r.b.insert(r.b.end(), tables.b.begin(), tables.b.end());
    return r.b;
}

struct Case {
    std::string name;
    std::vector<uint8_t> file;
    std::string error; // empty: every reader accepts it, and its listing packs back to it
};

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    // NUL-ended texts and sections reached by labels.
    cases.push_back({"text ab NUL", Tob({}, {}, Raw(std::string("ab\0", 3))), ""});
    cases.push_back({"NUL-ended sections", Pack("*s\nab\n@page\n\\x00\n*t\ncd\n@page\n\\x00\n\\x00\n*u\n"), ""});
    cases.push_back({"labels after a NUL", Tob({{"s", 0}, {"t", 3}, {"u", 5}}, {}, Raw(std::string("ab\0c\0", 5))), ""});
    // Labels in any order, equal names, a label on a character's second byte.
    cases.push_back({"labels reversed", Tob({{"s", 2}, {"t", 0}}, {}, Raw("ab")), ""});
    cases.push_back({"labels shuffled, equal names",
                     Tob({{"b", 3}, {"a", 0}, {"b", 1}, {"c", 4}, {"a", 2}, {" d ", 4}}, {}, Raw("abcd")), ""});
    cases.push_back({"label on a second byte", Tob({{"x", 1}}, {}, Raw("\x82\xA0\x82\xA2")), ""});
    cases.push_back({"label arguments of a reordered table",
                     [] {
                         std::vector<uint8_t> f = Pack("*a\n@goto *b\nx\n*b\n@call *a\n");
                         // Swap the two label entries (equal sizes): b first.
                         std::swap_ranges(f.begin() + 12, f.begin() + 19, f.begin() + 19);
                         return f;
                     }(),
                     ""});
    cases.push_back({"TOB1 with messages", Pack("*m\n@message word=4\nA\n@message\n", true), ""});

    // Offsets and counts past their ends.
    cases.push_back({"label at 0xFFFFFFFF", Tob({{"s", 0xFFFFFFFF}}, {}, Raw("ab")), "label 0 offset 4294967295 lies past the text"});
    cases.push_back({"label one past the text", Tob({{"s", 0}, {"t", 3}}, {}, Raw("ab")), "label 1 offset 3 lies past the text"});
    cases.push_back({"message past the text", Tob({}, {3}, Raw("ab")), "message 0 offset 3 lies past the text"});
    {
        std::vector<uint8_t> f = Tob({{"s", 0}}, {}, Raw("ab"));
        sobtest::SetU32(f, 8, 2);
        cases.push_back({"label count past its block", f, "label count 2 runs past the label block"});
        f = Tob({{"s", 0}}, {}, Raw("ab"));
        f[12] = 7;
        cases.push_back({"label entry past its block", f, "label 0 runs past the label block"});
        f = Tob({{"s", 0}}, {}, Raw("ab"));
        f[14] = 'x';
        cases.push_back({"label name without its NUL", f, "label 0 name without its NUL"});
        f = Tob({{"s", 0}}, {}, Raw("ab"));
        sobtest::SetU32(f, 4, 1000);
        cases.push_back({"label block past the file", f, "label block length 1000 runs past the file"});
        f = Tob({}, {0}, Raw("ab"));
        sobtest::SetU32(f, 12, 1000);
        cases.push_back({"message block past the file", f, "message block length 1000 runs past the file"});
        f = Tob({}, {0}, Raw("ab"));
        sobtest::SetU32(f, 16, 2);
        cases.push_back({"message count past its block", f, "message count 2 runs past the message block"});
        f = Tob({}, {0}, Raw("ab"), true);
        sobtest::SetU32(f, 12, 12);
        cases.push_back({"TOB1 words past the message block", f, "message count 1 runs past the message block"});
    }
    {
        // A whole file cut short: its last label and message then lie past the new end.
        const std::vector<uint8_t> whole = Pack("*a\n@message\nxyz\n*b\n");
        cases.push_back({"truncated by one", std::vector<uint8_t>(whole.begin(), whole.end() - 1), "label 1 offset"});
        const std::vector<uint8_t> first = Pack("*a\n@message\nxyz\n");
        cases.push_back({"truncated into the record", std::vector<uint8_t>(first.begin(), first.end() - 6),
                         "command record at 0: skip length runs past the text"});
        cases.push_back({"truncated into the header", std::vector<uint8_t>(whole.begin(), whole.begin() + 10),
                         "file ends inside the label block header"});
    }
    cases.push_back({"label inside a record", Tob({{"s", 3}}, {}, ExpressionRecord(1, 0)), "label 0 offset 3 lies inside the record at 0"});
    cases.push_back({"message inside a record", Tob({}, {2}, ExpressionRecord(1, 0)), "message 0 offset 2 lies inside the record at 0"});
    cases.push_back({"string past the record", Raw(""), ""});
    cases.pop_back();

    {
        // Lengths inside records past their ends.
        auto patched = [](std::vector<uint8_t> text, size_t at, std::initializer_list<uint8_t> bytes) {
            std::copy(bytes.begin(), bytes.end(), text.begin() + static_cast<std::ptrdiff_t>(at));
            return Tob({}, {}, text);
        };
        cases.push_back({"expression code past the record", patched(ExpressionRecord(1, 0), 14, {0xFF, 0xFF}),
                         "argument 0: expression code length runs past the record"});
        cases.push_back({"expression link count past the record", patched(ExpressionRecord(1, 0), 27, {9}),
                         "argument 0: expression link table 1 count 9 runs past its record"});
        cases.push_back({"inline code past the text", patched(InlineRecord(1, 0), 2, {0xE8, 3}),
                         "inline code record at 0: code length runs past the text"});
        cases.push_back({"inline link count past the record", patched(InlineRecord(1, 0), 19, {0xE8, 3}),
                         "inline code record at 0: link table 1 count 1000 runs past its record"});
        std::vector<uint8_t> f = Pack("@wait \"ab\"\n");
        EXPECT_EQ(f[38], 0);
        f[38] = 'c';
        cases.push_back({"string without its NUL", f, "argument 0: string without its NUL"});
    }

    // Link cells: n - 4 is the last whole cell of an 8-byte code.
    for (int t = 1; t <= 5; ++t) {
        for (uint32_t offset : {5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 0xFFFFFFFEu}) {
            const std::string where = " of table " + std::to_string(t) + " writes at " + std::to_string(offset) + ", outside the code";
            cases.push_back({"expression link" + where, Tob({}, {}, ExpressionRecord(t, offset)),
                             "argument 0: expression link 0" + where});
            cases.push_back({"inline link" + where, Tob({}, {}, InlineRecord(t, offset)),
                             "inline code record at 0: link 0" + where});
        }
    }
    return cases;
}

TEST(TobChecks, LoadListAndDisassemblyAgreeOnEveryFile)
{
    const SobVariableLayout layout = tgstest::Layout();
    for (const Case& c : Cases()) {
        Host h;
        const int loaded = h.frame->LoadScriptBytes("MAIN", c.file.data(), c.file.size(), true);
        std::string list, source, error;
        const bool listed = ListTob(c.file.data(), c.file.size(), &list, &error);
        EXPECT_EQ(listed, c.error.empty()) << c.name << ": " << error;
        EXPECT_EQ(loaded, c.error.empty() ? kTobLoadOk : kTobLoadDamaged) << c.name;
        const bool disassembled = DisassembleTob(c.file.data(), c.file.size(), &layout, nullptr, &source, &error);
        EXPECT_EQ(disassembled, c.error.empty()) << c.name << ": " << error;
        if (!c.error.empty()) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        } else {
            EXPECT_EQ(Pack(source, c.file[3] == '1'), c.file) << c.name << "\n" << source;
        }
    }
}

TEST(TobChecks, LabelsAreFoundInTableOrder)
{
    Host h;
    const std::vector<uint8_t> f = Tob({{"b", 3}, {"a", 0}, {"b", 1}, {"a", 2}}, {}, Raw("abcd"));
    ASSERT_EQ(h.frame->LoadScriptBytes("MAIN", f.data(), f.size(), true), kTobLoadOk);
    const TobScript* s = h.frame->PreloadedScripts().back();
    EXPECT_EQ(h.frame->FindLabel(s, "b"), 3);
    EXPECT_EQ(h.frame->FindLabel(s, "a"), 0);

    // The packer's @labelorder writes the same table; the first equal name wins for *b.
    const std::vector<uint8_t> packed = Pack("@labelorder 3 0 1 2\n*a\na\n*b\nb\n*a\nc\n*b\nd\n");
    EXPECT_EQ(packed, f);
    TobPackOptions options;
    std::vector<uint8_t> out;
    std::vector<std::string> errors;
    EXPECT_FALSE(PackTob("@labelorder 0 0\n*a\n*b\n", "t.txt", options, &out, &errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0], "t.txt:1: @labelorder must name each of the 2 labels once");
}

// The decoder stops at a NUL and goes on from the label it is sent to next.
TEST(TobChecks, DecoderStopsAtANulAndGoesOnFromALabel)
{
    Host h;
    h.frame->AddFile("MAIN.TOB", Pack("ab\n\\x00\n*t\ncd\n@page\n"));
    ASSERT_EQ(h.frame->StartScript("MAIN"), 0);
    EXPECT_EQ(h.frame->RunText(), 0);
    EXPECT_EQ(std::string(h.frame->Text()), "ab");
    EXPECT_EQ(h.frame->RunText(), 0); // still at the NUL
    const uint32_t at = h.frame->JumpLabel(nullptr, "t", 0);
    ASSERT_NE(at, 0u);
    h.frame->SetCursor(at - h.frame->CurrentScript()->TextAddress());
    EXPECT_EQ(h.frame->RunText(), 0);
    ASSERT_EQ(h.frame->pages.size(), 1u);
    EXPECT_EQ(h.frame->pages[0], "abcd");
}

// Records the load would refuse, written over a loaded text (as code run by a script could): the
// decoder refuses them too and writes nothing, inside or outside the code.
TEST(TobChecks, DecoderNeverLinksOutsideTheCode)
{
    for (int t = 1; t <= 5; ++t) {
        for (uint32_t offset : {5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 0xFFFFFFFEu}) {
            for (bool inlineCode : {false, true}) {
                const std::vector<uint8_t> record = inlineCode ? InlineRecord(t, offset) : ExpressionRecord(t, offset);
                Host h;
                std::vector<uint8_t> blank = Tob({}, {}, {});
                const size_t textStart = blank.size();
                blank.resize(textStart + record.size() + 16, 0);
                h.frame->AddFile("MAIN.TOB", blank);
                ASSERT_EQ(h.frame->StartScript("MAIN"), 0);
                const TobScript* s = h.frame->CurrentScript();
                uint8_t* text = h.rt.Memory().Span(s->TextAddress(), s->textSize + 1);
                ASSERT_NE(text, nullptr);
                std::memcpy(text, record.data(), record.size());
                const std::vector<uint8_t> before(text, text + s->textSize + 1);
                EXPECT_EQ(h.frame->RunText(), -1) << t << " " << offset << " " << inlineCode;
                EXPECT_EQ(std::vector<uint8_t>(text, text + s->textSize + 1), before) << t << " " << offset;
            }
        }
    }
}

int Tool(const std::string& arguments)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + arguments;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TobChecks, ToolNamesTheDamagedField)
{
    TempFolder dir;
    const std::vector<uint8_t> far = Tob({{"s", 0xFFFFFFFF}}, {}, Raw("ab"));
    const std::vector<uint8_t> ended = Tob({{"t", 0}, {"s", 2}}, {}, Raw(std::string("ab\0cd", 5)));
    dir.Write("FAR.TOB", std::string(far.begin(), far.end()));
    dir.Write("ENDED.TOB", std::string(ended.begin(), ended.end()));
    const std::string err = " 2> " + dir.Linux("err.txt") + " > " + dir.Linux("out.txt");
    EXPECT_EQ(Tool("tob list " + dir.Linux("FAR.TOB") + err), 1);
    EXPECT_NE(dir.Read("err.txt").find("label 0 offset 4294967295 lies past the text (2 bytes)"), std::string::npos)
        << dir.Read("err.txt");
    EXPECT_EQ(Tool("tob dis " + dir.Linux("FAR.TOB") + err), 1);
    EXPECT_EQ(Tool("tob list " + dir.Linux("ENDED.TOB") + err), 0);
    ASSERT_EQ(Tool("tob dis " + dir.Linux("ENDED.TOB") + err), 0);
    EXPECT_EQ(Tool("tob pack " + dir.Linux("out.txt") + " " + dir.Linux("AGAIN.TOB") + " 2> " + dir.Linux("err.txt")), 0);
    EXPECT_EQ(dir.Read("AGAIN.TOB"), std::string(ended.begin(), ended.end()));
}

} // namespace
