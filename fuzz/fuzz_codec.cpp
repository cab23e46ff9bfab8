// Fuzz target: the script codec. Whatever bytes a file holds, opening it and
// saving it unedited writes the same bytes back, through the pane's CR LF
// boundary too; a typed character is never lost on the next save.
#include "check.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

// ---- The project code this target calls: the one place to rename. ----
#include "rwx/scripttext.h"

namespace {

// A file as the window opens it: the pane's bytes and how to save them.
struct Opened {
    QByteArray pane;
    bool eightBit = false;
    bool byteOrderMark = false;
    LineBreak lineBreak = LineBreak::CrLf;
};

Opened openBytes(QByteArrayView raw)
{
    const DecodedScript d = decodeScript(raw);
    return {d.utf8, d.encoding == ScriptEncoding::Windows1252, d.byteOrderMark, detectLineBreak(d.utf8)};
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
    const EncodedScript e = encodeScript(pane, o.eightBit ? ScriptEncoding::Windows1252 : ScriptEncoding::Utf8,
                                         o.byteOrderMark);
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

} // namespace

ORVANE_FUZZ_TARGET
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(projectSaysUtf8(raw) == qtSaysUtf8(raw), "UTF-8 is recognised as Qt's decoder does");

    const Opened opened = openBytes(raw);
    FUZZ_CHECK(opened.eightBit != projectSaysUtf8(raw), "valid UTF-8 is read as UTF-8, anything else as 8-bit");
    FUZZ_CHECK(qtSaysUtf8(opened.pane), "the pane holds valid UTF-8");
    FUZZ_CHECK(!opened.byteOrderMark || raw.startsWith("\xEF\xBB\xBF"), "a byte-order mark is only seen where it is");

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
    FUZZ_CHECK(after.fellBackToUtf8 == (opened.eightBit && which >= 3),
               "an 8-bit file falls back to UTF-8 exactly when a typed character does not fit");
    if (opened.eightBit && !after.fellBackToUtf8) {
        FUZZ_CHECK(QString(QStringDecoder("windows-1252").decode(after.bytes)) == paneText(edited),
                   "8-bit save holds the edited text");
    } else {
        const QByteArray bom = opened.byteOrderMark && !after.fellBackToUtf8 ? "\xEF\xBB\xBF" : "";
        FUZZ_CHECK(after.bytes == bom + edited, "UTF-8 save holds the edited text");
    }
    return 0;
}
