#pragma once
// The script being worked on, apart from any widget: the file it came from
// (the CurrentFile record, with the zip folder), how its bytes are written
// (encoding, byte-order mark, usual line break), and the file its text was
// last read from or written to. It reads a script whole, and saves the
// pane's text as the next numbered variant, byte for byte in the script's
// own encoding; the window asks the questions it needs answered.
//
// Failures follow one rule: a function that can fail returns false, and
// puts in *error why, when the user must be told; an empty *error means
// there was nothing to tell (no script at all, or the user said No).
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

#include "app/currentfile.h"
#include "rwx/scripttext.h"

class ScriptDocument {
public:
    // The largest script that is opened.
    static constexpr qint64 LargestScript = qint64(256) * 1024 * 1024;

    const CurrentFile &file() const { return m_file; }
    void setZipFolder(const QString &folder) { m_file.zipFolder = folder; }

    // Whether a script has been opened.
    bool isOpen() const { return !m_textPath.isEmpty(); }
    // The file the text was last read from or written to; empty before an open.
    const QString &textPath() const { return m_textPath; }
    // Its name.
    QString textFileName() const;

    ScriptEncoding encoding() const { return m_encoding; }
    bool byteOrderMark() const { return m_byteOrderMark; }
    // The line break new text takes: the kind the script uses most.
    LineBreak lineBreak() const { return m_lineBreak; }

    // Opens the script at `path`: reads it whole, and once it is read calls
    // `mayReplace` (when given), whose false keeps the document as it was.
    // Then the record describes the new script (its number too, unless its
    // base name is empty; the zip folder only when none was set), and
    // *text holds its text as the pane shows it (UTF-8). What is no file,
    // or has no dot in its name, is passed over without an error.
    bool load(const QString &path, const std::function<bool()> &mayReplace, QByteArray *text, QString *error);

    // The path of the next variant: the script's folder, prefix, the number
    // after the current one, and extension.
    QString nextVariantPath() const;

    // The questions a save may ask. Each is given what it names and answers
    // true for Yes.
    struct SaveQuestions {
        // A file of the variant's name exists: replace it?
        std::function<bool(const QString &fileName)> replace;
        // The 8-bit encoding cannot hold these characters: write UTF-8?
        std::function<bool(const QString &fileName, const QStringList &unwritable)> writeUtf8;
    };

    // Writes the pane's text (UTF-8) to nextVariantPath() in the script's
    // encoding, replacing a file only through a complete new copy, which
    // keeps the replaced file's permissions (a new file gets those of the
    // opened script). On success the number is used up, and the text is
    // that file's; after a No or a failure nothing is written and the
    // number stays.
    bool saveVariant(QByteArrayView text, const SaveQuestions &ask, QString *error);

private:
    CurrentFile m_file;
    QString m_textPath;
    ScriptEncoding m_encoding = ScriptEncoding::Utf8;
    bool m_byteOrderMark = false;
    LineBreak m_lineBreak = LineBreak::CrLf;
};
