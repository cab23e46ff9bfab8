#include "rwx/scripttext.h"

#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>

namespace {
constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";
constexpr qsizetype kChunk = qsizetype(1) << 20;
constexpr qsizetype kUnwritableShown = 5;
constexpr char kCodePage[] = "windows-1252";

// Qt's converters named "windows-1252" turn each of the 256 bytes into one
// character and back, the five bytes the code page leaves undefined included
// (as U+0081, U+008D, U+008F, U+0090, U+009D). Without them, Latin-1 is the
// next best: it also gives every byte back as it was. Converters are made in
// place, never moved: a moved one loses track of its errors.
const char *codePage()
{
    static const bool available = QStringDecoder(kCodePage).isValid() && QStringEncoder(kCodePage).isValid();
    return available ? kCodePage : "ISO-8859-1";
}

// Adds the characters of text that the code page cannot hold to found, each
// once, until it holds kUnwritableShown of them.
void collectUnwritable(QStringView text, QStringList *found)
{
    QSet<char32_t> judged;
    for (qsizetype i = 0; i < text.size() && found->size() < kUnwritableShown;) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = text.sliced(i, length);
        i += length;
        const char32_t code = length == 2 ? QChar::surrogateToUcs4(character[0], character[1]) : character[0].unicode();
        if (code < 0x80 || judged.contains(code))
            continue;
        judged.insert(code);
        QStringEncoder encoder(codePage());
        const QByteArray ignored = encoder(character); // only whether it fails matters
        if (encoder.hasError())
            found->append(character.toString());
    }
}

bool isUtf16(ScriptEncoding encoding)
{
    return encoding == ScriptEncoding::Utf16LE || encoding == ScriptEncoding::Utf16BE;
}

QStringConverter::Encoding utf16Converter(ScriptEncoding encoding)
{
    return encoding == ScriptEncoding::Utf16BE ? QStringConverter::Utf16BE : QStringConverter::Utf16LE;
}

// The UTF-16 code unit at a byte offset.
char16_t unitAt(QByteArrayView bytes, qsizetype at, ScriptEncoding encoding)
{
    const auto first = uchar(bytes[at]);
    const auto second = uchar(bytes[at + 1]);
    return encoding == ScriptEncoding::Utf16BE ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
}

// True when the bytes are whole UTF-16 code units and every surrogate is
// one half of a pair: only then is the text all characters, so that it
// turns into the very same bytes again.
bool isValidUtf16(QByteArrayView bytes, ScriptEncoding encoding)
{
    if (bytes.size() % 2 != 0)
        return false;
    for (qsizetype at = 0; at < bytes.size(); at += 2) {
        const char16_t unit = unitAt(bytes, at, encoding);
        if (QChar::isLowSurrogate(unit))
            return false;
        if (QChar::isHighSurrogate(unit)) {
            at += 2;
            if (at == bytes.size() || !QChar::isLowSurrogate(unitAt(bytes, at, encoding)))
                return false;
        }
    }
    return true;
}

// The UTF-16 the bytes are written in: they start with its byte-order mark
// and hold whole characters after it.
std::optional<ScriptEncoding> utf16EncodingOf(QByteArrayView raw)
{
    ScriptEncoding encoding;
    if (raw.startsWith(QByteArrayView(kUtf16LeBom, 2)))
        encoding = ScriptEncoding::Utf16LE;
    else if (raw.startsWith(QByteArrayView(kUtf16BeBom, 2)))
        encoding = ScriptEncoding::Utf16BE;
    else
        return std::nullopt;
    if (!isValidUtf16(raw.sliced(2), encoding))
        return std::nullopt;
    return encoding;
}

// The UTF-16 text after its byte-order mark as UTF-8, a megabyte at a time
// and never cutting a surrogate pair; a U+FEFF right after the mark is text.
QByteArray utf8FromUtf16(QByteArrayView text, ScriptEncoding encoding)
{
    QByteArray out;
    out.reserve(text.size() / 2 + text.size() / 8);
    QStringDecoder decoder(utf16Converter(encoding), QStringDecoder::Flag::ConvertInitialBom);
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = std::min(at + kChunk, text.size());
        if (end < text.size() && QChar::isHighSurrogate(unitAt(text, end - 2, encoding)))
            end += 2;
        out.append(QString(decoder(text.sliced(at, end - at))).toUtf8());
        at = end;
    }
    return out;
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
    if (const std::optional<ScriptEncoding> utf16 = utf16EncodingOf(raw)) {
        out.encoding = *utf16;
        out.byteOrderMark = true;
        out.utf8 = utf8FromUtf16(raw.sliced(2), *utf16);
        return out;
    }
    if (raw.isValidUtf8()) {
        out.encoding = ScriptEncoding::Utf8;
        out.byteOrderMark = raw.startsWith(QByteArrayView(kBom, 3));
        out.utf8 = raw.sliced(out.byteOrderMark ? 3 : 0).toByteArray();
        return out;
    }
    out.encoding = ScriptEncoding::Windows1252;
    out.utf8.reserve(raw.size() + raw.size() / 16);
    QStringDecoder decoder(codePage());
    for (qsizetype at = 0; at < raw.size(); at += kChunk)
        out.utf8.append(QString(decoder(raw.sliced(at, std::min(kChunk, raw.size() - at)))).toUtf8());
    return out;
}

