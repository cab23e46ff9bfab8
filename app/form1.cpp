#include "app/form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "editor/scripteditor.h"
#include "app/settings.h"
#include "app/windowtext.h"
#include "cleanup/cleanup.h"
#include "cleanup/commands.h"
#include "preview/previewwindow.h"
#include "scene/deploycheck.h"
#include "templates/menubar.h"
#include "zip/vbzipbas.h"

// The icon lives in this library's resources, which a static library must
// register itself.
static void registerResources()
{
    Q_INIT_RESOURCE(orvane);
}

namespace {
const QString kAppTitle = QStringLiteral("Orvane");
const QString kHint = QStringLiteral("Drag & drop file to open.\r\n");
constexpr int kProgressDelayMs = 500;

enum class Underline { No, Yes };

QFont bandFont(Underline underline = Underline::No)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setUnderline(underline == Underline::Yes);
    return font;
}

QLabel *makeBandLabel(QWidget *parent, const char *controlName, const char *text = "",
                      Underline underline = Underline::No)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(controlName));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    label->setFont(bandFont(underline));
    return label;
}
} // namespace

Form1::Form1(std::unique_ptr<Dialogs> dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<WidgetDialogs>())
{
    setObjectName(QStringLiteral("Form1"));
    registerResources();
    setWindowIcon(QIcon(QStringLiteral(":/orvane/orvane.svg")));
    buildControls();
    templates::buildMenuBar(
        menuBar(), [this](const QString &text) { m_editor->replaceSelection(text); },
        [this](templates::MenuCommand command) { runMenuCommand(command); });
    addViewMenu();
    addExportMenu();
    initWindow();

    // Packing runs in the background; a progress window appears only when it
    // takes long enough to be noticed. The zip library's comment and
    // password questions come through the same dialogs.
    m_pack = std::make_unique<VBZipBas::BackgroundPack>(
        [this](const QString &prompt) { return m_dialogs->prompt(this, {prompt, QString(), QString()}); });
    connect(m_pack.get(), &VBZipBas::BackgroundPack::progressChanged, this, [this](int percent) {
        m_packing.percent = percent;
        if (m_packingProgress)
            m_packingProgress->setPercent(percent);
    });
    connect(m_pack.get(), &VBZipBas::BackgroundPack::finished, this, &Form1::finishPacking);
    m_progressDelay.setSingleShot(true);
    m_progressDelay.setInterval(kProgressDelayMs);
    connect(&m_progressDelay, &QTimer::timeout, this, &Form1::showPackingProgress);
}

Form1::~Form1()
{
    // A packing still running is cancelled; its archive stays as it was.
    m_packingProgress.reset();
    m_pack.reset();
}

void Form1::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    m_editor = new ScriptEditor(m_client);
    m_editor->setObjectName(QStringLiteral("RichTextBox1"));
    m_editor->loadDocument(kHint.toUtf8(), LineBreak::CrLf);
    connect(m_editor, &ScriptEditor::dropped, this, [this](const QMimeData *data) { openDroppedFile(data); });

    m_saveZipNext = new QPushButton(QStringLiteral("Save Zip Next"), m_client);
    m_saveZipNext->setObjectName(QStringLiteral("Command2"));
    m_saveZipNext->setFont(bandFont());
    m_saveZipNext->setEnabled(false);
    connect(m_saveZipNext, &QPushButton::clicked, this, &Form1::saveNextAndPack);

    m_labels = {
        .rwxFolderCaption = makeBandLabel(m_client, "Label1", "RWX folder"),
        .zipFolderCaption = makeBandLabel(m_client, "Label2", "ZIP  folder", Underline::Yes),
        .prefixCaption = makeBandLabel(m_client, "Label3", "Prefix"),
        .rwxFolder = makeBandLabel(m_client, "Label4"),
        .zipFolder = makeBandLabel(m_client, "Label5"),
        .prefix = makeBandLabel(m_client, "Label6"),
    };
    m_labels.zipFolderCaption->setCursor(Qt::PointingHandCursor);
    m_labels.zipFolderCaption->installEventFilter(this);

    // Tab goes from the pane to the button; the labels take no focus.
    setTabOrder(m_editor, m_saveZipNext);
    m_editor->setFocus();

    m_controls = layout::startupControls();
    applyGeometry();

    const QSize minimumClient = layout::clientSizeFor(layout::kMinimumOuter, layout::kMinimumOuter);
    m_client->setMinimumSize(minimumClient);
    m_client->installEventFilter(this);
}

