// The preview's picture, read back from its frame buffer: what the script
// draws and how, the live rebuild after the typing pause, builds stopped by
// a change or by closing and never waited for, a drop, clicks that move the
// caret, the caret's line outlined, and the camera's mouse and keys. Needs
// OpenGL (Xvfb with Mesa); skipped where no context can be made.
#include <QAction>
#include <QLabel>
#include <QSemaphore>
#include <QSignalSpy>
#include <QToolBar>
#include <QTemporaryDir>

#include <atomic>
#include <sys/stat.h>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "editor/snapshotworker.h"
#include "preview/previewrenderer.h"
#include "preview/previewwindow.h"
#include "support/files.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"

using namespace orvane_test;
using preview::PreviewRenderer;
using preview::PreviewView;
using preview::PreviewWindow;

namespace {
enum class Look { Red, Blue, Green, Blend, Background, Outline, Other };

Look lookOf(QColor c)
{
    const int r = c.red(), g = c.green(), b = c.blue();
    const QColor bg = PreviewRenderer::BackgroundColor;
    if (std::abs(r - bg.red()) <= 36 && std::abs(g - bg.green()) <= 36 && std::abs(b - bg.blue()) <= 36)
        return Look::Background;
    if (r > 200 && g > 150 && g < 235 && b < 80)
        return Look::Outline;
    if (r > g + 30 && g > 25 && std::abs(g - b) < 20)
        return Look::Blend; // red over the background, half see-through
    if (r > 90 && r > 3 * g && r > 3 * b)
        return Look::Red;
    if (b > 90 && b > 3 * r && b > 3 * g)
        return Look::Blue;
    if (g > 90 && g > 3 * r && g > 3 * b)
        return Look::Green;
    return Look::Other;
}

// The look at a point given as a fraction of the width and height.
Look lookAt(const QImage &image, qreal fx, qreal fy)
{
    return lookOf(image.pixelColor(int(fx * (image.width() - 1)), int(fy * (image.height() - 1))));
}

double share(const QImage &image, Look look)
{
    qint64 count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += lookOf(image.pixelColor(x, y)) == look;
    return double(count) / double(image.width() * image.height());
}

bool centreIs(const QImage &image, Look look)
{
    for (const qreal fx : {0.45, 0.5, 0.55})
        for (const qreal fy : {0.45, 0.5, 0.55})
            if (lookAt(image, fx, fy) != look)
                return false;
    return true;
}

bool cornersAreBackground(const QImage &image)
{
    for (const qreal fx : {0.0, 1.0})
        for (const qreal fy : {0.0, 1.0})
            if (lookAt(image, fx, fy) != Look::Background)
                return false;
    return true;
}

QString script(const QString &body)
{
    QString text = QStringLiteral("ModelBegin\nClumpBegin\n") + body + QStringLiteral("\nClumpEnd\nModelEnd\n");
    return text.replace(u'\n', QStringLiteral("\r\n"));
}

// Line 3 sets the colour, line 4 makes the block.
const QString kRedBlock = script(QStringLiteral("Color 1 0 0\nBlock 1 1 1"));
constexpr int kColorLine = 3;
constexpr int kBlockLine = 4;

struct CameraState {
    QVector3D target;
    float distance, yaw, pitch;
    bool operator==(const CameraState &) const = default;
};
CameraState stateOf(const preview::Camera &c)
{
    return {c.target, c.distance, c.yaw, c.pitch};
}

// Builds scenes as the preview does, but holds the first `held` builds at a
// gate until the test lets them go, deaf to their stop token meanwhile, as
// a build stuck in a system call would be. Shared with the worker threads.
struct GatedBuilds {
    std::atomic<int> held{0};
    std::atomic<int> entered{0};
    std::atomic<int> cancelled{0}; // builds that came back stopped
    std::atomic<int> left{0};
    QSemaphore go;

    static PreviewWindow::Builder builder(const std::shared_ptr<GatedBuilds> &self)
    {
        return [self](QStringView script, const QString &folder, std::stop_token stop) {
            if (self->entered++ < self->held)
                self->go.acquire();
            preview::PreparedScene prepared = preview::prepareScene(script, folder, stop);
            self->cancelled += prepared.cancelled;
            ++self->left;
            return prepared;
        };
    }
};
} // namespace

class PreviewRenderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void drawsTheScript_data();
    void drawsTheScript();
    void rebuildsAfterThePauseKeepingTheCamera();
    void buildsStopForANewerTextAndClosingAndHoldNothingUp();
    void rebuildsAndFitsAtOnceAfterADrop();
    void clickAndCaretLinkPictureAndText();
    void mouseAndKeysMoveTheCamera();
    void drawsOnWhileAlwaysOnTopRemakesTheMainWindow();
    void seeThroughFacesLookAlikeInEitherOrder();
    void facerKeepsFacingTheViewer();
    void animatedTextureRunsUntilPaused();
    void clickGoesThroughAMasksCutAway();
    void savesThePictureBesideTheScript();

private:
    // Writes the script as rwx/NAME beside a textures/ folder, opens it in a
    // shown window with the preview open, and waits for the scene.
    bool openPreview(const QString &text, const QString &name = QStringLiteral("model.rwx"));
    QString writeScript(const QString &text, const QString &name);
    QImage frame() const { return m_view->grabFramebuffer(); }
    QPoint centre() const { return m_view->rect().center(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedDialogs::Log m_log;
    std::unique_ptr<Form1> m_window;
    PreviewWindow *m_preview = nullptr;
    PreviewView *m_view = nullptr;
    ScriptEditor *m_editor = nullptr;
};

void PreviewRenderTest::initTestCase()
{
    if (!preview::openGLAvailable())
        QSKIP(qPrintable(QStringLiteral("no OpenGL context can be made on the %1 platform")
                             .arg(QGuiApplication::platformName())));
}

void PreviewRenderTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = {};
    m_window = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
    m_editor = m_window->scriptEditor();
}

void PreviewRenderTest::cleanup()
{
    m_window.reset();
    QTRY_COMPARE(editor::SnapshotWorker::threadsRunning(), 0);
    m_preview = nullptr;
    m_view = nullptr;
    QVERIFY(m_log.messages.isEmpty());
}

QString PreviewRenderTest::writeScript(const QString &text, const QString &name)
{
    return writeFile(m_dir->filePath(QStringLiteral("rwx/") + name), text.toUtf8());
}

bool PreviewRenderTest::openPreview(const QString &text, const QString &name)
{
    dropFiles(*m_window, {writeScript(text, name)});
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return false;
    m_window->action(QStringLiteral("mnuPreview"))->trigger();
    m_preview = m_window->previewWindow();
    if (!m_preview || !m_preview->view())
        return false;
    m_view = m_preview->view();
    QSignalSpy shown(m_preview, &PreviewWindow::sceneShown);
    return QTest::qWaitForWindowExposed(m_preview) && (m_preview->sceneCount() > 0 || shown.wait(10000));
}

void PreviewRenderTest::drawsTheScript_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<Look>("centre");
    QTest::addColumn<double>("leastRed"); // share of the frame
    QTest::addColumn<double>("mostRed");
    QTest::addColumn<QString>("status");
    // A square at z = 0, clear of the ground grid; the camera looks from +z,
    // so it faces away.
    const QString kCubeStatus = QString::fromUtf8("12 triangles; 10.0 \u00D7 10.0 \u00D7 10.0 m");
    const QString kSquareStatus = QString::fromUtf8("2 triangles; 20.0 \u00D7 20.0 \u00D7 0.0 m");
    const QString awaySquare = QStringLiteral(
        "Color 1 0 0\nTranslate 0 3 0\nVertex -1 -1 0\nVertex -1 1 0\nVertex 1 1 0\nVertex 1 -1 0\nQuad 1 2 3 4");
    QTest::newRow("solid") << "Color 1 0 0\nBlock 1 1 1" << Look::Red << 0.15 << 0.9 << kCubeStatus;
    QTest::newRow("wireframe") << "Color 1 0 0\nGeometrySampling wireframe\nBlock 1 1 1" << Look::Other << 0.0005
                               << 0.03 << kCubeStatus;
    QTest::newRow("point cloud") << "Color 1 0 0\nGeometrySampling pointcloud\nBlock 1 1 1" << Look::Other << 0.00005
                                 << 0.005 << kCubeStatus;
    QTest::newRow("one-sided, seen from behind") << awaySquare << Look::Background << 0.0 << 0.0
                                                 << kSquareStatus + "; all 2 faces point away: orbit, or MaterialMode double shows both sides";
    QTest::newRow("two-sided, seen from behind") << "MaterialMode double\n" + awaySquare << Look::Red << 0.15 << 0.9
                                                 << kSquareStatus;
    QTest::newRow("black, prelit red") << "Color 0 0 0\nSurface 0 0 0\nTranslate 0 3 0\nVertex -1 -1 0 Prelight 1 0 0\n"
                                          "Vertex 1 -1 0\n"
                                          "Vertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4"
                                       << Look::Red << 0.15 << 0.9 << kSquareStatus;
    QTest::newRow("half see-through") << "Color 1 0 0\nOpacity .5\nBlock 1 1 1" << Look::Blend << 0.0 << 0.05
                                      << kCubeStatus;
    QTest::newRow("texture behind a link to a FIFO") << "Color 1 0 0\nTexture pipe\nBlock 1 1 1" << Look::Red << 0.15
                                                     << 0.9 << kCubeStatus + "; texture pipe not found";
    QTest::newRow("texture instead of colour")
        << "Color 1 0 0\nTexture green\nBlock 1 1 1\nTexture nothere\nBlock .1 .1 .1\nTexture NotHere\nBlock .1 .1 .1"
        << Look::Green << 0.0 << 0.0
        << "36 triangles; 10.0 \u00D7 10.0 \u00D7 10.0 m; texture nothere not found";
}

