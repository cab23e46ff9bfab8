#pragma once
// Drives the main window as a user would: files dropped on the pane,
// files written to disk, the stored zip folder.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QUrl>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "support/files.h"

namespace orvane_test {

inline void sendDrop(QWidget *target, QMimeData *mime)
{
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

inline void dropFiles(Form1 &window, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    mime.setUrls(urls);
    sendDrop(window.scriptEditor()->viewport(), &mime);
}

// Clicks "Save Zip Next" and waits until the packing it started, if any,
// has ended and its outcome has been shown. False when it did not end.
[[nodiscard]] inline bool clickSaveZipNext(Form1 &window)
{
    QSignalSpy finished(&window, &Form1::packingFinished);
    window.saveZipNextButton()->click();
    return !window.isPacking() || finished.wait(60000);
}

inline QString storedZipFolder()
{
    return QSettings(QStringLiteral("Orvane"), QStringLiteral("Orvane")).value(QStringLiteral("Settings/ZIP_path")).toString();
}

// A null value removes the setting.
inline void storeZipFolder(const QString &value)
{
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
    if (value.isNull())
        settings.remove(QStringLiteral("Settings/ZIP_path"));
    else
        settings.setValue(QStringLiteral("Settings/ZIP_path"), value);
    settings.sync();
}

} // namespace orvane_test
