// Walks a parameter text such as "(120, 0x40, -3, 1.5, name)" from left to right: skips
// separators (blank, tab, comma, parentheses), reads signed integers in decimal, hexadecimal (0x)
// or binary (0b), decimal fractions, and bare tokens that may hold Shift-JIS characters (a lead
// byte and its trail byte always travel together). It keeps only a position in the caller's text.
#pragma once

#include <cstddef>
#include <cstdint>

class CParamTokenizer {
public:
    explicit CParamTokenizer(const char* text = nullptr) : m_position(text) {}
    virtual ~CParamTokenizer() = default;

    void SetText(const char* text) { m_position = text; }
    const char* GetPosition() const { return m_position; }

    // Advance over separators / blanks only / to the next token end; each returns the character
    // now at the position as a signed byte (0 at the end or without text).
    int SkipSeparators();
    int SkipBlanks();
    int SkipToken();

    // Copies the token at the position (no separators skipped first). 0 ok (the position stays on
    // the token end), 1 no text / at the end / size 0, 3 buffer too small: a token of n bytes needs
    // size n + 2. With 3 the position has moved past the bytes copied, which are terminated.
    uint32_t GetToken(char* buffer, size_t size);
    // Skips separators, then reads [-]digits, [-]0x hex digits or [-]0b binary digits (wrapping at
    // 32 bits). 0 ok, 1 no text, 2 not a number (position after the separators).
    uint32_t GetInt(int32_t* out);
    // Skips separators, then reads [-]digits[.digits]. 0 ok, 1 no text, 2 not a number.
    uint32_t GetFloat(double* out);

private:
    const char* m_position;
};