EncodedScript encodeScript(QByteArrayView utf8, ScriptEncoding encoding, bool byteOrderMark)
{
    EncodedScript out;
    if (encoding == ScriptEncoding::Utf8) {
        out.bytes.reserve(utf8.size() + 3);
        if (byteOrderMark)
            out.bytes.append(kBom, 3);
        out.bytes.append(utf8.data(), utf8.size());
        return out;
    }
    if (isUtf16(encoding)) {
        out.bytes.reserve(utf8.size() * 2 + 2);
        if (byteOrderMark)
            out.bytes.append(encoding == ScriptEncoding::Utf16BE ? kUtf16BeBom : kUtf16LeBom, 2);
        QStringDecoder fromUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        QStringEncoder toUtf16(utf16Converter(encoding)); // writes no mark of its own
        for (qsizetype at = 0; at < utf8.size(); at += kChunk) {
            const QString text = fromUtf8(utf8.sliced(at, std::min(kChunk, utf8.size() - at)));
            out.bytes.append(toUtf16(text));
        }
        return out;
    }
    // Chunk by chunk, so a long script is never held twice over as UTF-16.
    // The UTF-8 decoder carries a character cut at a chunk's end over to the next.
    out.bytes.reserve(utf8.size());
    QStringDecoder fromUtf8(QStringDecoder::Utf8);
    QStringEncoder encoder(codePage());
    for (qsizetype at = 0; at < utf8.size() && out.unwritable.size() < kUnwritableShown; at += kChunk) {
        const QString text = fromUtf8(utf8.sliced(at, std::min(kChunk, utf8.size() - at)));
        if (out.fits()) {
            out.bytes.append(encoder(text));
            if (!encoder.hasError())
                continue;
            out.bytes.clear();
        }
        collectUnwritable(text, &out.unwritable);
    }
    if (!out.fits())
        out.bytes = QByteArray();
    return out;
}

QString textFromPaneBytes(QByteArrayView utf8)
{
    // QString::fromUtf8 would drop a U+FEFF at the start as a byte-order mark.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

LineBreakCounts countLineBreaks(QByteArrayView bytes)
{
    LineBreakCounts counts;
    if (bytes.isEmpty())
        return counts; // memchr must not see the null data of an empty view
    const char *const begin = bytes.data();
    const char *const end = begin + bytes.size();
    qsizetype crs = 0;
    for (const char *at = begin; (at = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)))); ++at)
        ++crs;
    for (const char *at = begin; (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)))); ++at) {
        if (at > begin && at[-1] == '\r')
            ++counts.crLf;
        else
            ++counts.lf;
    }
    counts.cr = crs - counts.crLf;
    return counts;
}

LineBreak detectLineBreak(QByteArrayView bytes)
{
    return countLineBreaks(bytes).mostUsed();
}

QString breaksToCrLf(QStringView text)
{
    QString out;
    qsizetype copied = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') {
            ++i;
            continue;
        }
        if (out.isNull())
            out.reserve(size + size / 16);
        out.append(text.sliced(copied, i - copied));
        out.append(u"\r\n");
        copied = i + 1;
    }
    if (copied == 0)
        return text.toString();
    out.append(text.sliced(copied));
    return out;
}

QString breaksFromCrLf(QStringView text, LineBreak style)
{
    if (style == LineBreak::CrLf)
        return text.toString();
    return replaceAll(text, u"\r\n", breakText(style));
}

std::optional<QString> restoreLineBreaks(QStringView original, QStringView edited)
{
    // What is kept of the original, so never longer than it.
    QString out(original.size(), Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *d = begin;
    const char16_t *const s = original.utf16();
    const char16_t *const e = edited.utf16();
    const qsizetype size = original.size();
    const qsizetype editedSize = edited.size();
    qsizetype at = 0;           // in edited
    qsizetype loneCrsAtEnd = 0; // lone CRs just written as line breaks
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = s[i];
        if (c != u'\r' && c != u'\n') {
            if (at < editedSize && e[at] == c) {
                *d++ = c;
                ++at;
                loneCrsAtEnd = 0;
            }
            continue;
        }
        // A line break: CR LF in edited when it was kept.
        const bool pair = c == u'\r' && i + 1 < size && s[i + 1] == u'\n';
        if (at + 1 < editedSize && e[at] == u'\r' && e[at + 1] == u'\n') {
            at += 2;
            if (pair) {
                *d++ = u'\r';
                *d++ = u'\n';
                loneCrsAtEnd = 0;
            } else if (c == u'\r') {
                *d++ = c;
                ++loneCrsAtEnd;
            } else {
                // Lone CRs right before this LF would pair with it.
                std::fill(d - loneCrsAtEnd, d, u'\n');
                *d++ = c;
                loneCrsAtEnd = 0;
            }
        }
        if (pair)
            ++i;
    }
    if (at != editedSize)
        return std::nullopt;
    out.truncate(d - begin);
    return out;
}
