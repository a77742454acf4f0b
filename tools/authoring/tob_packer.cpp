#include "authoring/tob_packer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

#include "script/byte_reader.h"
#include "script/sob_linkable.h"
#include "script/tgs_script_store.h"
#include "winapi/text.h"

namespace {

// clang-format off
// Commands 0-11 after the decoder's meaning, 12-129 after the handler table; empty: "cmd N".
const char* const kCommandNames[130] = {
    "goto0", "goto", "goto2", "goto3", "nop", "printnum", "print", "call", "jump", "return", // 0-9
    "preload", "release", "message", "choice", "br", "", "page", "choicewait", "name", "disable", // 10-19
    "wait", "waittimer", "window", "winstyle", "textpos", "speaker", "rubybase", "ruby", "style", "showwin", // 20-29
    "clearwin", "winanime", "winanimeapply", "winwait", "winrelease", "layerimage", "layerclear", "layercolor",
    "layercolormode", "layerpixelop", // 30-39
    "layeroffset", "layerrender", "layeroff", "layerview", "layerzoom", "layerzoomset", "bgzoom", "bgrot", "bgpanime",
    "bgpanimeapply", // 40-49
    "bgblur", "bgblurex", "", "", "", "", "bgblurargs", "bgwait", "bgrelease", "noise", // 50-59
    "haze", "bgloop", "spparts", "bgcross", "weather", "layerfxparams", "layerfxstop", "layerfxwait", "", "", // 60-69
    "", "", "", "", "option", "sprite", "spcolormode", "sppixelop", "spplace", "spmove", // 70-79
    "spbottom", "sptop", "spreset", "spcfade", "sppanime", "sppanimeapply", "spchange", "sppartslist", "spwait",
    "sprelease", // 80-89
    "imagerelease", "transopt", "transopt2", "transfinish", "transwait", "transstop", "cross", "rule", "trans",
    "filter", // 90-99
    "scroll", "ripple", "black", "white", "bgcf", "bgrule", "bgtrans", "spcf", "spclear", "quake", // 100-109
    "pagequake", "quakestart", "pagequakestart", "quakewait", "quakerelease", "doublecross", "bgfade", "fadewin",
    "showwinnow", "bgm", // 110-119
    "bgmwait", "bgmend", "se", "sefadein", "sefadeout", "sestop", "sestopall", "sewait", "sefadewait", "voice", // 120-129
};
// clang-format on

void PutU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

bool IsLead(uint8_t c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string_view Trim(std::string_view s)
{
    return TrimSob(s);
}

bool ParseInt(std::string_view s, int64_t* out)
{
    bool tooLarge = false;
    const std::optional<int64_t> v = ParseSobInteger(s, &tooLarge);
    if (!v.has_value() || tooLarge)
        return false;
    *out = *v;
    return true;
}

// UTF-8 source text with escapes (\\, \", \n, \t, \xNN) to Shift-JIS → false with a message.
bool DecodeText(std::string_view text, std::string* out, std::string* error)
{
    std::string utf8, sjis;
    auto flush = [&]() {
        if (utf8.empty())
            return true;
        std::string part;
        if (!winapi::Utf8ToSjisChecked(utf8, &part)) {
            *error = "text has no Shift-JIS form: " + utf8;
            return false;
        }
        sjis += part;
        utf8.clear();
        return true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            utf8 += text[i];
            continue;
        }
        if (++i >= text.size()) {
            *error = "'\\' at the end of the text";
            return false;
        }
        const char e = text[i];
        if (e == 'x') {
            int64_t v;
            if (i + 2 >= text.size() + 0 ||
                !ParseInt(std::string("0x") + std::string(text.substr(i + 1, 2)), &v)) {
                *error = "bad \\x escape";
                return false;
            }
            if (!flush())
                return false;
            sjis += static_cast<char>(v);
            i += 2;
        } else if (e == 'n' || e == 't' || e == '\\' || e == '"') {
            utf8 += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
            *error = std::string("unknown escape \\") + e;
            return false;
        }
    }
    if (!flush())
        return false;
    *out = sjis;
    return true;
}

// Shift-JIS bytes back to source text: characters that convert both ways as they stand, others
// as \xNN; '\\', '"' (in strings), '[' and control bytes escaped.
std::string EncodeText(std::string_view sjis, bool quoted)
{
    std::string out;
    char hex[8];
    for (size_t i = 0; i < sjis.size();) {
        const uint8_t c = static_cast<uint8_t>(sjis[i]);
        const size_t n = IsLead(c) && i + 1 < sjis.size() ? 2 : 1;
        const std::string_view ch = sjis.substr(i, n);
        i += n;
        if (n == 1 && c == '\\') {
            out += "\\\\";
        } else if (n == 1 && quoted && c == '"') {
            out += "\\\"";
        } else if (n == 1 && c >= 0x20 && c < 0x7F && c != '[') {
            out += static_cast<char>(c);
        } else {
            // The packer refuses a raw '[' in text, even as a second byte.
            const bool bracket = n == 2 && ch[1] == '[';
            const std::string utf8 = !bracket && (n == 2 || c >= 0x80) ? winapi::SjisToUtf8(ch) : std::string();
            std::string back;
            if (!utf8.empty() && winapi::Utf8ToSjisChecked(utf8, &back) && back == ch) {
                out += utf8;
            } else {
                for (char b : ch) {
                    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<uint8_t>(b));
                    out += hex;
                }
            }
        }
    }
    return out;
}

// ---- expressions ----

struct Expr {
    enum Kind { Constant, Variable, Unary, Binary } kind = Constant;
    int64_t value = 0;
    int variable = -1;
    uint32_t element = 0;
    std::string op;
    std::unique_ptr<Expr> left, right;
};

class ExprParser {
public:
    ExprParser(std::string_view text, const SobVariableLayout* variables)
        : m_text(text), m_variables(variables)
    {}

