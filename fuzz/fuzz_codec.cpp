// Fuzz target: the script codec. Whatever bytes a file holds, opening it and
// saving it unedited writes the same bytes back, through the pane's CR LF
// boundary too; a typed character is never lost on the next save.
#include "check.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

// ---- The project code this target calls: the one place to rename. ----
#include "rwx/scripttext.h"

namespace {

// A file as the window opens it: the pane's bytes and how to save them.
struct Opened {
    QByteArray pane;
    ScriptEncoding encoding = ScriptEncoding::Utf8;
    bool byteOrderMark = false;
};

Opened openBytes(QByteArrayView raw)
{
    const DecodedScript d = decodeScript(raw);
    return {d.utf8, d.encoding, d.byteOrderMark};
}

bool isEightBit(const Opened &o)
{
    return o.encoding == ScriptEncoding::Windows1252;
}

bool isUtf16(const Opened &o)
{
    return o.encoding == ScriptEncoding::Utf16LE || o.encoding == ScriptEncoding::Utf16BE;
}

// The whole text as the clean-up commands see it, and the pane's bytes after
// that text is put back.
QString wholeText(const Opened &o)
{
    return breaksToCrLf(textFromPaneBytes(o.pane));
}

// Null when the text cannot be put back with the pane's own breaks.
QByteArray paneAfterReplacing(const QString &text, const Opened &o)
{
    const std::optional<QString> kept = restoreLineBreaks(textFromPaneBytes(o.pane), text);
    return kept ? kept->toUtf8() : QByteArray();
}

struct Saved {
    QByteArray bytes;
    bool fellBackToUtf8 = false;
};

// As Save Zip Next writes it, the user agreeing to UTF-8 when asked.
Saved saveBytes(QByteArrayView pane, const Opened &o)
{
    const EncodedScript e = encodeScript(pane, o.encoding, o.byteOrderMark);
    if (e.fits())
        return {e.bytes, false};
    return {encodeScript(pane, ScriptEncoding::Utf8, false).bytes, true};
}

QString paneText(QByteArrayView pane)
{
    return textFromPaneBytes(pane);
}

bool projectSaysUtf8(QByteArrayView bytes)
{
    return bytes.isValidUtf8();
}
// ---- end of project calls ----

bool qtSaysUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// A UTF-16 byte-order mark, then whole UTF-16 characters.
bool qtSaysUtf16(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF"))
        return false;
    const QByteArrayView body = bytes.sliced(2);
    QStringDecoder decoder(bytes.startsWith("\xFE\xFF") ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(body);
    return body.size() % 2 == 0 && QStringView(text).isValidUtf16();
}

} // namespace

ORVANE_FUZZ_TARGET
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(projectSaysUtf8(raw) == qtSaysUtf8(raw), "UTF-8 is recognised as Qt's decoder does");

    const Opened opened = openBytes(raw);
    FUZZ_CHECK((opened.encoding == ScriptEncoding::Utf8) == projectSaysUtf8(raw), "valid UTF-8 is read as UTF-8");
    FUZZ_CHECK(isUtf16(opened) == qtSaysUtf16(raw), "a UTF-16 mark and whole UTF-16 characters are read as UTF-16");
    FUZZ_CHECK(qtSaysUtf8(opened.pane), "the pane holds valid UTF-8");
    FUZZ_CHECK(!opened.byteOrderMark || raw.startsWith("\xEF\xBB\xBF") || isUtf16(opened),
               "a byte-order mark is only seen where it is");

    // Unedited, the file comes back byte for byte.
    const Saved same = saveBytes(opened.pane, opened);
    FUZZ_CHECK(!same.fellBackToUtf8, "an unedited text fits its own encoding");
    FUZZ_CHECK(same.bytes == raw, "decode then encode gives the bytes back");

    // Through the whole-text boundary (CR LF outside, the file's breaks inside).
    const QString text = wholeText(opened);
    FUZZ_CHECK(paneAfterReplacing(text, opened) == opened.pane, "the pane's bytes survive a whole-text round trip");

    // One character typed at the end: the next save keeps it.
    static const char *const typed[] = {"a", "\xC3\xA9" /* é: 8-bit */, "\xE2\x82\xAC" /* €: in the code page */,
                                        "\xE2\x98\x83" /* snowman: not 8-bit */,
                                        "\xF0\x9F\x99\x82" /* beyond 16 bits */};
    const size_t which = size % std::size(typed);
    const QByteArray edited = opened.pane + typed[which];
    const Saved after = saveBytes(edited, opened);
    FUZZ_CHECK(after.fellBackToUtf8 == (isEightBit(opened) && which >= 3),
               "an 8-bit file falls back to UTF-8 exactly when a typed character does not fit");
    if (isEightBit(opened) && !after.fellBackToUtf8) {
        FUZZ_CHECK(QString(QStringDecoder("windows-1252").decode(after.bytes)) == paneText(edited),
                   "8-bit save holds the edited text");
    } else if (isUtf16(opened)) {
        QStringEncoder encoder(opened.encoding == ScriptEncoding::Utf16BE ? QStringEncoder::Utf16BE
                                                                          : QStringEncoder::Utf16LE);
        const QByteArray expected = raw.first(2).toByteArray() + QByteArray(encoder(paneText(edited)));
        FUZZ_CHECK(after.bytes == expected, "UTF-16 save holds the edited text");
    } else {
        const QByteArray bom = opened.byteOrderMark && !after.fellBackToUtf8 ? "\xEF\xBB\xBF" : "";
        FUZZ_CHECK(after.bytes == bom + edited, "UTF-8 save holds the edited text");
    }
    return 0;
}
