#include "app/scriptdocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <new>
#include <sys/stat.h>

namespace {
const QString kTooLarge = QStringLiteral("It is larger than 256 MB, the largest script Orvane opens.");

// Sets *error, when there is one to set.
void tell(QString *error, const QString &why)
{
    if (error)
        *error = why;
}

// The script's bytes as the pane takes them.
bool readScript(const QString &path, qint64 size, DecodedScript *script, QString *error)
{
    if (size > ScriptDocument::LargestScript) {
        tell(error, kTooLarge);
        return false;
    }
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            tell(error, file.errorString());
            return false;
        }
        const QByteArray raw = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            tell(error, file.errorString());
            return false;
        }
        // It may have grown since it was looked at.
        if (raw.size() > ScriptDocument::LargestScript) {
            tell(error, kTooLarge);
            return false;
        }
        *script = decodeScript(raw);
        return true;
    } catch (const std::bad_alloc &) {
        tell(error, QStringLiteral("There is not enough memory to read it."));
        return false;
    }
}

// Writes all of bytes, so that a short write (a full disk) is retried and
// then fails with the system's own reason.
bool writeAll(QSaveFile &file, const QByteArray &bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const qint64 now = file.write(bytes.constData() + written, bytes.size() - written);
        if (now <= 0)
            return false;
        written += now;
    }
    return true;
}

// Puts bytes at path through a complete new copy. The copy takes the
// permissions of modeOf when it is given, else those of the file it replaces.
bool writeWhole(const QString &path, const QByteArray &bytes, const QString &modeOf, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        tell(error, file.errorString());
        return false;
    }
    struct stat source {};
    if (!modeOf.isEmpty() && ::stat(QFile::encodeName(modeOf).constData(), &source) == 0
        && ::fchmod(file.handle(), source.st_mode & 0777) != 0) {
        tell(error, qt_error_string(errno));
        file.cancelWriting();
        return false;
    }
    if (!writeAll(file, bytes) || !file.commit()) {
        tell(error, file.errorString());
        return false;
    }
    return true;
}
} // namespace

QString ScriptDocument::textFileName() const
{
    return QFileInfo(m_textPath).fileName();
}

bool ScriptDocument::load(const QString &path, const std::function<bool()> &mayReplace, QByteArray *text,
                          QString *error)
{
    tell(error, QString());
    // Everything is read before anything changes, so a file that cannot be
    // opened leaves the document as it was.
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    const std::optional<PathParts> parts = splitPath(path, QDir::separator());
    if (!parts)
        return false;
    DecodedScript script;
    if (!readScript(path, info.size(), &script, error))
        return false;
    if (mayReplace && !mayReplace())
        return false;

    m_file.path = path;
    m_file.folder = parts->folder;
    m_file.driveRoot = parts->driveRoot;
    m_file.fileName = parts->fileName;
    m_file.baseName = parts->baseName;
    m_file.extension = parts->extension;
    if (const std::optional<RunningNumber> split = splitRunningNumber(parts->baseName)) {
        m_file.prefix = split->prefix;
        m_file.number = split->number;
    }
    if (m_file.zipFolder.isEmpty())
        m_file.zipFolder = m_file.folder;
    m_textPath = path;
    m_encoding = script.encoding;
    m_byteOrderMark = script.byteOrderMark;
    m_lineBreak = detectLineBreak(script.utf8);
    *text = std::move(script.utf8);
    return true;
}

QString ScriptDocument::nextVariantPath() const
{
    return m_file.folder + m_file.prefix + nextNumber(m_file.number) + m_file.extension;
}

bool ScriptDocument::saveVariant(QByteArrayView text, const SaveQuestions &ask, QString *error)
{
    tell(error, QString());
    const QString path = nextVariantPath();
    const QFileInfo target(path);
    const QString name = target.fileName();
    // A file of that name is only replaced when the user says so.
    const bool replacing = target.exists() ? !target.isDir() : target.isSymLink();
    if (replacing && !(ask.replace && ask.replace(name)))
        return false;

    ScriptEncoding encoding = m_encoding;
    EncodedScript encoded = encodeScript(text, encoding, m_byteOrderMark);
    if (!encoded.fits()) {
        if (!(ask.writeUtf8 && ask.writeUtf8(name, encoded.unwritable)))
            return false;
        encoding = ScriptEncoding::Utf8;
        encoded = encodeScript(text, encoding, false);
    }
    if (!writeWhole(path, encoded.bytes, replacing ? QString() : m_file.path, error))
        return false;

    if (encoding != m_encoding) {
        m_encoding = encoding;
        m_byteOrderMark = false;
    }
    m_file.number = nextNumber(m_file.number);
    m_textPath = path;
    return true;
}
