#include "app/scripttext.h"

#include <QStringDecoder>

#include <cstring>

namespace {
constexpr char kBom[] = "\xEF\xBB\xBF";

inline bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

QStringView breakText(LineBreak style)
{
    switch (style) {
    case LineBreak::Lf:
        return u"\n";
    case LineBreak::Cr:
        return u"\r";
    case LineBreak::CrLf:
        break;
    }
    return u"\r\n";
}

QString replaceAll(QStringView text, QStringView from, QStringView to)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype pos = 0;
    for (;;) {
        const qsizetype hit = text.indexOf(from, pos);
        if (hit < 0)
            break;
        out.append(text.mid(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.mid(pos));
    return out;
}
} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        // Plain ASCII eight bytes at a time.
        if (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned int min;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        unsigned int cp = c & (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) {
            if (!isContinuation(p[i]))
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

DecodedScript decodeScript(QByteArrayView raw)
{
    DecodedScript out;
    if (isValidUtf8(raw)) {
        out.encoding = ScriptEncoding::Utf8;
        out.byteOrderMark = raw.startsWith(QByteArrayView(kBom, 3));
        out.utf8 = raw.sliced(out.byteOrderMark ? 3 : 0).toByteArray();
        return out;
    }
    out.encoding = ScriptEncoding::Latin1;
    out.utf8.reserve(raw.size() + raw.size() / 16);
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.utf8.append(ch);
        } else {
            out.utf8.append(static_cast<char>(0xC0 | (c >> 6)));
            out.utf8.append(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

EncodedScript encodeScript(QByteArrayView utf8, ScriptEncoding encoding, bool byteOrderMark)
{
    EncodedScript out;
    if (encoding == ScriptEncoding::Latin1) {
        out.bytes.reserve(utf8.size());
        const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
        const auto *end = p + utf8.size();
        bool fits = true;
        while (p < end) {
            const unsigned char c = *p;
            if (c < 0x80) {
                out.bytes.append(static_cast<char>(c));
                ++p;
            } else if ((c == 0xC2 || c == 0xC3) && end - p >= 2 && isContinuation(p[1])) {
                out.bytes.append(static_cast<char>(((c & 0x03) << 6) | (p[1] & 0x3F)));
                p += 2;
            } else {
                fits = false;
                break;
            }
        }
        if (fits)
            return out;
        out.fellBackToUtf8 = true;
        out.bytes.clear();
        byteOrderMark = false;
    }
    out.bytes.reserve(utf8.size() + 3);
    if (byteOrderMark)
        out.bytes.append(kBom, 3);
    out.bytes.append(utf8.data(), utf8.size());
    return out;
}

QString textFromPaneBytes(QByteArrayView utf8)
{
    // QString::fromUtf8 would drop a U+FEFF at the start as a byte-order mark.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

LineBreak detectLineBreak(QByteArrayView bytes)
{
    const bool hasCr = bytes.contains('\r');
    const bool hasLf = bytes.contains('\n');
    if (hasLf && !bytes.contains(QByteArrayView("\r\n", 2)))
        return LineBreak::Lf;
    if (hasCr && !hasLf)
        return LineBreak::Cr;
    return LineBreak::CrLf;
}

QString breaksToCrLf(QStringView text, LineBreak style)
{
    if (style == LineBreak::CrLf)
        return text.toString();
    return replaceAll(text, breakText(style), u"\r\n");
}

QString breaksFromCrLf(QStringView text, LineBreak style)
{
    if (style == LineBreak::CrLf)
        return text.toString();
    return replaceAll(text, u"\r\n", breakText(style));
}