    std::unique_ptr<Expr> Parse(std::string* error)
    {
        auto e = Binary(0);
        Skip();
        if (e != nullptr && m_at != m_text.size())
            Fail("unexpected '" + std::string(m_text.substr(m_at, 1)) + "' in the expression");
        if (!m_error.empty()) {
            *error = m_error;
            return nullptr;
        }
        return e;
    }

private:
    void Skip()
    {
        while (m_at < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_at])))
            ++m_at;
    }
    void Fail(const std::string& message)
    {
        if (m_error.empty())
            m_error = message;
    }
    // Binary operators by level, lowest first.
    int Level(std::string_view op) const
    {
        static const std::vector<std::vector<std::string>> levels = {
            {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<=", ">=", "<", ">"},
            {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        for (size_t l = 0; l < levels.size(); ++l)
            for (const std::string& o : levels[l])
                if (o == op)
                    return static_cast<int>(l);
        return -1;
    }
    std::string PeekOperator()
    {
        Skip();
        static const char* const ops[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>", "|",
                                          "^",  "&",  "<",  ">",  "+",  "-",  "*",  "/",  "%"};
        for (const char* o : ops) {
            if (m_text.substr(m_at, std::strlen(o)) == o)
                return o;
        }
        return {};
    }
    std::unique_ptr<Expr> Binary(int level)
    {
        if (level > 9)
            return UnaryExpr();
        auto left = Binary(level + 1);
        while (left != nullptr) {
            const std::string op = PeekOperator();
            if (op.empty() || Level(op) != level)
                break;
            m_at += op.size();
            auto right = Binary(level + 1);
            if (right == nullptr)
                return nullptr;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Binary;
            e->op = op;
            e->left = std::move(left);
            e->right = std::move(right);
            left = std::move(e);
        }
        return left;
    }
    std::unique_ptr<Expr> UnaryExpr()
    {
        Skip();
        if (m_at >= m_text.size()) {
            Fail("the expression ends too soon");
            return nullptr;
        }
        const char c = m_text[m_at];
        if (c == '-' || c == '!' || c == '~') {
            ++m_at;
            auto operand = UnaryExpr();
            if (operand == nullptr)
                return nullptr;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Unary;
            e->op = std::string(1, c);
            e->left = std::move(operand);
            return e;
        }
        if (c == '(') {
            ++m_at;
            auto e = Binary(0);
            Skip();
            if (e == nullptr || m_at >= m_text.size() || m_text[m_at] != ')') {
                Fail("missing ')'");
                return nullptr;
            }
            ++m_at;
            return e;
        }
        size_t end = m_at;
        while (end < m_text.size() &&
               (std::isalnum(static_cast<unsigned char>(m_text[end])) || m_text[end] == '_'))
            ++end;
        const std::string_view word = m_text.substr(m_at, end - m_at);
        if (word.empty()) {
            Fail("unexpected '" + std::string(1, c) + "' in the expression");
            return nullptr;
        }
        m_at = end;
        auto e = std::make_unique<Expr>();
        if (std::isdigit(static_cast<unsigned char>(word[0]))) {
            if (!ParseInt(word, &e->value)) {
                Fail("bad number " + std::string(word));
                return nullptr;
            }
            return e;
        }
        e->kind = Expr::Variable;
        e->variable = m_variables != nullptr ? m_variables->Find(word) : -1;
        if (e->variable < 0) {
            Fail("unknown variable '" + std::string(word) + "'" +
                 (m_variables == nullptr ? " (no --vars list)" : ""));
            return nullptr;
        }
        Skip();
        if (m_at < m_text.size() && m_text[m_at] == '[') {
            const size_t close = m_text.find(']', m_at);
            int64_t element;
            if (close == std::string_view::npos ||
                !ParseInt(Trim(m_text.substr(m_at + 1, close - m_at - 1)), &element) || element < 0) {
                Fail("bad element of " + std::string(word));
                return nullptr;
            }
            e->element = static_cast<uint32_t>(element);
            m_at = close + 1;
        }
        if (static_cast<uint64_t>(e->element) * 4 + 4 > m_variables->variables[e->variable].size) {
            Fail("element " + std::to_string(e->element) + " lies outside " + std::string(word));
            return nullptr;
        }
        return e;
    }

    std::string_view m_text;
    const SobVariableLayout* m_variables;
    size_t m_at = 0;
    std::string m_error;
};

// Lowers an expression to SOB assembly: each node into a temporary cell; the root into hostvar 0.
class ExprLowering {
public:
    explicit ExprLowering(const SobVariableLayout* variables) : m_variables(variables) {}

    std::string Lower(const Expr& root)
    {
        if (root.kind == Expr::Constant) {
            m_code += "mov " + std::to_string(root.value) + ", hostvar 0\n";
        } else {
            const int t = Node(root);
            m_code += "movm t" + std::to_string(t) + ", hostvar 0\n";
        }
        m_code += "ret\n";
        for (int i = 0; i < m_temps; ++i)
            m_code += "t" + std::to_string(i) + ": .word 0\n";
        return m_code;
    }

private:
    // The operand text of a node: its constant, or 0 to be patched from its temporary.
    std::string Operand(const Expr& e, int* temp)
    {
        if (e.kind == Expr::Constant) {
            *temp = -1;
            return std::to_string(e.value);
        }
        *temp = Node(e);
        return "0";
    }
    int Node(const Expr& e)
    {
        const int t = m_temps++;
        const std::string tn = "t" + std::to_string(t);
        const std::string at = "e" + std::to_string(m_labels++);
        switch (e.kind) {
        case Expr::Constant:
            m_code += "mov " + std::to_string(e.value) + ", " + tn + "\n";
            break;
        case Expr::Variable: {
            const SobVariableDef& v = m_variables->variables[e.variable];
            m_code += "mov uservar " + v.name + ", " + tn + "\n";
            if (v.kind == 1)
                m_code += "deref " + tn + ", " + tn + "\n";
            if (e.element != 0)
                m_code += "movm " + tn + ", " + at + ".1\n" + at + ": add 0, " +
                          std::to_string(e.element * 4) + ", " + tn + "\n";
            m_code += "deref " + tn + ", " + tn + "\n";
            break;
        }
        case Expr::Unary: {
            int a;
            const std::string x = Operand(*e.left, &a);
            // sub takes x as its second operand; lnot and not as their first.
            if (a >= 0)
                m_code += "movm t" + std::to_string(a) + ", " + at + (e.op == "-" ? ".2\n" : ".1\n");
            if (e.op == "-")
                m_code += at + ": sub 0, " + x + ", " + tn + "\n";
            else
                m_code += at + ": " + (e.op == "!" ? "lnot " : "not ") + x + ", " + tn + "\n";
            break;
        }
        case Expr::Binary: {
            int a, b;
            const std::string x = Operand(*e.left, &a);
            const std::string y = Operand(*e.right, &b);
            static const std::map<std::string, std::string> ops = {
                {"+", "add"}, {"-", "sub"}, {"*", "mul"},  {"/", "div"},  {"%", "rem"},  {"&", "and"},
                {"|", "or"},  {"^", "xor"}, {"<<", "shl"}, {">>", "sar"}, {"<", "lt"},   {"<=", "le"},
                {">", "gt"},  {">=", "ge"}, {"==", "eq"},  {"!=", "ne"},  {"&&", "and"}, {"||", "or"}};
            if (e.op == "&&" || e.op == "||") {
                // Both sides as 0 or 1 first (no short circuit: expressions have no side effects).
                const std::string r = "e" + std::to_string(m_labels++), l = "e" + std::to_string(m_labels++);
                if (a >= 0)
                    m_code += "movm t" + std::to_string(a) + ", " + at + ".1\n";
                if (b >= 0)
                    m_code += "movm t" + std::to_string(b) + ", " + r + ".1\n";
                m_code += at + ": ne " + x + ", 0, " + l + ".1\n";
                m_code += r + ": ne " + y + ", 0, " + l + ".2\n";
                m_code += l + ": " + ops.at(e.op) + " 0, 0, " + tn + "\n";
            } else {
                if (a >= 0)
                    m_code += "movm t" + std::to_string(a) + ", " + at + ".1\n";
                if (b >= 0)
                    m_code += "movm t" + std::to_string(b) + ", " + at + ".2\n";
                m_code += at + ": " + ops.at(e.op) + " " + x + ", " + y + ", " + tn + "\n";
            }
            break;
        }
        }
        return t;
    }

    const SobVariableLayout* m_variables;
    std::string m_code;
    int m_temps = 0;
    int m_labels = 0;
};

// Assembled code and its link tables (five, each as (offset, value) rows).
struct LinkedCode {
    std::vector<uint8_t> code;
    std::vector<std::pair<uint32_t, uint32_t>> tables[5];
};

bool AssembleCode(const std::string& source, const TobPackOptions& options, LinkedCode* out,
                  std::string* error)
{
    SobAssembly assembly;
    std::vector<std::string> errors;
    if (!AssembleSob(source, "code", &assembly, &errors)) {
        *error = errors.empty() ? "bad code" : errors[0].substr(errors[0].find(':', 5) + 2);
        return false;
    }
    // The module writer resolves variable and library names; its tables are then taken apart.
    std::vector<uint8_t> module;
    if (!WriteSobLinkable(assembly, false, options.variables, options.library, &module, error))
        return false;
    SobLinkable linkable;
    if (!ParseSobLinkable(module.data() + 4, module.size() - 4, &linkable)) {
        *error = "bad code";
        return false;
    }
    out->code.assign(linkable.image, linkable.image + linkable.imageSize);
    for (int t = 0; t < 5; ++t) {
        for (uint32_t i = 0; i < linkable.tables[t].count; ++i)
            out->tables[t].emplace_back(linkable.tables[t].Offset(i), linkable.tables[t].Value(i));
    }
    return true;
}

// ---- packing ----

struct LabelFix {
    size_t at; // text offset of the u32 to patch
    std::string label;
    int line;
};

class Packer {
public:
    Packer(std::string_view fileName, const TobPackOptions& options, std::vector<std::string>* errors)
        : m_file(fileName), m_options(options), m_errors(errors)
    {}

    bool Run(std::string_view source, std::vector<uint8_t>* out)
    {
        size_t start = 0;
        std::vector<std::string_view> lines;
        while (start <= source.size()) {
            size_t end = source.find('\n', start);
            if (end == std::string_view::npos)
                end = source.size();
            std::string_view line = source.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines.push_back(line);
            start = end + 1;
        }
        for (size_t i = 0; i < lines.size(); ++i) {
            m_line = static_cast<int>(i + 1);
            const std::string_view line = lines[i];
            const std::string_view trimmed = Trim(line);
            if (trimmed.empty() || trimmed[0] == ';')
                continue;
            if (line[0] == '*') {
                Label(Trim(line.substr(1)));
            } else if (trimmed[0] == '@') {
                if (Trim(trimmed.substr(1)) == "sob") {
                    std::string code;
                    size_t k = i + 1;
                    for (; k < lines.size() && Trim(lines[k]) != "@end"; ++k)
                        code += std::string(lines[k]) + "\n";
                    if (k >= lines.size()) {
                        Error("@sob without @end");
                        break;
                    }
                    Inline(code);
                    i = k;
                } else if (Trim(trimmed.substr(1)).substr(0, 10) == "labelorder") {
                    LabelOrder(Trim(trimmed.substr(1)).substr(10));
                } else {
                    Command(trimmed.substr(1));
                }
            } else {
                std::string text, error;
                if (!DecodeText(line, &text, &error))
                    Error(error);
                else if (text.find('[') != std::string::npos && !EscapedBracketsOnly(line))
                    Error("'[' starts a record in the text: write \\x5B");
                else
                    m_text.insert(m_text.end(), text.begin(), text.end());
            }
        }
        if (m_orderLine != 0)
            ApplyLabelOrder();
        for (const LabelFix& fix : m_fixes) {
            auto it = m_labelOffsets.find(fix.label);
            if (it == m_labelOffsets.end()) {
                m_line = fix.line;
                Error("undefined label *" + fix.label);
                continue;
            }
            std::memcpy(m_text.data() + fix.at, &it->second, 4);
        }
        while (lines.size() > 1 && lines.back().empty())
            lines.pop_back();
        for (size_t n = 0; n < m_messages.size(); ++n) {
            if (!m_messageSet[n]) {
                m_line = static_cast<int>(lines.size());
                Error("message " + std::to_string(n) + " is missing");
            }
        }
        if (m_failed)
            return false;
        Write(out);
        return true;
    }

private:
    static bool EscapedBracketsOnly(std::string_view line)
    {
        return line.find('[') == std::string_view::npos;
    }

    void Error(const std::string& message)
    {
        m_failed = true;
        m_errors->push_back(std::string(m_file) + ":" + std::to_string(m_line) + ": " + message);
    }

    // "@labelorder A B ...": label table entry i is the label defined A_i-th in the source (from 0).
    void LabelOrder(std::string_view list)
    {
        if (m_orderLine != 0) {
            Error("@labelorder given twice");
            return;
        }
        m_orderLine = m_line;
        std::vector<std::string> tokens;
        Tokens(list, &tokens);
        for (const std::string& token : tokens) {
            int64_t v;
            if (!ParseInt(token, &v) || v < 0 || v > 0xFFFFFF) {
                Error("bad @labelorder entry " + token);
                return;
            }
            m_labelOrder.push_back(static_cast<uint32_t>(v));
        }
    }

    void ApplyLabelOrder()
    {
        const int line = m_line;
        m_line = m_orderLine;
        std::vector<bool> seen(m_labels.size());
        bool ok = m_labelOrder.size() == m_labels.size();
        for (uint32_t i : m_labelOrder) {
            ok = ok && i < seen.size() && !seen[i];
            if (ok)
                seen[i] = true;
        }
        if (!ok) {
            Error("@labelorder must name each of the " + std::to_string(m_labels.size()) + " labels once");
        } else {
            std::vector<std::pair<std::string, uint32_t>> ordered;
            for (uint32_t i : m_labelOrder)
                ordered.push_back(m_labels[i]);
            m_labels = std::move(ordered);
            // The first equal name in table order wins.
            m_labelOffsets.clear();
            for (const auto& [name, offset] : m_labels)
                m_labelOffsets.emplace(name, offset);
        }
        m_line = line;
    }

    void Label(std::string_view name)
    {
        std::string sjis, error;
        if (name.empty() || !DecodeText(name, &sjis, &error) || sjis.size() > 250) {
            Error("bad label name");
            return;
        }
        m_labels.emplace_back(sjis, static_cast<uint32_t>(m_text.size()));
        m_labelOffsets.emplace(sjis, static_cast<uint32_t>(m_text.size()));
    }

    // Splits arguments at blanks; "..." and {...} are one token each.
    bool Tokens(std::string_view s, std::vector<std::string>* out)
    {
        size_t i = 0;
        while (true) {
            while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
                ++i;
            if (i >= s.size())
                return true;
            const size_t start = i;
            bool quoted = false;
            int depth = 0;
            for (; i < s.size(); ++i) {
                const char c = s[i];
                if (quoted) {
                    if (c == '\\')
                        ++i;
                    else if (c == '"')
                        quoted = false;
                } else if (c == '"') {
                    quoted = true;
                } else if (c == '{') {
                    ++depth;
                } else if (c == '}') {
                    --depth;
                } else if (depth == 0 && std::isspace(static_cast<unsigned char>(c))) {
                    break;
                }
            }
            if (quoted || depth != 0) {
                Error("unterminated string or expression");
                return false;
            }
            out->emplace_back(s.substr(start, i - start));
        }
    }

    // One operand (condition or argument) into bytes: u8 source kind and its operand. kind -1:
    // none (flags 0). isCondition refuses strings.
    bool Operand(const std::string& token, int command, bool isCondition, std::vector<uint8_t>* out,
                 uint8_t* kind, size_t labelAt)
    {
        int64_t v;
        std::string error;
        if (token.size() >= 2 && token.front() == '"' && token.back() == '"' && !isCondition) {
            std::string s;
            if (!DecodeText(std::string_view(token).substr(1, token.size() - 2), &s, &error)) {
                Error(error);
                return false;
            }
            if (s.size() + 1 > 0xFFFF) {
                Error("string too long");
                return false;
            }
            *kind = 1;
            out->push_back(1);
            PutU16(*out, s.empty() ? 0 : static_cast<uint32_t>(s.size() + 1));
            if (!s.empty()) {
                out->insert(out->end(), s.begin(), s.end());
                out->push_back(0);
            }
            return true;
        }
        if (token.size() >= 2 && token.front() == '{' && token.back() == '}') {
            const std::string_view inner = Trim(std::string_view(token).substr(1, token.size() - 2));
            std::string source;
            if (inner.substr(0, 4) == "asm " || inner == "asm") {
                source = std::string(inner.substr(3));
                for (char& c : source)
                    if (c == '|')
                        c = '\n';
            } else {
                ExprParser parser(inner, m_options.variables);
                auto e = parser.Parse(&error);
                if (e == nullptr) {
                    Error(error);
                    return false;
                }
                source = ExprLowering(m_options.variables).Lower(*e);
            }
            LinkedCode code;
            if (!AssembleCode(source, m_options, &code, &error)) {
                Error(error);
                return false;
            }
            if (code.code.size() > 0xFFFF) {
                Error("expression code too long");
                return false;
            }
            *kind = 3;
            out->push_back(3);
            PutU16(*out, static_cast<uint32_t>(code.code.size()));
            out->insert(out->end(), code.code.begin(), code.code.end());
            out->push_back(0);
            size_t tableBytes = 0;
            for (const auto& t : code.tables) {
                if (t.size() > 255) {
                    Error("more than 255 links of one kind in an expression");
                    return false;
                }
                tableBytes += 1 + 8 * t.size();
            }
            PutU16(*out, static_cast<uint32_t>(tableBytes + 2));
            for (const auto& t : code.tables) {
                out->push_back(static_cast<uint8_t>(t.size()));
                for (const auto& [offset, value] : t) {
                    PutU32(*out, offset);
                    PutU32(*out, value);
                }
            }
            return true;
        }
        if (!token.empty() && token[0] == '*') {
            std::string label;
            if (!DecodeText(std::string_view(token).substr(1), &label, &error)) {
                Error(error);
                return false;
            }
            *kind = 0;
            out->push_back(0);
            m_fixes.push_back({labelAt + out->size(), label, m_line});
            PutU32(*out, 0);
            (void)command;
            return true;
        }
        if (ParseInt(token, &v)) {
            *kind = 0;
            out->push_back(0);
            PutU32(*out, static_cast<uint32_t>(v));
            return true;
        }
        // VAR or VAR[k].
        const size_t bracket = token.find('[');
        const std::string name = token.substr(0, bracket);
        int64_t element = 0;
        const int index = m_options.variables != nullptr ? m_options.variables->Find(name) : -1;
        if (index < 0 ||
            (bracket != std::string::npos &&
             (token.back() != ']' ||
              !ParseInt(token.substr(bracket + 1, token.size() - bracket - 2), &element) || element < 0))) {
            Error("bad argument " + token +
                  (m_options.variables == nullptr ? " (no --vars list for variables)" : ""));
            return false;
        }
        if (static_cast<uint64_t>(element) * 4 + 4 > m_options.variables->variables[index].size) {
            Error("element " + std::to_string(element) + " lies outside " + name);
            return false;
        }
        *kind = 2;
        out->push_back(2);
        PutU32(*out, static_cast<uint32_t>(index));
        PutU32(*out, static_cast<uint32_t>(element));
        return true;
    }

    void Command(std::string_view line)
    {
        std::vector<std::string> tokens;
        if (!Tokens(line, &tokens) || tokens.empty())
            return;
        size_t at = 0;
        std::string condition;
        if (tokens[0] == "if") {
            if (tokens.size() < 3) {
                Error("if needs a condition and a command");
                return;
            }
            condition = tokens[1];
            at = 2;
        }
        int command = TobCommandNumber(tokens[at]);
        if (tokens[at] == "cmd") {
            int64_t n;
            if (at + 1 >= tokens.size() || !ParseInt(tokens[at + 1], &n) || n < 0 || n > 129) {
                Error("cmd needs a number 0-129");
                return;
            }
            command = static_cast<int>(n);
            ++at;
        }
        if (command < 0) {
            Error("unknown command " + tokens[at]);
            return;
        }
        ++at;
        const size_t recordAt = m_text.size();
        std::vector<uint8_t> record = {'[', ' '};
        PutU32(record, static_cast<uint32_t>(command));
        // @message: the record's offset goes into the message table.
        if (command == 12) {
            int64_t number = static_cast<int64_t>(m_nextMessage), word = 0;
            bool hasWord = false;
            std::vector<std::string> rest;
            for (size_t k = at; k < tokens.size(); ++k) {
                if (tokens[k].rfind("word=", 0) == 0) {
                    if (!ParseInt(tokens[k].substr(5), &word)) {
                        Error("bad word=");
                        return;
                    }
                    hasWord = true;
                } else {
                    rest.push_back(tokens[k]);
                }
            }
            if (!rest.empty() && !ParseInt(rest[0], &number)) {
                Error("message needs a number");
                return;
            }
            if (number < 0 || number > 0xFFFFF) {
                Error("bad message number");
                return;
            }
            if (hasWord && !m_options.tob1) {
                Error("word= needs --tob1");
                return;
            }
            if (static_cast<size_t>(number) >= m_messages.size()) {
                m_messages.resize(number + 1, 0);
                m_messageSet.resize(number + 1, false);
                m_words.resize(number + 1, 0);
            }
            if (m_messageSet[number]) {
                Error("message " + std::to_string(number) + " given twice");
                return;
            }
            m_messageSet[number] = true;
            m_messages[number] = static_cast<uint32_t>(recordAt);
            m_words[number] = static_cast<uint32_t>(word);
            m_nextMessage = static_cast<uint32_t>(number + 1);
            tokens.resize(at);
            tokens.push_back(std::to_string(number));
            tokens.insert(tokens.end(), rest.size() > 1 ? rest.begin() + 1 : rest.end(), rest.end());
        }
        uint8_t kind = 0;
        if (condition.empty()) {
            record.push_back(1);
        } else {
            std::vector<uint8_t> operand;
            if (!Operand(condition, command, true, &operand, &kind, recordAt + record.size()))
                return;
            // The operand starts with its kind byte, which is the condition kind.
            record.insert(record.end(), operand.begin(), operand.end());
        }
        const size_t kAt = record.size();
        PutU32(record, 0);
        const size_t argumentCount = tokens.size() - at;
        if (argumentCount > 255) {
            Error("more than 255 arguments");
            return;
        }
        record.push_back(static_cast<uint8_t>(argumentCount));
        for (size_t k = at; k < tokens.size(); ++k) {
            std::string token = tokens[k];
            if (token == "-") {
                record.push_back(0);
                continue;
            }
            if (token[0] == '=') {
                int64_t v;
                if (!ParseInt(token.substr(1), &v)) {
                    Error("bad =n argument " + token);
                    return;
                }
                record.push_back(2);
                PutU32(record, static_cast<uint32_t>(v));
                continue;
            }
            int flags = -1;
            if (token[0] == '#') {
                const size_t colon = token.find(':');
                int64_t f;
                if (colon == std::string::npos || !ParseInt(token.substr(1, colon - 1), &f) || f < 1 ||
                    f > 255 || f == 2) {
                    Error("bad #FLAGS:argument " + token);
                    return;
                }
                flags = static_cast<int>(f);
                token = token.substr(colon + 1);
            }
            std::vector<uint8_t> operand;
            if (!Operand(token, command, false, &operand, &kind, recordAt + record.size() + 1))
                return;
            if (flags < 0)
                flags = token[0] == '*' && command >= 7 && command <= 9 ? 0xFF : 1;
            record.push_back(static_cast<uint8_t>(flags));
            record.insert(record.end(), operand.begin(), operand.end());
        }
        const uint32_t skip = static_cast<uint32_t>(record.size() - kAt);
        std::memcpy(record.data() + kAt, &skip, 4);
        m_text.insert(m_text.end(), record.begin(), record.end());
    }

    void Inline(const std::string& source)
    {
        LinkedCode code;
        std::string error;
        if (!AssembleCode(source, m_options, &code, &error)) {
            Error(error);
            return;
        }
        std::vector<uint8_t> record = {'[', 's'};
        PutU32(record, static_cast<uint32_t>(code.code.size()));
        record.insert(record.end(), code.code.begin(), code.code.end());
        record.push_back(0);
        size_t tableBytes = 0;
        for (const auto& t : code.tables)
            tableBytes += 4 + 8 * t.size();
        PutU32(record, static_cast<uint32_t>(tableBytes + 4));
        for (const auto& t : code.tables) {
            PutU32(record, static_cast<uint32_t>(t.size()));
            for (const auto& [offset, value] : t) {
                PutU32(record, offset);
                PutU32(record, value);
            }
        }
        m_text.insert(m_text.end(), record.begin(), record.end());
    }

    void Write(std::vector<uint8_t>* out)
    {
        std::vector<uint8_t> labels;
        for (const auto& [name, offset] : m_labels) {
            labels.push_back(static_cast<uint8_t>(name.size() + 1 + 4));
            labels.insert(labels.end(), name.begin(), name.end());
            labels.push_back(0);
            PutU32(labels, offset);
        }
        std::vector<uint8_t> file = {'T', 'O', 'B', m_options.tob1 ? uint8_t('1') : uint8_t('0')};
        PutU32(file, static_cast<uint32_t>(8 + labels.size()));
        PutU32(file, static_cast<uint32_t>(m_labels.size()));
        file.insert(file.end(), labels.begin(), labels.end());
        const size_t m = m_messages.size();
        PutU32(file, static_cast<uint32_t>(8 + m * (m_options.tob1 ? 8 : 4)));
        PutU32(file, static_cast<uint32_t>(m));
        for (uint32_t offset : m_messages)
            PutU32(file, offset);
        if (m_options.tob1)
            for (uint32_t word : m_words)
                PutU32(file, word);
        file.insert(file.end(), m_text.begin(), m_text.end());
        *out = std::move(file);
    }

    std::string_view m_file;
    const TobPackOptions& m_options;
    std::vector<std::string>* m_errors;
    int m_line = 0;
    bool m_failed = false;
    std::vector<uint8_t> m_text;
    std::vector<std::pair<std::string, uint32_t>> m_labels;
    std::map<std::string, uint32_t> m_labelOffsets;
    std::vector<LabelFix> m_fixes;
    std::vector<uint32_t> m_messages, m_words;
    std::vector<bool> m_messageSet;
    uint32_t m_nextMessage = 0;
    std::vector<uint32_t> m_labelOrder;
    int m_orderLine = 0;
};

// ---- reading ----

struct TobView {
    bool tob1 = false;
    std::vector<std::pair<std::string, uint32_t>> labels;
    std::vector<uint32_t> messages, words;
    const uint8_t* text = nullptr;
    uint32_t textSize = 0;
    std::string unwritable; // why the file cannot be written as source, empty when it can
};

// The store's checks, then the parts as the listing shows them.
bool ReadTob(const uint8_t* bytes, size_t size, TobView* view, std::string* error)
{
    TobLayout l;
    if (!CheckTobFile(bytes, size, &l, error))
        return false;
    view->tob1 = l.tob1;
    uint32_t at = l.labels;
    for (uint32_t i = 0; i < l.labelCount; ++i) {
        const uint32_t n = bytes[at];
        const char* name = reinterpret_cast<const char*>(bytes + at + 1);
        const size_t length = strnlen(name, n - 4);
        if (length != n - 5 && view->unwritable.empty())
            view->unwritable = "label " + std::to_string(i) + " has bytes after its name's NUL";
        if (length == 0 && view->unwritable.empty())
            view->unwritable = "label " + std::to_string(i) + " has an empty name";
        uint32_t offset;
        std::memcpy(&offset, bytes + at + 1 + n - 4, 4);
        view->labels.emplace_back(std::string(name, length), offset);
        at += n + 1;
    }
    if (at != l.labelsEnd && view->unwritable.empty())
        view->unwritable = "the label block holds bytes after its labels";
    for (uint32_t i = 0; i < l.messageCount; ++i) {
        uint32_t v;
        std::memcpy(&v, bytes + l.messages + 4 * i, 4);
        view->messages.push_back(v);
        if (l.tob1) {
            std::memcpy(&v, bytes + l.messageWords + 4 * i, 4);
            view->words.push_back(v);
        }
    }
    if (l.messages + 4ull * l.messageCount * (l.tob1 ? 2 : 1) != l.textOffset && view->unwritable.empty())
        view->unwritable = "the message block holds bytes after its messages";
    view->text = bytes + l.textOffset;
    view->textSize = l.textSize;
    return true;
}

std::string Quote(std::string_view sjis)
{
    return "\"" + EncodeText(sjis, true) + "\"";
}

const char* const kUnlistedLinks = "a link off a cell boundary, or two links on one cell";

// Link tables read back from a record, as listing references.
bool ReadTables(ByteReader& in, bool wide, SobListingLinks* links, const SobVariableLayout* variables,
                const SobAssembly* library)
{
    for (int table = 1; table <= 5; ++table) {
        uint32_t count;
        if (!(wide ? in.U32(&count) : in.U8(&count)) || count > in.Left() / 8)
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t offset, value;
            in.U32(&offset);
            in.U32(&value);
            // The listing shows a link on the cell it fills: one a cell, each on a cell boundary.
            if (offset % 4 != 0 || links->cells.count(offset) != 0)
                return false;
            links->cells[offset] = MakeListingEntry(table, offset, value, variables, library);
        }
    }
    return true;
}

std::string ListCode(const uint8_t* code, uint32_t n, const SobListingLinks& links, bool oneLine)
{
    SobListingLinks withLength = links;
    withLength.codeLength = n;
    const std::string listing = DisassembleSob(code, n, 0, &withLength);
    if (!oneLine)
        return listing;
    std::string out;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        if (end == std::string::npos)
            end = listing.size();
        std::string_view line = std::string_view(listing).substr(start, end - start);
        start = end + 1;
        bool quoted = false;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"')
                quoted = !quoted;
            if (!quoted && line[i] == ';') {
                line = line.substr(0, i);
                break;
            }
        }
        line = Trim(line);
        if (line.empty())
            continue;
        if (!out.empty())
            out += " | ";
        out += line;
    }
    return out;
}

