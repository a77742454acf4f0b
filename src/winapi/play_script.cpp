// The play script's reader and the frame writer; see play_script.h.
#include "winapi/play_script.h"

#include <charconv>
#include <cstdio>
#include <memory>

#include "winapi/user.h"

namespace winapi {

namespace {

struct KeyName {
    const char* name;
    int scancode;
};

// Letters and digits are computed; these are the rest.
constexpr KeyName kKeyNames[] = {
    {"return", 40}, {"enter", 40}, {"escape", 41}, {"backspace", 42}, {"tab", 43}, {"space", 44},
    {"f1", 58},     {"f2", 59},    {"f3", 60},     {"f4", 61},        {"f5", 62},  {"f6", 63},
    {"f7", 64},     {"f8", 65},    {"f9", 66},     {"f10", 67},       {"f11", 68}, {"f12", 69},
    {"right", 79},  {"left", 80},  {"down", 81},   {"up", 82},        {"ctrl", 224}, {"shift", 225},
    {"alt", 226},
};

struct AnswerName {
    const char* name;
    int answer;
};

constexpr AnswerName kAnswers[] = {
    {"ok", IDOK}, {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
    {"ignore", IDIGNORE}, {"yes", IDYES}, {"no", IDNO},
};

// The words of s, split at blanks.
std::vector<std::string> Words(const std::string& s)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i)
            words.push_back(s.substr(i, j - i));
        i = j;
    }
    return words;
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

// The text after the first `count` words of s.
std::string After(const std::string& s, size_t count)
{
    size_t i = 0;
    for (size_t n = 0; n < count; ++n) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
    }
    return Trim(s.substr(i));
}

// A whole decimal number from 0 to max.
bool Number(const std::string& s, uint64_t max, uint64_t* value)
{
    if (s.empty())
        return false;
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v > max)
        return false;
    *value = v;
    return true;
}

bool Int(const std::string& s, int max, int* value)
{
    uint64_t v = 0;
    if (!Number(s, static_cast<uint64_t>(max), &v))
        return false;
    *value = static_cast<int>(v);
    return true;
}

// The largest time or delay a line may give: about 24 days of play.
constexpr uint64_t kMaxTime = 0x7FFFFFFF;
constexpr int kMaxCoordinate = 65535;
constexpr int kMaxId = 0xFFFF;

class Reader {
public:
    explicit Reader(std::string* error, const std::string& name) : error_(error), name_(name) {}

    bool Fail(const std::string& message)
    {
        *error_ = name_ + ":" + std::to_string(line_) + ": " + message;
        return false;
    }

    bool Line(int number, const std::string& raw, uint64_t* clock, std::vector<PlayEvent>* events)
    {
        line_ = number;
        std::string text = raw;
        const size_t hash = text.find('#');
        if (hash != std::string::npos)
            text.resize(hash);
        text = Trim(text);
        if (text.empty())
            return true;
        const std::vector<std::string> w = Words(text);
        PlayEvent e;
        e.line = number;
        uint64_t t = 0;
        if (w[0][0] == '+') {
            if (!Number(w[0].substr(1), kMaxTime, &t))
                return Fail("bad delay '" + w[0] + "' (+MILLISECONDS)");
            e.at = *clock + t;
        } else {
            if (!Number(w[0], kMaxTime, &t))
                return Fail("bad time '" + w[0] + "' (MILLISECONDS or +MILLISECONDS)");
            if (t < *clock)
                return Fail("time " + w[0] + " is before the event above (" + std::to_string(*clock) + ")");
            e.at = t;
        }
        if (e.at > kMaxTime)
            return Fail("time past " + std::to_string(kMaxTime) + " ms");
        if (w.size() < 2)
            return Fail("a time without an event");
        const std::string& kind = w[1];
        bool ok;
        if (kind == "click")
            ok = Click(w, &e);
        else if (kind == "key")
            ok = Key(w, &e);
        else if (kind == "hold")
            ok = Hold(w, &e);
        else if (kind == "dialog")
            ok = Dialog(w, After(text, 3), &e);
        else if (kind == "answer")
            ok = Answer(w, &e);
        else if (kind == "frame")
            ok = Frame(w, &e);
        else if (kind == "close")
            ok = Count(w, 2) && (e.kind = PlayEvent::Close, true);
        else
            return Fail("unknown event '" + kind + "' (click, key, hold, dialog, answer, frame, close)");
        if (!ok)
            return false;
        *clock = e.at;
        events->push_back(std::move(e));
        return true;
    }

private:
    bool Count(const std::vector<std::string>& w, size_t n)
    {
        if (w.size() != n)
            return Fail("'" + w[1] + "' takes " + std::to_string(n - 2) + " argument" + (n == 3 ? "" : "s") + ", not " +
                        std::to_string(w.size() - 2));
        return true;
    }

