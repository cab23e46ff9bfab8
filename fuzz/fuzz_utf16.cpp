// Fuzz target: scripts written in UTF-16. The input is tried as a file as it
// is, and after a little-endian and a big-endian byte-order mark. A file is
// read as UTF-16 exactly when it starts with the mark and holds whole UTF-16
// characters after it; anything else is read byte for byte. Either way it
// is written back unchanged, and a character typed at its start or its end
// is written in the file's encoding while every other byte stays as it was.
#include "check.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

// ---- The project code this target calls: the one place to rename. ----
#include "rwx/scripttext.h"

namespace {

enum class Read { Utf8, Utf16LE, Utf16BE, EightBit };

struct Opened {
    QByteArray pane; // UTF-8
    Read read = Read::Utf8;
    ScriptEncoding encoding = ScriptEncoding::Utf8;
    bool byteOrderMark = false;
};

Opened openBytes(QByteArrayView raw)
{
    const DecodedScript d = decodeScript(raw);
    Read read = Read::Utf8;
    if (d.encoding == ScriptEncoding::Utf16LE)
        read = Read::Utf16LE;
    else if (d.encoding == ScriptEncoding::Utf16BE)
        read = Read::Utf16BE;
    else if (d.encoding == ScriptEncoding::Windows1252)
        read = Read::EightBit;
    return {d.utf8, read, d.encoding, d.byteOrderMark};
}

// What Save Zip Next writes for the pane's bytes; null when the file's own
// encoding cannot hold them.
QByteArray saveBytes(QByteArrayView pane, const Opened &o)
{
    const EncodedScript e = encodeScript(pane, o.encoding, o.byteOrderMark);
    return e.fits() ? e.bytes : QByteArray();
}

QString paneText(QByteArrayView pane)
{
    return textFromPaneBytes(pane);
}
// ---- end of project calls ----

// The text of a UTF-16 file after its mark, when it is whole UTF-16 characters.
std::optional<QString> qtReadsUtf16(QByteArrayView raw, QStringDecoder::Encoding order)
{
    const QByteArrayView body = raw.sliced(2);
    QStringDecoder decoder(order, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(body);
    if (body.size() % 2 != 0 || !QStringView(text).isValidUtf16())
        return std::nullopt;
    return text;
}

QByteArray encoded(const QString &text, const Opened &o)
{
    if (o.read == Read::EightBit) {
        QStringEncoder encoder("windows-1252");
        const QByteArray bytes = encoder(text);
        return encoder.hasError() ? QByteArray() : bytes;
    }
    if (o.read == Read::Utf8)
        return text.toUtf8();
    QStringEncoder encoder(o.read == Read::Utf16BE ? QStringEncoder::Utf16BE : QStringEncoder::Utf16LE);
    return encoder(text);
}

void check(const QByteArray &raw, size_t choice)
{
    const Opened opened = openBytes(raw);
    std::optional<QString> utf16;
    if (raw.startsWith("\xFF\xFE"))
        utf16 = qtReadsUtf16(raw, QStringDecoder::Utf16LE);
    else if (raw.startsWith("\xFE\xFF"))
        utf16 = qtReadsUtf16(raw, QStringDecoder::Utf16BE);
    FUZZ_CHECK((opened.read == Read::Utf16LE || opened.read == Read::Utf16BE) == utf16.has_value(),
               "read as UTF-16 exactly when it starts with the mark and holds whole characters");
    FUZZ_CHECK(opened.pane.isValidUtf8(), "the pane holds valid UTF-8");
    if (utf16) {
        FUZZ_CHECK(opened.byteOrderMark, "a UTF-16 file keeps its mark");
        FUZZ_CHECK(paneText(opened.pane) == *utf16, "the pane shows the UTF-16 text, a U+FEFF after the mark too");
    }

    FUZZ_CHECK(saveBytes(opened.pane, opened) == raw, "an unedited file comes back byte for byte");

    static const char *const typed[] = {"a", "\xC3\xA9" /* é */, "\xE2\x98\x83" /* snowman */,
                                        "\xF0\x9F\x99\x82" /* a surrogate pair */, "\xEF\xBB\xBF" /* U+FEFF */};
    const char *const character = typed[choice % std::size(typed)];
    const QByteArray inFile = encoded(QString::fromUtf8(character), opened);
    if (inFile.isEmpty())
        return; // the 8-bit question, the codec target's part
    const qsizetype mark = opened.byteOrderMark ? (utf16 ? 2 : 3) : 0;
    const QByteArray atStart = saveBytes(character + opened.pane, opened);
    FUZZ_CHECK(atStart == raw.first(mark) + inFile + raw.sliced(mark), "a character typed first is written after the mark");
    const QByteArray atEnd = saveBytes(opened.pane + character, opened);
    FUZZ_CHECK(atEnd == raw + inFile, "a character typed last is written after every byte of the file");
    if (utf16)
        FUZZ_CHECK(atEnd.size() % 2 == 0, "a UTF-16 file stays pairs of bytes");
}

} // namespace

ORVANE_FUZZ_TARGET
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    check(input, size);
    check("\xFF\xFE" + input, size + 1);
    check("\xFE\xFF" + input, size + 2);
    return 0;
}