void Form1::applyGeometry()
{
    m_editor->setGeometry(layout::toPixels(m_controls.pane));
    m_saveZipNext->setGeometry(layout::toPixels(m_controls.saveZipNextButton));
    const auto labels = m_labels.inOrder();
    const auto places = m_controls.labels.inOrder();
    for (size_t i = 0; i < labels.size(); ++i)
        labels[i]->setGeometry(layout::toPixels(places[i]));
}

// The menus of the table come first and stay as they are; "View" follows them.
void Form1::addViewMenu()
{
    QMenu *view = menuBar()->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("mnuView"));
    view->menuAction()->setMenuRole(QAction::NoRole);
    m_previewItem = view->addAction(QStringLiteral("3D Preview"));
    m_previewItem->setObjectName(QStringLiteral("mnuPreview"));
    m_previewItem->setMenuRole(QAction::NoRole);
    m_previewItem->setCheckable(true);
    m_previewItem->setShortcut(QKeySequence(Qt::Key_F5));
    connect(m_previewItem, &QAction::toggled, this, &Form1::showPreview);
}

void Form1::showPreview(bool on)
{
    if (m_previewItem->isChecked() != on) {
        m_previewItem->setChecked(on); // comes back here through toggled()
        return;
    }
    if (!on) {
        if (m_preview)
            m_preview->close();
        return;
    }
    if (!m_preview) {
        m_preview = std::make_unique<preview::PreviewWindow>(m_editor);
        // F5 closes it again from there too.
        m_preview->addAction(m_previewItem);
        connect(m_preview.get(), &preview::PreviewWindow::closed, this, [this] { m_previewItem->setChecked(false); });
        // Save Picture names the picture after the script and asks through this window's dialogs.
        m_preview->setQuestions({
            [this] { return m_document.textPath(); },
            [this](QWidget *parent, const QString &suggested) {
                return m_dialogs->saveFile(parent, {QStringLiteral("Save Picture"), suggested,
                                                        QStringLiteral("PNG pictures (*.png)"), QStringLiteral("png")});
            },
            [this](QWidget *parent, const QString &question) { return askYesNo(question, parent); },
            [this](QWidget *parent, const QString &message) { showError(message, parent); },
        });
        // Beside the main window, inside the screen where it can be.
        QRect place(frameGeometry().topRight() + QPoint(8, 0), m_preview->size());
        if (const QScreen *screen = this->screen()) {
            const QRect available = screen->availableGeometry();
            place.moveRight(std::min(place.right(), available.right()));
            place.moveTop(std::max(place.top(), available.top()));
        }
        m_preview->move(place.topLeft());
    }
    m_preview->setScriptFolder(m_document.file().folder);
    showObjectNameNote();
    m_preview->show();
    m_preview->raise();
}

void Form1::initWindow()
{
    setCaption(kAppTitle);
    m_document.setZipFolder(readZipFolderSetting());
    m_labels.zipFolder->setText(m_document.file().zipFolder);
    // The client area opens 9330 x 7050 twips; the layout pass runs when the window is shown.
    const QSize client = layout::clientSizeFor(9330 + layout::kFrameWidth, 7050 + layout::kFrameHeight);
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
}

QAction *Form1::action(const QString &controlName) const
{
    return menuBar()->findChild<QAction *>(controlName);
}

void Form1::setCaption(const QString &caption)
{
    m_caption = caption;
    // "[*]" in a title is the window system's modified marker; a doubled one shows as is.
    QString shown = caption;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(shown);
}