void PreviewRenderTest::drawsTheScript()
{
    QFETCH(QString, body);
    QFETCH(Look, centre);
    QFETCH(double, leastRed);
    QFETCH(double, mostRed);
    QFETCH(QString, status);
    // Found beside the script's folder, in another letter case.
    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(Qt::green);
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("textures")));
    QVERIFY(green.save(m_dir->filePath(QStringLiteral("textures/Green.PNG")), "PNG"));
    // Nothing ever writes to the FIFO: opening it to read would wait for ever.
    QVERIFY(mkfifo(QFile::encodeName(m_dir->filePath(QStringLiteral("fifo"))).constData(), 0600) == 0);
    QVERIFY(QFile::link(QStringLiteral("../fifo"), m_dir->filePath(QStringLiteral("textures/Pipe.jpg"))));

    QVERIFY(openPreview(script(body)));
    const QImage image = frame();
    if (centre != Look::Other)
        QVERIFY2(centreIs(image, centre), qPrintable(image.pixelColor(image.rect().center()).name()));
    QVERIFY(cornersAreBackground(image));
    const double red = share(image, Look::Red);
    QVERIFY2(red >= leastRed && red <= mostRed, qPrintable(QStringLiteral("red share %1").arg(red)));
    // The hint for an empty picture comes once it has been drawn.
    QTRY_COMPARE(m_preview->statusLine()->text(), status);
}

void PreviewRenderTest::rebuildsAfterThePauseKeepingTheCamera()
{
    QVERIFY(openPreview(kRedBlock));
    QVERIFY(centreIs(frame(), Look::Red));
    QCOMPARE(m_preview->pause(), 500);
    QTest::mouseMove(m_view, centre());
    QTest::mousePress(m_view, Qt::LeftButton, {}, centre());
    QTest::mouseMove(m_view, centre() + QPoint(40, 15));
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, centre() + QPoint(40, 15));
    const CameraState moved = stateOf(m_view->camera());
    const int shownBefore = m_preview->sceneCount();

    // The test drives the pause: one no test outlasts, ended by a pause of 0.
    m_preview->setPause(60000);
    m_editor->setSelection(kColorLine - 1, 6, kColorLine - 1, 11);
    m_editor->replaceSelection(QStringLiteral("0 0 1"));
    QVERIFY(m_preview->rebuildPending());
    QVERIFY(centreIs(frame(), Look::Red));

    // A build whose text changes before it is done is not shown.
    m_preview->rebuildNow();
    m_editor->setSelection(kColorLine - 1, 6, kColorLine - 1, 11);
    m_editor->replaceSelection(QStringLiteral("0 1 0"));
    QVERIFY(editor::SnapshotWorker::waitForThreads(std::chrono::seconds(30)));
    QCoreApplication::processEvents();
    QCOMPARE(m_preview->sceneCount(), shownBefore);
    QVERIFY(centreIs(frame(), Look::Red));
    QVERIFY(m_preview->rebuildPending());

    m_preview->setPause(0);
    QTRY_VERIFY(centreIs(frame(), Look::Green));
    QCOMPARE(m_preview->sceneCount(), shownBefore + 1);
    QCOMPARE(stateOf(m_view->camera()), moved);
}

