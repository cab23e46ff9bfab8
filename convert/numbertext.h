#pragma once
// Numbers as text for the export's text files: the shortest text that
// reads back as the same float, always the same for the same number.
#include <QByteArray>

#include <charconv>

namespace convert {

inline void appendNumber(QByteArray &out, float value)
{
    char text[32];
    // + 0.0f: a negative zero is written as 0.
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value + 0.0f);
    out.append(text, written.ptr - text);
}

// " x y z" (or fewer) after a line's keyword.
inline void appendNumbers(QByteArray &out, std::initializer_list<float> values)
{
    for (const float value : values) {
        out.append(' ');
        appendNumber(out, value);
    }
}

} // namespace convert
