#include "app/scripttext.h"

#include <QStringDecoder>

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

DecodedScript decodeScript(QByteArrayView raw)
{
    DecodedScript out;
    if (raw.isValidUtf8()) {
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

QByteArray encodeScript(QByteArrayView utf8, ScriptEncoding encoding, bool byteOrderMark)
{
    QByteArray out;
    if (encoding == ScriptEncoding::Latin1) {
        out.reserve(utf8.size());
        const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
        const auto *end = p + utf8.size();
        bool fits = true;
        while (p < end) {
            const unsigned char c = *p;
            if (c < 0x80) {
                out.append(static_cast<char>(c));
                ++p;
            } else if ((c == 0xC2 || c == 0xC3) && end - p >= 2 && isContinuation(p[1])) {
                out.append(static_cast<char>(((c & 0x03) << 6) | (p[1] & 0x3F)));
                p += 2;
            } else {
                fits = false;
                break;
            }
        }
        if (fits)
            return out;
        out.clear();
        byteOrderMark = false;
    }
    out.reserve(utf8.size() + 3);
    if (byteOrderMark)
        out.append(kBom, 3);
    out.append(utf8.data(), utf8.size());
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
