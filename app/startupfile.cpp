#include "app/startupfile.h"

#include <QMimeData>

#include "app/form1.h"
#include "commandline/filearguments.h"

bool openStartupFile(Form1 &window, const QByteArray &name, const QByteArray &folder)
{
    QMimeData drop;
    drop.setUrls({commandline::localFileUrl(name, folder)});
    return window.openDroppedFile(&drop);
}
