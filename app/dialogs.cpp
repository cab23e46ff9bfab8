#include "app/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QPointer>
#include <QProgressDialog>

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

std::optional<QString> WidgetDialogs::saveFileName(QWidget *parent, const SaveFileRequest &request)
{
    QFileDialog dialog(parent, request.title, QFileInfo(request.suggested).path(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(request.suffix);
    dialog.selectFile(QFileInfo(request.suggested).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

namespace {
class WidgetProgress final : public ProgressView {
public:
    WidgetProgress(QWidget *parent, const ProgressRequest &request, std::function<void()> cancel)
        : m_dialog(new QProgressDialog(request.text, QStringLiteral("Cancel"), 0, 100, parent))
    {
        m_dialog->setWindowTitle(request.title);
        m_dialog->setWindowModality(Qt::NonModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, std::move(cancel));
        m_dialog->setValue(0);
        m_dialog->show();
    }
    ~WidgetProgress() override { delete m_dialog; }
    void setPercent(int percent) override
    {
        if (m_dialog && !m_dialog->wasCanceled())
            m_dialog->setValue(percent);
    }

private:
    QPointer<QProgressDialog> m_dialog; // gone with its parent window
};
} // namespace

std::unique_ptr<ProgressView> WidgetDialogs::showProgress(QWidget *parent, const ProgressRequest &request,
                                                          std::function<void()> cancel)
{
    return std::make_unique<WidgetProgress>(parent, request, std::move(cancel));
}