// A label name as source: blanks at either end escaped, since the packer trims them.
std::string LabelName(const std::string& sjis)
{
    std::string name = EncodeText(sjis, false);
    if (!name.empty() && name.back() == ' ')
        name.replace(name.size() - 1, 1, "\\x20");
    if (!name.empty() && name[0] == ' ')
        name.replace(0, 1, "\\x20");
    return name;
}

class Disassembler {
public:
    Disassembler(const TobView& view, const SobVariableLayout* variables, const SobAssembly* library)
        : m_view(view), m_variables(variables), m_library(library)
    {}

    bool Run(std::string* out, std::string* error)
    {
        if (!m_view.unwritable.empty()) {
            *error = m_view.unwritable;
            return false;
        }
        std::multimap<uint32_t, std::string> labels;
        for (const auto& [name, offset] : m_view.labels)
            labels.emplace(offset, name);
        std::map<uint32_t, uint32_t> messages; // offset -> number
        for (uint32_t i = 0; i < m_view.messages.size(); ++i) {
            if (!messages.emplace(m_view.messages[i], i).second) {
                *error = "messages " + std::to_string(messages[m_view.messages[i]]) + " and " + std::to_string(i) +
                         " share one record";
                return false;
            }
        }
        // Labels are written where they point, in text order; a table in another order (the
        // first equal name wins in table order) is written as @labelorder.
        std::vector<uint32_t> order(m_view.labels.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return m_view.labels[a].second < m_view.labels[b].second; });
        std::vector<uint32_t> sourceIndex(order.size());
        bool inOrder = true;
        for (uint32_t k = 0; k < order.size(); ++k) {
            sourceIndex[order[k]] = k;
            inOrder = inOrder && order[k] == k;
        }
        if (!inOrder) {
            std::string line = "@labelorder";
            for (uint32_t k : sourceIndex)
                line += " " + std::to_string(k);
            *out += line + "\n";
        }
        std::string text;
        auto flushText = [&]() {
            if (!text.empty()) {
                std::string line = EncodeText(text, false);
                if (line[0] == '*' || line[0] == ';' || line[0] == '@' ||
                    std::isspace(static_cast<unsigned char>(line[0])))
                    line = "\\x" +
                           std::string(line[0] == '*'   ? "2A"
                                       : line[0] == ';' ? "3B"
                                       : line[0] == '@' ? "40"
                                                        : "20") +
                           line.substr(1);
                *out += line + "\n";
                text.clear();
            }
        };
        size_t nextLabel = 0;
        const uint8_t* t = m_view.text;
        const uint32_t size = m_view.textSize;
        auto byteAt = [&](uint32_t p) -> uint8_t { return p < size ? t[p] : 0; };
        uint32_t at = 0;
        uint32_t messagesSeen = 0;
        while (true) {
            while (nextLabel < order.size() && m_view.labels[order[nextLabel]].second <= at) {
                if (m_view.labels[order[nextLabel]].second != at) {
                    *error = "label inside a record";
                    return false;
                }
                flushText();
                *out += "*" + LabelName(m_view.labels[order[nextLabel]].first) + "\n";
                ++nextLabel;
            }
            if (at >= size)
                break;
            const uint8_t c = t[at];
            if (c == 0) {
                // A NUL ends the text there; labels lead on past it.
                flushText();
                *out += "; the text ends\n\\x00\n";
                ++at;
                continue;
            }
            if (c == '[' && (byteAt(at + 1) == ' ' || byteAt(at + 1) == 's')) {
                flushText();
                uint32_t end;
                if (!Record(at, messages, labels, out, &end, error))
                    return false;
                messagesSeen += t[at + 1] == ' ' && messages.count(at) != 0;
                at = end;
                continue;
            }
            const bool labelInside = labels.count(at + 1) != 0;
            const uint32_t n = IsLead(c) && byteAt(at + 1) != 0 && !labelInside ? 2 : 1;
            text.append(reinterpret_cast<const char*>(t + at), n);
            at += n;
        }
        flushText();
        if (nextLabel != order.size()) {
            *error = "label past the text";
            return false;
        }
        if (messagesSeen != messages.size()) {
            for (const auto& [offset, number] : messages) {
                if (offset >= size || t[offset] != '[' || byteAt(offset + 1) != ' ') {
                    *error = "message " + std::to_string(number) + " does not point at a message record";
                    return false;
                }
            }
        }
        return true;
    }