// A name a world would not take as an object's is noted where it does not
// disturb the window's layout: in the tooltips of the prefix row, and in the
// preview's status line.
void Form1::showObjectNameNote()
{
    const QString note = m_document.isOpen()
        ? rwx::objectNameNote(QFileInfo(m_document.textFileName()).completeBaseName())
        : QString();
    m_labels.prefixCaption->setToolTip(note);
    m_labels.prefix->setToolTip(note);
    if (m_preview)
        m_preview->setObjectNote(note);
}

void Form1::layoutWindow()
{
    if (isMinimized())
        return;
    const QSize client = m_client->size();
    const layout::Result result = layout::layoutWindow(layout::outerWidthFor(client.width()),
                                                       layout::outerHeightFor(client.height()), m_controls);
    const QSize wanted = layout::clientSizeFor(result.outerWidth, result.outerHeight);
    if (wanted != client)
        resize(size() + (wanted - client));
    m_controls = result.controls;
    applyGeometry();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        layoutWindow();
    } else if (watched == m_labels.zipFolderCaption && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton
            && m_labels.zipFolderCaption->rect().contains(mouse->position().toPoint())) {
            chooseZipFolder();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::confirmExit()
{
    return askYesNo(QStringLiteral("Exit?"));
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A packing still running is let finish, or cancelled, before the
    // window asks whether to exit: its archive is then whole, or as it was.
    if (isPacking()) {
        event->ignore();
        const bool cancel = askYesNo(QStringLiteral("%1 is still being packed.\nCancel the packing? No lets it finish first.")
                                         .arg(QDir::toNativeSeparators(m_packing.archivePath)));
        if (isPacking()) {
            m_closeWhenPacked = true;
            if (cancel)
                cancelPacking();
            return;
        }
        // It ended while the question was open.
    }
    if (confirmExit()) {
        event->accept();
        if (m_preview)
            m_preview->close();
    } else
        event->ignore();
}

QAction *Form1::alwaysOnTopItem() const
{
    return action(templates::toQString(templates::controlNameOf(templates::MenuCommand::AlwaysOnTop)));
}

void Form1::toggleAlwaysOnTop()
{
    alwaysOnTopItem()->trigger();
}

void Form1::applyAlwaysOnTop(bool on)
{
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const bool wasVisible = isVisible();
    const QRect frame = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (wasVisible) {
        setGeometry(frame);
        show();
    }
}

void Form1::runMenuCommand(templates::MenuCommand command)
{
    using templates::MenuCommand;
    switch (command) {
    case MenuCommand::DeleteComments:
        runCleanUp(command, &DeleteComments);
        return;
    case MenuCommand::DeleteSpacers:
        runCleanUp(command, &DeleteSpacers);
        return;
    case MenuCommand::DeleteEmptyStrings:
        runCleanUp(command, &DeleteEmptyStrings);
        return;
    case MenuCommand::AlwaysOnTop:
        applyAlwaysOnTop(alwaysOnTopItem()->isChecked());
        return;
    }
}

void Form1::runCleanUp(templates::MenuCommand command, cleanup::Transformation transformation)
{
    QString error;
    if (cleanup::runOnWholeText(*m_editor, transformation, &error))
        return;
    const templates::MenuItem *item = templates::findItem(templates::controlNameOf(command));
    const QString commandName = item ? templates::toQString(item->caption) : QStringLiteral("The command");
    const QString file = m_document.isOpen() ? m_document.textFileName() : QStringLiteral("the text");
    showError(QStringLiteral("%1 could not change %2: %3.\nThe text is as it was.").arg(commandName, file, error));
}

bool Form1::askYesNo(const QString &text, QWidget *parent)
{
    MessageBoxRequest question;
    question.text = text;
    question.title = windowtext::boxTitle;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.icon = QMessageBox::Question;
    question.defaultButton = QMessageBox::No;
    return m_dialogs->messageBox(parent ? parent : this, question) == QMessageBox::Yes;
}

void Form1::showError(const QString &text, QWidget *parent)
{
    MessageBoxRequest box;
    box.text = text;
    box.title = windowtext::boxTitle;
    box.buttons = QMessageBox::Ok;
    box.icon = QMessageBox::Critical;
    m_dialogs->messageBox(parent ? parent : this, box); // its one button, OK, needs no answer
}