void PreviewRenderTest::buildsStopForANewerTextAndClosingAndHoldNothingUp()
{
    QVERIFY(openPreview(kRedBlock));
    const auto builds = std::make_shared<GatedBuilds>();
    const auto opened = qScopeGuard([&] { builds->go.release(1000); });
    m_preview->setBuilder(GatedBuilds::builder(builds));
    m_preview->setPause(0);
    auto recolour = [this](const char *rgb) {
        m_editor->setSelection(kColorLine - 1, 6, kColorLine - 1, 11);
        m_editor->replaceSelection(QLatin1String(rgb));
    };
    const int shownBefore = m_preview->sceneCount();

    // The first build is stuck; a newer text stops it, and its own build is
    // shown all the same.
    builds->held = 1;
    recolour("0 0 1");
    QTRY_COMPARE(builds->entered.load(), 1);
    recolour("0 1 0");
    QTRY_VERIFY(centreIs(frame(), Look::Green));
    QCOMPARE(m_preview->sceneCount(), shownBefore + 1);
    QCOMPARE(builds->left.load(), 1);
    builds->go.release();
    QTRY_COMPARE(builds->left.load(), 2);
    QCOMPARE(builds->cancelled.load(), 1);

    // Closing the window stops the build under way; it is not shown.
    builds->held = 3;
    recolour("1 0 0");
    QTRY_COMPARE(builds->entered.load(), 3);
    QVERIFY(m_preview->close());
    QVERIFY(!m_preview->rebuildPending());
    builds->go.release();
    QTRY_COMPARE(builds->left.load(), 3);
    QCOMPARE(builds->cancelled.load(), 2);
    QTRY_COMPARE(editor::SnapshotWorker::threadsRunning(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(m_preview->sceneCount(), shownBefore + 1);
}

void PreviewRenderTest::rebuildsAndFitsAtOnceAfterADrop()
{
    QVERIFY(openPreview(kRedBlock));
    const CameraState fitted = stateOf(m_view->camera());
    m_view->camera().zoomToward({0.5, 0.5}, 8.0f, m_view->aspect());
    m_view->camera().orbit(150.0f, -20.0f); // a newly dropped file shows from the first view's angles
    m_preview->setPause(60000);
    QSignalSpy shown(m_preview, &PreviewWindow::sceneShown);
    dropFiles(*m_window, {writeScript(script(QStringLiteral("Color 0 0 1\nBlock 1 1 1")), QStringLiteral("blue.rwx"))});
    QVERIFY(shown.wait(10000));
    QVERIFY(centreIs(frame(), Look::Blue));
    QCOMPARE(stateOf(m_view->camera()), fitted);
}

void PreviewRenderTest::clickAndCaretLinkPictureAndText()
{
    // Far enough down that the pane has to scroll to it.
    const QString text = QStringLiteral("# a comment\r\n").repeated(200) + kRedBlock;
    const int blockLine = 200 + kBlockLine;
    QVERIFY(openPreview(text));
    const QByteArray bytes(m_editor->documentBytes().toByteArray());
    m_view->setFocus();
    QWidget *focusBefore = QApplication::focusWidget();

    QTest::mouseClick(m_view, Qt::LeftButton, {}, QPoint(2, 2)); // the background
    int line = -1, index = -1;
    m_editor->getCursorPosition(&line, &index);
    QCOMPARE(line, 0);

    QTest::mouseClick(m_view, Qt::LeftButton, {}, centre());
    m_editor->getCursorPosition(&line, &index);
    QCOMPARE(line, blockLine - 1);
    QCOMPARE(index, 0);
    const int first = m_editor->firstVisibleLine();
    QVERIFY(first <= line && line < first + int(m_editor->SendScintilla(QsciScintilla::SCI_LINESONSCREEN)));
    QCOMPARE(QApplication::focusWidget(), focusBefore);
    QCOMPARE(m_preview->focusWidget(), static_cast<QWidget *>(m_view));
    QCOMPARE(m_editor->documentBytes().toByteArray(), bytes);
    QVERIFY(!m_editor->isUndoAvailable());

    // A drag is no click.
    m_editor->setCursorPosition(kColorLine - 1 + 200, 0);
    QTest::mousePress(m_view, Qt::LeftButton, {}, centre());
    QTest::mouseMove(m_view, centre() + QPoint(30, 0));
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, centre() + QPoint(30, 0));
    m_editor->getCursorPosition(&line, &index);
    QCOMPARE(line, kColorLine - 1 + 200);

    // The caret's line is outlined; the editor reports caret moves as it
    // updates its view.
    QTRY_COMPARE(m_view->outlinedLine(), kColorLine + 200);
    QCOMPARE(share(frame(), Look::Outline), 0.0);
    m_editor->setCursorPosition(blockLine - 1, 2);
    QTRY_COMPARE(m_view->outlinedLine(), blockLine);
    const QImage outlined = frame();
    QVERIFY2(share(outlined, Look::Outline) > 0.001, "no outline drawn");
    QVERIFY(share(outlined, Look::Red) > 0.1);
}

void PreviewRenderTest::mouseAndKeysMoveTheCamera()
{
    QVERIFY(openPreview(kRedBlock));
    preview::Camera &camera = m_view->camera();
    const CameraState fitted = stateOf(camera);
    QTest::keyClick(m_view, Qt::Key_Left);
    QTest::keyClick(m_view, Qt::Key_Up);
    QVERIFY(camera.yaw != fitted.yaw && camera.pitch > fitted.pitch);
    QTest::keyClick(m_view, Qt::Key_Plus);
    QVERIFY(camera.distance < fitted.distance);
    QTest::keyClick(m_view, Qt::Key_Minus);
    QTest::keyClick(m_view, Qt::Key_Minus);
    QVERIFY(camera.distance > fitted.distance);
    // The wheel zooms toward the pointer: off-centre, the target moves too.
    const float before = camera.distance;
    const QPoint corner(m_view->width() / 5, m_view->height() / 5);
    QWheelEvent wheel(corner, m_view->mapToGlobal(corner), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_view, &wheel);
    QVERIFY(camera.distance < before && camera.target != fitted.target);
    // Home fits again, keeping the angles; so does a double-click.
    // Home goes back to the first view; a double-click fits, keeping the angles.
    QTest::keyClick(m_view, Qt::Key_Home);
    QCOMPARE(stateOf(camera), fitted);
    QVERIFY(centreIs(frame(), Look::Red));
    camera.orbit(30.0f, 0.0f);
    camera.zoomToward({}, 10.0f, m_view->aspect());
    QTest::mouseDClick(m_view, Qt::LeftButton, {}, centre());
    QCOMPARE(camera.distance, fitted.distance);
    QCOMPARE(camera.yaw, fitted.yaw + 30.0f);
}

void PreviewRenderTest::drawsOnWhileAlwaysOnTopRemakesTheMainWindow()
{
    QVERIFY(openPreview(kRedBlock));
    QSignalSpy swapped(m_view, &PreviewView::frameSwapped);
    for (int i = 0; i < 2; ++i) {
        m_window->action(QStringLiteral("mnuAonT"))->trigger();
        m_view->requestFrame();
        QVERIFY(swapped.wait(10000));
    }
    QVERIFY(m_preview->isVisible());
    QVERIFY(centreIs(frame(), Look::Red));
}

void PreviewRenderTest::seeThroughFacesLookAlikeInEitherOrder()
{
    // Two half see-through squares, red in front of blue, written in either order.
    const QString red = QStringLiteral("ClumpBegin\nColor 1 0 0\nOpacity .5\nTranslate 0 0 .5\n"
                                       "Vertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4\nClumpEnd\n");
    QString blue = red;
    blue.replace(QStringLiteral("1 0 0\n"), QStringLiteral("0 0 1\n")).replace(QStringLiteral(".5\nV"), QStringLiteral("-.5\nV"));
    QVERIFY(openPreview(script(red + blue)));
    const QColor redFirst = frame().pixelColor(centre());
    m_preview->setPause(0);
    QSignalSpy shown(m_preview, &PreviewWindow::sceneShown);
    m_editor->setText(script(blue + red));
    QVERIFY(shown.wait(10000));
    const QColor blueFirst = frame().pixelColor(centre());
    QCOMPARE(blueFirst.name(), redFirst.name());
    QVERIFY2(redFirst.red() > redFirst.blue(), qPrintable(redFirst.name())); // the nearer one shows more
}

void PreviewRenderTest::facerKeepsFacingTheViewer()
{
    // A one-sided square facing +z: seen edge on after a quarter turn, unless it turns to face the eye.
    QVERIFY(openPreview(script(QStringLiteral("AxisAlignment zorienty\nColor 1 0 0\nTranslate 0 3 0\nVertex -1 -1 0\n"
                                              "Vertex 1 -1 0\n"
                                              "Vertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4"))));
    QVERIFY(centreIs(frame(), Look::Red));
    for (const float degrees : {90.0f, -180.0f}) {
        m_view->camera().orbit(degrees, 0.0f);
        QVERIFY2(centreIs(frame(), Look::Red), qPrintable(QString::number(m_view->camera().yaw)));
        // A click picks the turned square.
        m_editor->setCursorPosition(0, 0);
        QTest::mouseClick(m_view, Qt::LeftButton, {}, centre());
        int line = -1, index = -1;
        m_editor->getCursorPosition(&line, &index);
        QCOMPARE(line + 1, 10);
    }
}

void PreviewRenderTest::animatedTextureRunsUntilPaused()
{
    // Two square frames stacked: red above blue.
    QImage strip(4, 8, QImage::Format_RGB32);
    strip.fill(Qt::blue);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            strip.setPixelColor(x, y, Qt::red);
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("textures")));
    QVERIFY(strip.save(m_dir->filePath(QStringLiteral("textures/strip.png")), "PNG"));
    QVERIFY(openPreview(script(QStringLiteral("Texture strip\nBlock 1 1 1"))));
    QAction *pause = m_preview->toolBar()->findChild<QAction *>(QStringLiteral("previewPause"));
    QVERIFY(pause && pause->isEnabled());
    const qint64 first = m_view->animationStep();
    const Look firstLook = first % 2 ? Look::Blue : Look::Red;
    QVERIFY(centreIs(frame(), firstLook));
    QTRY_VERIFY(m_view->animationStep() != first);
    const qint64 second = m_view->animationStep();
    QVERIFY(centreIs(frame(), second % 2 ? Look::Blue : Look::Red));
    pause->trigger();
    QVERIFY(m_view->animationPaused());
    QCOMPARE(m_view->animationStep(), second);
}