private:
    bool Operand(ByteReader& in, uint32_t kind, uint32_t command, uint32_t flags,
                 const std::multimap<uint32_t, std::string>& labels, std::string* out, std::string* error)
    {
        uint32_t a, b;
        switch (kind) {
        case 0: {
            if (!in.U32(&a))
                return false;
            const bool offsetArgument =
                (command <= 3 && flags == 1) || (command >= 7 && command <= 9 && flags == 0xFF);
            auto it = labels.lower_bound(a);
            if (offsetArgument && it != labels.end() && it->first == a && UniqueLabel(it->second))
                *out += "*" + LabelName(it->second);
            else
                *out += std::to_string(static_cast<int32_t>(a));
            return true;
        }
        case 1: {
            const uint8_t* s;
            if (!in.U16(&a) || !in.Take(a, &s))
                return false;
            if (a != 0 && (s[a - 1] != 0 || std::memchr(s, 0, a) != s + a - 1)) {
                *error = "string without its NUL";
                return false;
            }
            *out += Quote(std::string_view(reinterpret_cast<const char*>(s), a == 0 ? 0 : a - 1));
            return true;
        }
        case 2: {
            if (!in.U32(&a) || !in.U32(&b))
                return false;
            if (m_variables == nullptr || a >= m_variables->variables.size()) {
                *error = "variable " + std::to_string(a) + " needs a --vars list";
                return false;
            }
            *out += m_variables->variables[a].name + "[" + std::to_string(b) + "]";
            return true;
        }
        case 3: {
            const uint8_t *code, *flag, *tables;
            if (!in.U16(&a) || !in.Take(a, &code) || !in.Take(1, &flag) || !in.U16(&b) || b < 2 ||
                !in.Take(b - 2, &tables))
                return false;
            ByteReader tableReader(tables, b - 2);
            SobListingLinks links;
            if (*flag != 0) {
                *error = "expression already linked";
                return false;
            }
            if (!ReadTables(tableReader, false, &links, m_variables, m_library) || tableReader.Left() != 0) {
                *error = kUnlistedLinks;
                return false;
            }
            *out += "{asm " + ListCode(code, a, links, true) + "}";
            return true;
        }
        default:
            *error = "unknown source kind " + std::to_string(kind);
            return false;
        }
    }

    bool UniqueLabel(const std::string& name) const
    {
        int n = 0;
        for (const auto& l : m_view.labels)
            n += l.first == name;
        return n == 1;
    }

    bool Record(uint32_t at, const std::map<uint32_t, uint32_t>& messages,
                const std::multimap<uint32_t, std::string>& labels, std::string* out, uint32_t* end,
                std::string* error)
    {
        const uint8_t* t = m_view.text;
        ByteReader in(t + at + 2, m_view.textSize - at - 2);
        if (t[at + 1] == 's') {
            uint32_t n, length;
            const uint8_t *code, *flag, *tables;
            if (!in.U32(&n) || !in.Take(n, &code) || !in.Take(1, &flag) || !in.U32(&length) || length < 4 ||
                !in.Take(length - 4, &tables) || *flag != 0) {
                *error = "inline record damaged";
                return false;
            }
            ByteReader tableReader(tables, length - 4);
            SobListingLinks links;
            if (!ReadTables(tableReader, true, &links, m_variables, m_library) || tableReader.Left() != 0) {
                *error = std::string("inline code: ") + kUnlistedLinks;
                return false;
            }
            *out += "@sob\n" + ListCode(code, n, links, false) + "@end\n";
            *end = at + 2 + static_cast<uint32_t>(in.Position());
            return true;
        }
        uint32_t command, kind, skip, count;
        if (!in.U32(&command) || command > 129 || !in.U8(&kind) || kind > 3) {
            *error = "command record damaged";
            return false;
        }
        std::string line = "@";
        if (kind != 1) {
            line += "if ";
            if (!Operand(in, kind, command, 0, labels, &line, error))
                return *error += " (condition)", false;
            line += " ";
        }
        const size_t kAt = in.Position();
        if (!in.U32(&skip) || skip < 5 || skip - 4 > in.Left() || !in.U8(&count)) {
            *error = "command record damaged";
            return false;
        }
        const std::string name = TobCommandName(command);
        line += name;
        auto message = messages.find(at);
        if (message != messages.end() && command != 12) {
            *error = "message " + std::to_string(message->second) + " points at command " + std::to_string(command) +
                     ", not at a message record";
            return false;
        }
        const bool isMessage = command == 12 && message != messages.end();
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t flags, source;
            if (!in.U8(&flags)) {
                *error = "command record damaged";
                return false;
            }
            line += " ";
            if (flags == 0) {
                line += "-";
                continue;
            }
            if (flags == 2) {
                uint32_t v;
                if (!in.U32(&v))
                    return *error = "command record damaged", false;
                line += "=" + std::to_string(static_cast<int32_t>(v));
                continue;
            }
            if (!in.U8(&source))
                return *error = "command record damaged", false;
            std::string argument;
            if (!Operand(in, source, command, flags, labels, &argument, error))
                return false;
            const bool isLabel = argument[0] == '*';
            const uint32_t defaultFlags = isLabel && command >= 7 && command <= 9 ? 0xFF : 1;
            if (flags != defaultFlags)
                line += "#" + std::to_string(flags) + ":";
            line += argument;
            // The message number argument of a table message must stay first and plain.
            if (isMessage && i == 0 &&
                (flags != 1 || source != 0 || argument != std::to_string(message->second))) {
                *error = "message record whose first argument is not its number";
                return false;
            }
        }
        if (in.Position() != kAt + skip) {
            *error = "command record length does not match its arguments";
            return false;
        }
        if (isMessage && m_view.tob1 && m_view.words[message->second] != 0)
            line += " word=" + std::to_string(m_view.words[message->second]);
        if (command == 12 && !isMessage) {
            *error = "message record missing from the message table";
            return false;
        }
        *out += line + "\n";
        *end = at + 2 + static_cast<uint32_t>(in.Position());
        return true;
    }

    const TobView& m_view;
    const SobVariableLayout* m_variables;
    const SobAssembly* m_library;
};

} // namespace

