#include "app/form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QUrl>

#include <algorithm>

#include "app/scripteditor.h"
#include "app/settings.h"
#include "app/zipfolder.h"
#include "cleanup/cleanup.h"
#include "cleanup/commands.h"
#include "preview/previewwindow.h"
#include "templates/menubar.h"
#include "zip/vbzipbas.h"

#include <cerrno>
#include <new>
#include <sys/stat.h>

// The icon lives in this library's resources, which a static library must
// register itself.
static void registerResources()
{
    Q_INIT_RESOURCE(orvane);
}

namespace {
const QString kAppTitle = QStringLiteral("Orvane");
const QString kBoxTitle = QStringLiteral("Orvane.");
const QString kCaptionLead = QStringLiteral("Orvane.  ");
const QString kHint = QStringLiteral("Drag & drop file to open.\r\n");
const QChar kSeparator = QDir::separator();
constexpr qint64 kLargestScript = qint64(256) * 1024 * 1024;
const QString kTooLarge = QStringLiteral("It is larger than 256 MB, the largest script Orvane opens.");
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
    initWindow();
    // The zip library's comment and password questions come through the same dialogs.
    VBZipBas::setPrompt([this](const QString &prompt) { return m_dialogs->prompt(this, {prompt, QString(), QString()}); });

    // Packing runs in the background; a progress window appears only when it
    // takes long enough to be noticed.
    m_pack = std::make_unique<VBZipBas::BackgroundPack>();
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
    VBZipBas::setPrompt(nullptr);
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
        // Beside the main window, inside the screen where it can be.
        QRect place(frameGeometry().topRight() + QPoint(8, 0), m_preview->size());
        if (const QScreen *screen = this->screen()) {
            const QRect available = screen->availableGeometry();
            place.moveRight(std::min(place.right(), available.right()));
            place.moveTop(std::max(place.top(), available.top()));
        }
        m_preview->move(place.topLeft());
    }
    m_preview->setScriptFolder(m_file.folder);
    m_preview->show();
    m_preview->raise();
}

void Form1::initWindow()
{
    setCaption(kAppTitle);
    m_file.zipFolder = readZipFolderSetting();
    m_labels.zipFolder->setText(m_file.zipFolder);
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
    const std::optional<QString> failure = cleanup::runOnWholeText(*m_editor, transformation);
    if (!failure)
        return;
    const templates::MenuItem *item = templates::findItem(templates::controlNameOf(command));
    const QString commandName = item ? templates::toQString(item->caption) : QStringLiteral("The command");
    const QString file = m_documentPath.isEmpty() ? QStringLiteral("the text") : QFileInfo(m_documentPath).fileName();
    showError(QStringLiteral("%1 could not change %2: %3.\nThe text is as it was.").arg(commandName, file, *failure));
}

bool Form1::askYesNo(const QString &text)
{
    MessageBoxRequest question;
    question.text = text;
    question.title = kBoxTitle;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.icon = QMessageBox::Question;
    question.defaultButton = QMessageBox::No;
    return m_dialogs->messageBox(this, question) == QMessageBox::Yes;
}

void Form1::showError(const QString &text)
{
    MessageBoxRequest box;
    box.text = text;
    box.title = kBoxTitle;
    box.buttons = QMessageBox::Ok;
    box.icon = QMessageBox::Critical;
    m_dialogs->messageBox(this, box); // its one button, OK, needs no answer
}

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
    setCaption(kCaptionLead + m_file.path);
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
} // namespace

Form1::SaveResult Form1::saveScript(const QString &path, QString *reason)
{
    const QString name = QFileInfo(path).fileName();
    // A file of that name is only replaced when the user says so.
    const QFileInfo target(path);
    const bool replacing = target.exists() ? !target.isDir() : target.isSymLink();
    if (replacing && !askYesNo(QStringLiteral("%1 already exists. Replace it?").arg(name)))
        return SaveResult::Declined;

    ScriptEncoding encoding = m_file.encoding;
    EncodedScript encoded = encodeScript(m_editor->documentBytes(), encoding, m_file.byteOrderMark);
    if (!encoded.fits()) {
        QStringList shown;
        for (const QString &character : encoded.unwritable)
            shown << shownCharacter(character);
        if (!askYesNo(QStringLiteral("%1: %2 cannot be written in this file's 8-bit encoding. Save it as UTF-8?")
                          .arg(name, shown.join(QStringLiteral(", ")))))
            return SaveResult::Declined;
        encoding = ScriptEncoding::Utf8;
        encoded = encodeScript(m_editor->documentBytes(), encoding, false);
    }

    // The old file is replaced only by a complete new copy, which keeps the
    // replaced file's permissions; a new variant gets those of the script
    // it was made from.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *reason = file.errorString();
        return SaveResult::Failed;
    }
    struct stat source {};
    if (!replacing && ::stat(QFile::encodeName(m_file.path).constData(), &source) == 0
        && ::fchmod(file.handle(), source.st_mode & 0777) != 0) {
        *reason = qt_error_string(errno);
        file.cancelWriting();
        return SaveResult::Failed;
    }
    if (!writeAll(file, encoded.bytes) || !file.commit()) {
        *reason = file.errorString();
        return SaveResult::Failed;
    }
    if (encoding != m_file.encoding) {
        m_file.encoding = encoding;
        m_file.byteOrderMark = false;
    }
    m_editor->markSaved();
    m_documentPath = path;
    return SaveResult::Saved;
}

