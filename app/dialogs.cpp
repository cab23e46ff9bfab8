#include "app/dialogs.h"

#include <QInputDialog>

QMessageBox::StandardButton WidgetDialogs::messageBox(QWidget *parent, const MessageBoxRequest &request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

std::optional<QString> WidgetDialogs::prompt(QWidget *parent, const PromptRequest &request)
{
    bool ok = false;
    QString entry = QInputDialog::getText(parent, request.title, request.message, QLineEdit::Normal,
                                          request.initial, &ok);
    if (!ok)
        return std::nullopt;
    return entry;
}