std::string TobCommandName(uint32_t command)
{
    if (command < 130 && kCommandNames[command][0] != '\0')
        return kCommandNames[command];
    return "cmd " + std::to_string(command);
}

int TobCommandNumber(std::string_view name)
{
    for (int i = 0; i < 130; ++i) {
        if (name == kCommandNames[i] && !name.empty())
            return i;
    }
    return -1;
}

bool PackTob(std::string_view source, std::string_view fileName, const TobPackOptions& options,
             std::vector<uint8_t>* out, std::vector<std::string>* errors)
{
    Packer packer(fileName, options, errors);
    return packer.Run(source, out);
}

bool TobMessageCount(const uint8_t* bytes, size_t size, uint32_t* count)
{
    TobView view;
    std::string error;
    if (!ReadTob(bytes, size, &view, &error))
        return false;
    *count = static_cast<uint32_t>(view.messages.size());
    return true;
}

bool ListTob(const uint8_t* bytes, size_t size, std::string* out, std::string* error)
{
    TobView view;
    if (!ReadTob(bytes, size, &view, error))
        return false;
    std::string s = std::string(view.tob1 ? "TOB1" : "TOB0") + " text " + std::to_string(view.textSize) +
                    " bytes, " + std::to_string(view.labels.size()) + " labels, " +
                    std::to_string(view.messages.size()) + " messages\n";
    for (const auto& [name, offset] : view.labels)
        s += "label *" + EncodeText(name, false) + " " + std::to_string(offset) + "\n";
    for (size_t i = 0; i < view.messages.size(); ++i) {
        s += "message " + std::to_string(i) + " " + std::to_string(view.messages[i]);
        if (view.tob1)
            s += " word " + std::to_string(view.words[i]);
        s += "\n";
    }
    *out = s;
    return true;
}

