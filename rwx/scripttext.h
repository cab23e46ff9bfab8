#pragma once
// How a script's bytes become the pane's text and back. The pane keeps its
// text as UTF-8 bytes; a file is read so that every byte the user did not
// edit is written back unchanged.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

enum class ScriptEncoding {
    Utf8,        // valid UTF-8, with or without a byte-order mark
    Utf16LE,     // a UTF-16 byte-order mark (FF FE, or FE FF for big-endian), then whole
    Utf16BE,     // characters only: nothing but pairs of bytes, no unpaired surrogate
    Windows1252, // anything else: the Windows code page such scripts are written in. Every
                 // byte is one character, the five bytes the code page leaves undefined
                 // too, so each comes back as it was (so does a broken UTF-16 file, byte
                 // for byte, though it shows as 8-bit characters).
};

struct DecodedScript {
    QByteArray utf8; // the text as the pane holds it, without the byte-order mark
    ScriptEncoding encoding = ScriptEncoding::Utf8;
    bool byteOrderMark = false;
};

DecodedScript decodeScript(QByteArrayView raw);

struct EncodedScript {
    QByteArray bytes;       // what to write; empty when something cannot be written
    QStringList unwritable; // characters the encoding cannot hold: each once, the first few only
    bool fits() const { return unwritable.isEmpty(); }
};

// The bytes to write, in the encoding the file was read with. A UTF-8 or
// UTF-16 text always fits; an 8-bit one does not when it holds characters
// the code page lacks, and then nothing is encoded: the caller decides
// whether to write UTF-8 (ScriptEncoding::Utf8, without a byte-order mark)
// instead.
EncodedScript encodeScript(QByteArrayView utf8, ScriptEncoding encoding, bool byteOrderMark);

// The pane's UTF-8 bytes as text, every character kept: a U+FEFF at the
// start is text like any other (the file's own byte-order mark never reaches
// the pane), so the text turns back into the very same bytes.
QString textFromPaneBytes(QByteArrayView utf8);

// The kinds of line break. The pane shows each CR LF pair, each LF and each
// lone CR as a line break; its whole-text and selection operations speak
// CR LF, and new text (typing, templates) takes the script's usual break.
enum class LineBreak { CrLf, Lf, Cr };

// How many line breaks of each kind the text holds, as the pane counts them.
struct LineBreakCounts {
    qsizetype crLf = 0;
    qsizetype lf = 0;
    qsizetype cr = 0;
    // The kinds that occur at all.
    int kinds() const { return (crLf > 0) + (lf > 0) + (cr > 0); }
    // The kind used most, CR LF before LF before CR on a tie (CR LF for none).
    LineBreak mostUsed() const
    {
        if (crLf >= lf && crLf >= cr)
            return LineBreak::CrLf;
        return lf >= cr ? LineBreak::Lf : LineBreak::Cr;
    }
};
LineBreakCounts countLineBreaks(QByteArrayView bytes);

// The script's usual line break: the kind it uses most, CR LF before LF
// before CR on a tie, and CR LF for a text without breaks.
LineBreak detectLineBreak(QByteArrayView bytes);

// The text with every line break (CR LF, LF, lone CR) as CR LF.
QString breaksToCrLf(QStringView text);
// The text with every CR LF pair as the given break; lone CRs and LFs stay.
QString breaksFromCrLf(QStringView text, LineBreak style);

// `edited` is breaksToCrLf(original) with characters deleted, nothing added
// (as the clean-ups do): gives `original` with the same deletions, so that
// every line break kept keeps its own kind. A run of lone CRs that would then
// stand right before an LF would join it into a CR LF pair; such CRs become
// LFs, so that every break stays one. Nothing when `edited` did not come about
// that way.
std::optional<QString> restoreLineBreaks(QStringView original, QStringView edited);
