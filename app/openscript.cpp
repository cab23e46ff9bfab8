// Form1: opening a dropped script, and the question before unsaved changes
// are discarded.
#include "app/form1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <new>
#include <sys/stat.h>

#include "editor/scripteditor.h"
#include "app/windowtext.h"
#include "preview/previewwindow.h"

namespace {
const QChar kSeparator = QDir::separator();
constexpr qint64 kLargestScript = qint64(256) * 1024 * 1024;
const QString kTooLarge = QStringLiteral("It is larger than 256 MB, the largest script Orvane opens.");
} // namespace

bool Form1::openDroppedFile(const QMimeData *data)
{
    // While a script is saved or packed, drops are refused.
    if (m_saving || isPacking() || !data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return false;
    const QUrl &url = urls.first();
    const QString path = url.toLocalFile();
    // A name whose bytes are not valid in the file-name encoding cannot be
    // spelled as a path here; say so when it names a real file.
    if (url.host().isEmpty()) {
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        struct stat status {};
        if (QFile::encodeName(path) != bytes && ::stat(bytes.constData(), &status) == 0 && S_ISREG(status.st_mode)) {
            showError(QStringLiteral("Could not open %1\nIts name is not valid in this system's file-name encoding.").arg(path));
            return false;
        }
    }
    return openFile(path);
}

namespace {
// The busy cursor for as long as it lives, however its scope is left.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(BusyCursor)
};

// The script's text as the pane takes it, or nothing with the reason.
std::optional<DecodedScript> readScript(const QString &path, QString *reason)
{
    const BusyCursor busy;
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *reason = file.errorString();
            return std::nullopt;
        }
        const QByteArray raw = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            *reason = file.errorString();
            return std::nullopt;
        }
        if (raw.size() > kLargestScript) {
            *reason = kTooLarge;
            return std::nullopt;
        }
        return decodeScript(raw);
    } catch (const std::bad_alloc &) {
        *reason = QStringLiteral("There is not enough memory to read it.");
        return std::nullopt;
    }
}
} // namespace

bool Form1::openFile(const QString &path)
{
    // Everything is checked and read before the pane or the record change,
    // so a file that cannot be opened leaves the window as it was. What is
    // not a file at all (a folder, a missing name) and a name without an
    // extension are passed over without a word.
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    const std::optional<PathParts> parts = splitPath(path, kSeparator);
    if (!parts)
        return false;
    QString reason;
    std::optional<DecodedScript> script;
    if (info.size() > kLargestScript)
        reason = kTooLarge;
    else
        script = readScript(path, &reason);
    if (!script) {
        showError(QStringLiteral("Could not open %1\n%2").arg(path, reason));
        return false;
    }
    if (!m_documentPath.isEmpty() && m_editor->differsFromSaved()
        && !askYesNo(QStringLiteral("Discard the changes to %1?").arg(QFileInfo(m_documentPath).fileName())))
        return false;

    {
        const BusyCursor busy;
        m_editor->loadDocument(script->utf8, detectLineBreak(script->utf8));
    }
    m_documentPath = path;
    m_file.path = path;
    m_file.folder = parts->folder;
    m_file.driveRoot = parts->driveRoot;
    m_file.fileName = parts->fileName;
    m_file.baseName = parts->baseName;
    m_file.extension = parts->extension;
    m_file.encoding = script->encoding;
    m_file.byteOrderMark = script->byteOrderMark;
    if (const std::optional<RunningNumber> split = splitRunningNumber(parts->baseName)) {
        m_file.prefix = split->prefix;
        m_file.number = split->number;
    }
    setCaption(windowtext::captionLead + m_file.path);
    m_labels.rwxFolder->setText(m_file.folder);
    m_labels.prefix->setText(m_file.prefix);
    if (m_file.zipFolder.isEmpty())
        m_file.zipFolder = m_file.folder;
    m_labels.zipFolder->setText(m_file.zipFolder);
    m_saveZipNext->setEnabled(true);
    if (m_preview && m_preview->isVisible()) {
        m_preview->setScriptFolder(m_file.folder);
        m_preview->rebuildNow(preview::PreviewView::Fit::Fit);
    }
    return true;
}