    bool KeyWord(const std::string& s, int* scancode)
    {
        *scancode = PlayKeyScancode(s);
        return *scancode != 0 || Fail("unknown key '" + s + "'");
    }

    bool Click(const std::vector<std::string>& w, PlayEvent* e)
    {
        e->kind = PlayEvent::Click;
        if (w.size() != 4 && w.size() != 5)
            return Fail("click takes X Y [left|right|middle]");
        if (!Int(w[2], kMaxCoordinate, &e->x) || !Int(w[3], kMaxCoordinate, &e->y))
            return Fail("bad position '" + w[2] + " " + w[3] + "' (0 to " + std::to_string(kMaxCoordinate) + ")");
        if (w.size() == 5) {
            static const char* kButtons[] = {"left", "right", "middle"};
            e->button = -1;
            for (int b = 0; b < 3; ++b)
                if (w[4] == kButtons[b])
                    e->button = b;
            if (e->button < 0)
                return Fail("unknown button '" + w[4] + "' (left, right, middle)");
        }
        return true;
    }

    bool Key(const std::vector<std::string>& w, PlayEvent* e)
    {
        e->kind = PlayEvent::Key;
        return Count(w, 3) && KeyWord(w[2], &e->scancode);
    }

    bool Hold(const std::vector<std::string>& w, PlayEvent* e)
    {
        e->kind = PlayEvent::Hold;
        if (!Count(w, 4) || !KeyWord(w[2], &e->scancode))
            return false;
        if (w[3] != "down" && w[3] != "up")
            return Fail("hold takes a key and 'down' or 'up', not '" + w[3] + "'");
        e->down = w[3] == "down";
        return true;
    }

    bool Answer(const std::vector<std::string>& w, PlayEvent* e)
    {
        e->kind = PlayEvent::Answer;
        if (!Count(w, 3))
            return false;
        for (const AnswerName& a : kAnswers)
            if (w[2] == a.name) {
                e->answer = a.answer;
                return true;
            }
        return Fail("unknown answer '" + w[2] + "' (yes, no, ok, cancel, retry, abort, ignore)");
    }

    bool Frame(const std::vector<std::string>& w, PlayEvent* e)
    {
        e->kind = PlayEvent::Frame;
        if (!Count(w, 3))
            return false;
        e->file = w[2];
        return true;
    }

