#pragma once
// How a script's bytes become the pane's text and back. The pane keeps its
// text as UTF-8 bytes; a file is read so that every byte the user did not
// edit is written back unchanged.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

enum class ScriptEncoding {
    Utf8,        // valid UTF-8, with or without a byte-order mark
    Windows1252, // anything else: the Windows code page such scripts are written in. Every
                 // byte is one character, the five bytes the code page leaves undefined
                 // too, so each comes back as it was.
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

// The bytes to write, in the encoding the file was read with. A UTF-8 text
// always fits; an 8-bit one does not when it holds characters the code page
// lacks, and then nothing is encoded: the caller decides whether to write
// UTF-8 (ScriptEncoding::Utf8, without a byte-order mark) instead.
EncodedScript encodeScript(QByteArrayView utf8, ScriptEncoding encoding, bool byteOrderMark);

// The pane's UTF-8 bytes as text, every character kept: a U+FEFF at the
// start is text like any other (the file's own byte-order mark never reaches
// the pane), so the text turns back into the very same bytes.
QString textFromPaneBytes(QByteArrayView utf8);

// The line break a script is typed with. The pane's whole-text and selection
// operations speak CR LF; a script whose breaks are all LF (or all CR) is
// converted at that boundary so its own breaks never get mixed with others.
enum class LineBreak { CrLf, Lf, Cr };

// LF when the bytes hold LF breaks and no CR LF pair, CR when they hold CRs
// and no LF; CR LF otherwise (also for a text without breaks). A lone CR in
// an LF script is an ordinary character, and so is a lone LF in a CR script.
LineBreak detectLineBreak(QByteArrayView bytes);
QString breaksToCrLf(QStringView text, LineBreak style);
QString breaksFromCrLf(QStringView text, LineBreak style);
