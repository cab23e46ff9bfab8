// Form1: "Save Zip Next" (the next numbered copy of the script, then its
// archive packed in the background) and the choice of the zip folder.
#include "app/form1.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>

#include <cerrno>
#include <utility>
#include <sys/stat.h>

#include "editor/scripteditor.h"
#include "app/settings.h"
#include "app/zipfolder.h"
#include "app/windowtext.h"
#include "zip/vbzipbas.h"

namespace {
// How a character that cannot be written is shown in a question: as itself,
// or by its code when it would not show.
QString shownCharacter(const QString &character)
{
    const char32_t code = character.size() == 2 ? QChar::surrogateToUcs4(character[0], character[1]) : character[0].unicode();
    if (QChar::isPrint(code))
        return character;
    return QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}
} // namespace

ScriptDocument::SaveQuestions Form1::saveQuestions()
{
    return {
        [this](const QString &name) { return askYesNo(QStringLiteral("%1 already exists. Replace it?").arg(name)); },
        [this](const QString &name, const QStringList &unwritable) {
            QStringList shown;
            for (const QString &character : unwritable)
                shown << shownCharacter(character);
            return askYesNo(QStringLiteral("%1: %2 cannot be written in this file's 8-bit encoding. Save it as UTF-8?")
                                .arg(name, shown.join(QStringLiteral(", "))));
        },
    };
}

void Form1::saveNextAndPack()
{
    // A click that arrives while a script is saved or packed does nothing.
    if (m_saving || isPacking() || !m_saveZipNext->isEnabled())
        return;
    const QScopedValueRollback busy(m_saving, true);

    // A declined question or a failed save leaves the number unused.
    const QString savePath = m_document.nextVariantPath();
    QString reason;
    if (!m_document.saveVariant(m_editor->documentBytes(), saveQuestions(), &reason)) {
        if (!reason.isEmpty())
            showError(QStringLiteral("Could not save %1\n%2").arg(savePath, reason));
        return;
    }
    m_editor->markSaved();
    showObjectNameNote();

    const CurrentFile &file = m_document.file();
    const QString archivePath = file.zipFolder + file.prefix + file.number + QStringLiteral(".zip");
    startPacking(archivePath, savePath);
}

bool Form1::isPacking() const
{
    return m_pack->isRunning();
}

void Form1::startPacking(const QString &archivePath, const QString &savePath)
{
    setCaption(windowtext::captionLead + savePath);
    VBZipBas::assignSaveNextSettings(archivePath, savePath, m_document.file().driveRoot);
    m_packing = {archivePath, savePath, QFileInfo::exists(archivePath), false, 0};
    QString refusal;
    if (!m_pack->start(VBZipBas::settings(), &refusal)) {
        finishPacking(VBZipBas::ResultNoLibrary, refusal); // nothing started: reported as a failed packing
        return;
    }
    m_progressDelay.start();
}

void Form1::showPackingProgress()
{
    if (!isPacking())
        return;
    const ProgressRequest request{QStringLiteral("Packing %1\u2026").arg(QFileInfo(m_packing.archivePath).fileName()),
                                  windowtext::boxTitle};
    m_packingProgress = m_dialogs->showProgress(this, request, [this] { cancelPacking(); });
    if (m_packingProgress)
        m_packingProgress->setPercent(m_packing.percent);
}

void Form1::cancelPacking()
{
    m_packing.cancelRequested = true;
    m_pack->cancel();
}

void Form1::finishPacking(qint32 code, const QString &reason)
{
    m_progressDelay.stop();
    m_packingProgress.reset();
    const QString archive = QDir::toNativeSeparators(m_packing.archivePath);
    if (code == ZE_ABORT && m_packing.cancelRequested) {
        MessageBoxRequest box;
        box.text = m_packing.archiveExisted
            ? QStringLiteral("Packing %1 was cancelled. The earlier archive is unchanged.").arg(archive)
            : QStringLiteral("Packing %1 was cancelled. No archive was written.").arg(archive);
        box.title = windowtext::boxTitle;
        box.icon = QMessageBox::Information;
        m_dialogs->messageBox(this, box); // its one button, OK, needs no answer
    } else if (code != ZE_OK) {
        showError(QStringLiteral("Could not pack %1\n%2").arg(archive, reason));
    }
    emit packingFinished();
    if (std::exchange(m_closeWhenPacked, false))
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void Form1::chooseZipFolder()
{
    PromptRequest request;
    const CurrentFile &file = m_document.file();
    request.message = QStringLiteral("Folder for ZIPs. Now ") + file.zipFolder;
    request.title = QStringLiteral("Orvane. Folder for ZIPs.");
    request.initial = file.zipFolder;
    const std::optional<QString> entry = m_dialogs->prompt(this, request);
    if (!entry)
        return;
    QString reason;
    if (entry->isEmpty()) {
        // No folder: the archives go beside the opened script again, as
        // before any folder was chosen.
        m_document.setZipFolder(file.folder);
        m_labels.zipFolder->setText(file.zipFolder);
        if (!writeZipFolderSetting(QString(), &reason))
            showError(QStringLiteral("The zip folder could not be removed from the settings, so the next "
                                     "start will use it again.\n%1")
                          .arg(reason));
        return;
    }
    const std::optional<QString> folder = usableZipFolder(*entry);
    if (!folder) {
        showError(QStringLiteral("Wrong folder for ZIPs."));
        return;
    }
    m_document.setZipFolder(*folder);
    m_labels.zipFolder->setText(file.zipFolder);
    if (!writeZipFolderSetting(file.zipFolder, &reason))
        showError(QStringLiteral("The zip folder could not be stored in the settings, so the next start "
                                 "will not know it. It is used until the program ends:\n%1\n%2")
                      .arg(file.zipFolder, reason));
}