    bool Dialog(const std::vector<std::string>& w, const std::string& rest, PlayEvent* e)
    {
        e->kind = PlayEvent::Dialog;
        if (w.size() < 4)
            return Fail("dialog takes a template number and its steps");
        if (!Int(w[2], kMaxId, &e->templateId))
            return Fail("bad dialog template '" + w[2] + "'");
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find(';', start);
            if (end == std::string::npos)
                end = rest.size();
            const std::string step = Trim(rest.substr(start, end - start));
            start = end + 1;
            if (step.empty())
                return Fail("an empty dialog step");
            dialogs::DialogStep s;
            if (!Step(step, &s))
                return false;
            e->steps.push_back(std::move(s));
        }
        return true;
    }

    bool Step(const std::string& text, dialogs::DialogStep* s)
    {
        const std::vector<std::string> w = Words(text);
        const std::string& kind = w[0];
        using Step = dialogs::DialogStep;
        auto need = [&](size_t n) {
            return w.size() == n || Fail("dialog step '" + kind + "' takes " + std::to_string(n - 1) + " argument" +
                                         (n == 2 ? "" : "s"));
        };
        auto id = [&] { return Int(w[1], kMaxId, &s->id) || Fail("bad control id '" + w[1] + "'"); };
        if (kind == "click" || kind == "dclick") {
            s->kind = kind == "click" ? Step::Click : Step::DoubleClick;
            return need(2) && id();
        }
        if (kind == "type") {
            s->kind = Step::Type;
            if (w.size() < 3)
                return Fail("dialog step 'type' takes a control id and a text");
            if (!id())
                return false;
            s->textUtf8 = After(text, 2);
            return true;
        }
        if (kind == "check" || kind == "tab" || kind == "row") {
            s->kind = kind == "check" ? Step::Check : kind == "tab" ? Step::PickTab : Step::PickRow;
            if (!need(3) || !id())
                return false;
            return Int(w[2], kind == "check" ? 1 : kMaxId, &s->index) || Fail("bad " + kind + " value '" + w[2] + "'");
        }
        if (kind == "page") {
            s->kind = Step::SwitchPage;
            return need(2) && (Int(w[1], kMaxId, &s->index) || Fail("bad page '" + w[1] + "'"));
        }
        if (kind == "key") {
            s->kind = Step::Key;
            return need(2) && KeyWord(w[1], &s->scancode);
        }
        if (kind == "advance") {
            s->kind = Step::Advance;
            uint64_t ms = 0;
            if (!need(2))
                return false;
            if (!Number(w[1], kMaxTime, &ms))
                return Fail("bad advance '" + w[1] + "' (milliseconds)");
            s->ms = static_cast<uint32_t>(ms);
            return true;
        }
        return Fail("unknown dialog step '" + kind + "' (click, dclick, type, check, tab, row, page, key, advance)");
    }

    std::string* error_;
    std::string name_;
    int line_ = 0;
};

void Put16(std::string* out, uint32_t v)
{
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

int PlayKeyScancode(const std::string& name)
{
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z')
        return 4 + (name[0] - 'a');
    if (name.size() == 1 && name[0] >= '1' && name[0] <= '9')
        return 30 + (name[0] - '1');
    if (name == "0")
        return 39;
    for (const KeyName& k : kKeyNames)
        if (name == k.name)
            return k.scancode;
    return 0;
}

bool ParsePlayScript(const std::string& text, const std::string& name, std::vector<PlayEvent>* events,
                     std::string* error)
{
    Reader reader(error, name);
    uint64_t clock = 0;
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++number;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.find('\0') != std::string::npos) {
            *error = name + ":" + std::to_string(number) + ": a NUL byte in the line";
            return false;
        }
        if (!reader.Line(number, line, &clock, events))
            return false;
    }
    return true;
}

bool WriteFrameBmp(const std::string& pathUtf8, int width, int height, const std::vector<uint32_t>& pixels)
{
    constexpr int kMaxSide = 16384;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        pixels.size() < static_cast<size_t>(width) * height)
        return false;
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    std::string out;
    out.reserve(54 + imageSize);
    out += "BM";
    Put32(&out, 54 + imageSize);
    Put32(&out, 0);
    Put32(&out, 54);
    Put32(&out, 40);
    Put32(&out, static_cast<uint32_t>(width));
    Put32(&out, static_cast<uint32_t>(height));  // rows bottom first
    Put16(&out, 1);
    Put16(&out, 24);
    Put32(&out, 0);
    Put32(&out, imageSize);
    Put32(&out, 2835);
    Put32(&out, 2835);
    Put32(&out, 0);
    Put32(&out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const size_t row = out.size();
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            out.push_back(static_cast<char>(p & 0xFF));
            out.push_back(static_cast<char>((p >> 8) & 0xFF));
            out.push_back(static_cast<char>((p >> 16) & 0xFF));
        }
        out.append(stride - (out.size() - row), '\0');
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(pathUtf8.c_str(), "wb"), &std::fclose);
    if (!file)
        return false;
    return std::fwrite(out.data(), 1, out.size(), file.get()) == out.size() && std::fflush(file.get()) == 0;
}

} // namespace winapi