void Form1::saveNextAndPack()
{
    // A click that arrives while a script is saved or packed does nothing.
    if (m_saving || isPacking() || !m_saveZipNext->isEnabled())
        return;
    const QScopedValueRollback busy(m_saving, true);

    const QString previousNumber = m_file.number;
    m_file.number = nextNumber(m_file.number);
    const QString savePath = m_file.folder + m_file.prefix + m_file.number + m_file.extension;
    QString reason;
    const SaveResult saved = saveScript(savePath, &reason);
    if (saved != SaveResult::Saved) {
        // A declined question or a failed save leaves the number unused.
        m_file.number = previousNumber;
        if (saved == SaveResult::Failed)
            showError(QStringLiteral("Could not save %1\n%2").arg(savePath, reason));
        return;
    }

    const QString archivePath = m_file.zipFolder + m_file.prefix + m_file.number + QStringLiteral(".zip");
    startPacking(archivePath, savePath);
}

bool Form1::isPacking() const
{
    return m_pack->isRunning();
}

void Form1::startPacking(const QString &archivePath, const QString &savePath)
{
    setCaption(kCaptionLead + savePath);
    VBZipBas::assignSaveNextSettings(archivePath, savePath, m_file.driveRoot);
    m_packing = {archivePath, savePath, QFileInfo::exists(archivePath), false, 0};
    if (const qint32 refused = m_pack->start()) {
        finishPacking(refused);
        return;
    }
    m_progressDelay.start();
}

void Form1::showPackingProgress()
{
    if (!isPacking())
        return;
    const ProgressRequest request{QStringLiteral("Packing %1\u2026").arg(QFileInfo(m_packing.archivePath).fileName()),
                                  kBoxTitle};
    m_packingProgress = m_dialogs->showProgress(this, request, [this] {
        m_packing.cancelRequested = true;
        m_pack->cancel();
    });
    if (m_packingProgress)
        m_packingProgress->setPercent(m_packing.percent);
}

void Form1::finishPacking(qint32 code)
{
    m_progressDelay.stop();
    m_packingProgress.reset();
    const QString archive = QDir::toNativeSeparators(m_packing.archivePath);
    if (code == ZE_ABORT && m_packing.cancelRequested) {
        MessageBoxRequest box;
        box.text = m_packing.archiveExisted
            ? QStringLiteral("Packing %1 was cancelled. The earlier archive is unchanged.").arg(archive)
            : QStringLiteral("Packing %1 was cancelled. No archive was written.").arg(archive);
        box.title = kBoxTitle;
        box.icon = QMessageBox::Information;
        m_dialogs->messageBox(this, box); // its one button, OK, needs no answer
    } else if (code != ZE_OK) {
        showError(QStringLiteral("Could not pack %1\n%2")
                      .arg(archive, VBZipBas::describeResult(code, m_packing.archivePath, m_packing.savePath)));
    }
    emit packingFinished();
}

void Form1::chooseZipFolder()
{
    PromptRequest request;
    request.message = QStringLiteral("Folder for ZIPs. Now ") + m_file.zipFolder;
    request.title = QStringLiteral("Orvane. Folder for ZIPs.");
    request.initial = m_file.zipFolder;
    const std::optional<QString> entry = m_dialogs->prompt(this, request);
    if (!entry)
        return;
    QString reason;
    if (entry->isEmpty()) {
        // No folder: the archives go beside the opened script again, as
        // before any folder was chosen.
        m_file.zipFolder = m_file.folder;
        m_labels.zipFolder->setText(m_file.zipFolder);
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
    m_file.zipFolder = *folder;
    m_labels.zipFolder->setText(m_file.zipFolder);
    if (!writeZipFolderSetting(m_file.zipFolder, &reason))
        showError(QStringLiteral("The zip folder could not be stored in the settings, so the next start "
                                 "will not know it. It is used until the program ends:\n%1\n%2")
                      .arg(m_file.zipFolder, reason));
}