void PreviewRenderTest::clickGoesThroughAMasksCutAway()
{
    // A square whose mask cuts all of it away (line 5), in front of a block (line 7).
    QImage hole(4, 4, QImage::Format_Grayscale8);
    hole.fill(0);
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("textures")));
    QVERIFY(hole.save(m_dir->filePath(QStringLiteral("textures/hole.bmp")), "BMP"));
    QVERIFY(openPreview(script(QStringLiteral("ClumpBegin\nTexture hole Mask hole\nVertex -2 -2 1 UV 0 0\nVertex 2 -2 1 UV 1 0\n"
                                              "Vertex 2 2 1 UV 1 1\nVertex -2 2 1 UV 0 1\nQuad 1 2 3 4\nClumpEnd\n"
                                              "Color 1 0 0\nBlock 1 1 1"))));
    QVERIFY(centreIs(frame(), Look::Red));
    QTest::mouseClick(m_view, Qt::LeftButton, {}, centre());
    int line = -1, index = -1;
    m_editor->getCursorPosition(&line, &index);
    QCOMPARE(line + 1, 12);
}

void PreviewRenderTest::savesThePictureBesideTheScript()
{
    QVERIFY(openPreview(kRedBlock, QStringLiteral("house13.rwx")));
    QAction *save = m_preview->toolBar()->findChild<QAction *>(QStringLiteral("previewSavePicture"));
    QVERIFY(save);
    const QString picture = m_dir->filePath(QStringLiteral("rwx/house13.png"));
    m_log.savePaths = {picture, m_dir->filePath(QStringLiteral("no/such/folder/house13.png"))};
    save->trigger();
    QCOMPARE(m_log.saveFiles.size(), 1);
    QCOMPARE(m_log.saveFiles[0].path, picture);
    QImage saved(picture, "PNG");
    QVERIFY(!saved.isNull() && centreIs(saved, Look::Red));
    QVERIFY(share(saved, Look::Outline) == 0.0);
    QVERIFY(!QDir(m_dir->path()).entryList({QStringLiteral("*.tmp"), QStringLiteral(".*")}, QDir::Files).size());
    // A folder that is not there: one box naming the file; nothing else written.
    save->trigger();
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QVERIFY(m_log.messages[0].text.contains(QStringLiteral("no/such/folder/house13.png")));
    m_log.messages.clear();
}

ORVANE_GUI_TEST_MAIN(PreviewRenderTest)
#include "tst_previewrender.moc"