bool DisassembleTob(const uint8_t* bytes, size_t size, const SobVariableLayout* variables,
                    const SobAssembly* library, std::string* out, std::string* error)
{
    TobView view;
    if (!ReadTob(bytes, size, &view, error))
        return false;
    // A message gap cannot be written as source.
    std::string text = view.tob1 ? "; TOB1 (pack with --tob1)\n" : "";
    Disassembler d(view, variables, library);
    if (!d.Run(&text, error))
        return false;
    // What the source cannot say (an order of link entries, a form of code the assembler writes
    // otherwise) is found by packing the listing again: a listing is only given when it is exact.
    TobPackOptions options;
    options.tob1 = view.tob1;
    options.variables = variables;
    options.library = library;
    std::vector<uint8_t> again;
    std::vector<std::string> errors;
    if (!PackTob(text, "listing", options, &again, &errors)) {
        *error = "the listing does not pack: " + (errors.empty() ? std::string() : errors[0]);
        return false;
    }
    if (again.size() != size || std::memcmp(again.data(), bytes, size) != 0) {
        size_t at = 0;
        while (at < size && at < again.size() && again[at] == bytes[at])
            ++at;
        *error = "the listing packs to other bytes (from byte " + std::to_string(at) + ")";
        return false;
    }
    *out = text;
    return true;
}

bool WriteTgsInit(const std::vector<TgsInitRow>& rows, std::vector<uint8_t>* out, std::string* error)
{
    std::vector<uint8_t> bytes;
    PutU32(bytes, static_cast<uint32_t>(rows.size()));
    for (const TgsInitRow& row : rows) {
        if (row.name.empty() || row.name.size() > 254 || row.name.find('\0') != std::string::npos) {
            *error = "bad script name '" + row.name + "'";
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(row.name.size() + 1));
        bytes.insert(bytes.end(), row.name.begin(), row.name.end());
        bytes.push_back(0);
        PutU32(bytes, row.readBits);
        PutU32(bytes, row.secondBits);
    }
    *out = std::move(bytes);
    return true;
}
