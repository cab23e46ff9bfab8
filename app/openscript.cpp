// Form1: opening a dropped script, and the question before unsaved changes
// are discarded.
#include "app/form1.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <optional>
#include <sys/stat.h>

#include "editor/livechecks.h"
#include "editor/scripteditor.h"
#include "app/windowtext.h"
#include "preview/previewwindow.h"

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
} // namespace

bool Form1::openFile(const QString &path)
{
    // The script is read whole before anything changes, so a file that
    // cannot be opened leaves the window as it was. What is not a file at
    // all (a folder, a missing name) and a name without an extension are
    // passed over without a word.
    const bool changed = m_document.isOpen() && m_editor->differsFromSaved();
    std::optional<BusyCursor> reading(std::in_place);
    const auto mayReplace = [&] {
        reading.reset();
        return !changed || askYesNo(QStringLiteral("Discard the changes to %1?").arg(m_document.textFileName()));
    };
    QByteArray text;
    QString reason;
    if (!m_document.load(path, mayReplace, &text, &reason)) {
        reading.reset();
        if (!reason.isEmpty())
            showError(QStringLiteral("Could not open %1\n%2").arg(path, reason));
        return false;
    }
    {
        const BusyCursor busy;
        m_editor->loadDocument(text, m_document.lineBreak());
    }
    const CurrentFile &file = m_document.file();
    setCaption(windowtext::captionLead + file.path);
    m_labels.rwxFolder->setText(file.folder);
    m_labels.prefix->setText(file.prefix);
    m_labels.zipFolder->setText(file.zipFolder);
    m_saveZipNext->setEnabled(true);
    m_editor->liveChecks()->setScriptFolder(file.folder);
    showObjectNameNote();
    if (m_preview) {
        m_preview->setScriptFolder(file.folder);
        m_preview->openedNewScript();
    }
    return true;
}
