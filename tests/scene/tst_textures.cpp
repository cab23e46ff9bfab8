// Textures and masks: where they are found and how they matched, special
// files passed over without waiting on them, what cannot be shown named, and
// each file decoded once with all of them under the limit on decoded bytes.
#include <QTemporaryDir>

#include "scene/textures.h"
#include "support/archive.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/testmain.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace rwx;
using namespace orvane_test;

namespace {
using ZipEntries = QList<QPair<QByteArray, QByteArray>>;

QByteArray pngBytes(QSize size)
{
    return imageBytes(filled(size, Qt::green), "PNG");
}

// What stands at rwx/wood.jpg (and beside it) in the special-file cases.
enum class Special { FifoLink, Fifo, DeviceLink, DanglingLink, Folder, FifoBeforePng, OtherCaseFifoLink, Huge,
                     NotAPicture, ZipIsFifoLink, HugeBmpBesideZip };

void makeSpecial(const QDir &rwx, Special special)
{
    auto fifo = [&](const QString &name) { QVERIFY(mkfifo(QFile::encodeName(rwx.filePath(name)).constData(), 0600) == 0); };
    auto link = [&](const QString &target, const QString &name) { QVERIFY(QFile::link(target, rwx.filePath(name))); };
    switch (special) {
    case Special::FifoLink: fifo(QStringLiteral("pipe")); link(QStringLiteral("pipe"), QStringLiteral("wood.jpg")); break;
    case Special::Fifo: fifo(QStringLiteral("wood.jpg")); break;
    case Special::DeviceLink: link(QStringLiteral("/dev/zero"), QStringLiteral("wood.jpg")); break;
    case Special::DanglingLink: link(QStringLiteral("nothere"), QStringLiteral("wood.jpg")); break;
    case Special::Folder: QVERIFY(rwx.mkdir(QStringLiteral("wood.jpg"))); break;
    case Special::FifoBeforePng:
        fifo(QStringLiteral("wood.jpg"));
        writeFile(rwx.filePath(QStringLiteral("wood.png")), pngBytes({4, 4}));
        break;
    case Special::OtherCaseFifoLink: fifo(QStringLiteral("pipe")); link(QStringLiteral("pipe"), QStringLiteral("WOOD.JPG")); break;
    case Special::Huge: {
        QFile huge(rwx.filePath(QStringLiteral("wood.jpg")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(TextureLimits{}.largestFile + 1)); // sparse
        break;
    }
    case Special::NotAPicture: writeFile(rwx.filePath(QStringLiteral("wood.jpg")), "not really a picture"); break;
    case Special::ZipIsFifoLink:
        writeFile(rwx.filePath(QStringLiteral("wood.png")), pngBytes({4, 4}));
        fifo(QStringLiteral("pipe"));
        link(QStringLiteral("pipe"), QStringLiteral("m.zip"));
        break;
    case Special::HugeBmpBesideZip: {
        writeFile(rwx.filePath(QStringLiteral("wood.png")), pngBytes({4, 4}));
        QFile huge(rwx.filePath(QStringLiteral("m.bmp")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(TextureLimits{}.largestFile + 1));
        makeArchive(rwx.filePath(QStringLiteral("m.zip")), {{"m.bmp", imageBytes(halfMask(), "BMP")}});
        break;
    }
    }
}
} // namespace

class TexturesTest : public QObject {
    Q_OBJECT
private slots:
    void folders();
    void findsTextures_data();
    void findsTextures();
    void readsMasks_data();
    void readsMasks();
    void passesOverSpecialFiles_data();
    void passesOverSpecialFiles();
    void decodesEachFileOnceUnderTheLimit_data();
    void decodesEachFileOnceUnderTheLimit();
};

void TexturesTest::folders()
{
    QTemporaryDir base;
    const QDir dir(base.path());
    for (const char *folder : {"rwx/textures", "textures", "models"})
        QVERIFY(dir.mkpath(QLatin1String(folder)));
    QCOMPARE(scriptTextureFolders(dir.filePath(QStringLiteral("rwx/"))),
             QStringList({dir.filePath(QStringLiteral("rwx")), dir.filePath(QStringLiteral("rwx/textures")),
                          dir.filePath(QStringLiteral("textures"))}));
    QCOMPARE(archiveTextureFolders(dir.filePath(QStringLiteral("models/house12.zip"))),
             QStringList({dir.filePath(QStringLiteral("models")), dir.filePath(QStringLiteral("textures"))}));
    QCOMPARE(scriptTextureFolders(QString()), QStringList());
}

void TexturesTest::findsTextures_data()
{
    // The script lives in rwx/; files are placed relative to its parent.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("found");
    QTest::addColumn<NameMatch>("match");
    QTest::newRow("any letter case") << "Wood" << QStringList{"textures/WOOD.JPG"} << "textures/WOOD.JPG"
                                     << NameMatch::IgnoringCase;
    QTest::newRow("exact spelling first") << "Wood" << QStringList{"rwx/wood.jpg", "rwx/Wood.jpg"} << "rwx/Wood.jpg"
                                          << NameMatch::Exact;
    QTest::newRow("only the extension's case differs") << "wood" << QStringList{"rwx/wood.JPG"} << "rwx/wood.JPG"
                                                       << NameMatch::IgnoringCase;
    QTest::newRow("script's folder first") << "wood"
        << QStringList{"textures/wood.jpg", "rwx/textures/wood.jpg", "rwx/wood.png"} << "rwx/wood.png" << NameMatch::Exact;
    QTest::newRow("textures/ before ../textures/") << "wood" << QStringList{"textures/wood.jpg", "rwx/textures/wood.gif"}
                                                   << "rwx/textures/wood.gif" << NameMatch::Exact;
    QTest::newRow("jpg before png") << "wood" << QStringList{"rwx/wood.png", "rwx/wood.jpg"} << "rwx/wood.jpg"
                                    << NameMatch::Exact;
    QTest::newRow("bmp") << "wood" << QStringList{"textures/wood.bmp"} << "textures/wood.bmp" << NameMatch::Exact;
    QTest::newRow("no image extension") << "wood" << QStringList{"rwx/wood", "rwx/wood.txt", "rwx/wood.jpg.zip"} << ""
                                        << NameMatch::Missing;
    QTest::newRow("a folder in the name") << "../textures/wood" << QStringList{"textures/wood.jpg"} << ""
                                          << NameMatch::Missing;
}

void TexturesTest::findsTextures()
{
    QFETCH(QString, name);
    QFETCH(QStringList, files);
    QFETCH(QString, found);
    QFETCH(NameMatch, match);
    QTemporaryDir base;
    QDir(base.path()).mkpath(QStringLiteral("rwx"));
    for (const QString &file : files)
        writeFile(base.filePath(file), "x");
    const FoundTexture texture = TextureFinder(scriptTextureFolders(base.filePath(QStringLiteral("rwx/")))).texture(name);
    QCOMPARE(texture.path, found.isEmpty() ? QString() : base.filePath(found));
    QCOMPARE(texture.match, match);
}

void TexturesTest::readsMasks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<ZipEntries>("entries"); // none: the mask as a plain file; one unnamed: these bytes
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("looseOnly");
    const QByteArray bmp = imageBytes(halfMask(), "BMP");
    QTest::newRow("bmp beside") << "rwx/M.bmp" << ZipEntries{} << true << true;
    QTest::newRow("zipped, any letter case") << "rwx/textures/M.ZIP" << ZipEntries{{"a.txt", "x"}, {"M.BMP", bmp}} << true
                                             << false;
    QTest::newRow("zipped under another name") << "textures/m.zip" << ZipEntries{{"mask1.bmp", bmp}} << true << false;
    QTest::newRow("zip with two other masks") << "textures/m.zip" << ZipEntries{{"a.bmp", bmp}, {"b.bmp", bmp}} << false
                                              << false;
    QTest::newRow("not a zip") << "textures/m.zip" << ZipEntries{{"", "PK not really"}} << false << false;
    QTest::newRow("not an image") << "rwx/m.bmp" << ZipEntries{{"", "BM but no picture"}} << false << true;
}

void TexturesTest::readsMasks()
{
    QFETCH(QString, file);
    QFETCH(ZipEntries, entries);
    QFETCH(bool, read);
    QFETCH(bool, looseOnly);
    QTemporaryDir base;
    QDir(base.path()).mkpath(QStringLiteral("rwx"));
    const QString path = base.filePath(file);
    if (entries.isEmpty())
        writeFile(path, imageBytes(halfMask(), "BMP"));
    else if (entries.first().first.isEmpty())
        writeFile(path, entries.first().second);
    else if (QDir().mkpath(QFileInfo(path).path()))
        makeArchive(path, entries);
    QVERIFY(filled({4, 2}, Qt::green).save(base.filePath(QStringLiteral("rwx/wood.png"))));
    const LoadedTextures loaded = loadTextures({{QStringLiteral("wood"), QStringLiteral("m")}},
                                               scriptTextureFolders(base.filePath(QStringLiteral("rwx"))));
    QCOMPARE(loaded.uses[0].mask.looseMaskOnly(), looseOnly);
    QCOMPARE(loaded.uses[0].masked, read);
    QCOMPARE(loaded.notes.isEmpty(), read);
    // Black cuts the texture away, white shows it; the mask is stretched over it.
    const QImage &masked = loaded.images.at(loaded.uses[0].image);
    QCOMPARE(masked.format(), QImage::Format_RGBA8888);
    QCOMPARE(masked.pixelColor(1, 1), QColor(0, 255, 0, read ? 0 : 255));
    QCOMPARE(masked.pixelColor(2, 0), QColor(0, 255, 0, 255));
}

void TexturesTest::passesOverSpecialFiles_data()
{
    QTest::addColumn<Special>("special");
    QTest::addColumn<QString>("found"); // in rwx/
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("note");
    QTest::newRow("link to a FIFO") << Special::FifoLink << "" << false << "texture wood not found";
    QTest::newRow("a FIFO") << Special::Fifo << "" << false << "texture wood not found";
    QTest::newRow("link to a device") << Special::DeviceLink << "" << false << "texture wood not found";
    QTest::newRow("dangling link") << Special::DanglingLink << "" << false << "texture wood not found";
    QTest::newRow("folder") << Special::Folder << "" << false << "texture wood not found";
    QTest::newRow("FIFO before a picture") << Special::FifoBeforePng << "wood.png" << true << "";
    QTest::newRow("link to a FIFO in another case") << Special::OtherCaseFifoLink << "" << false
                                                    << "texture wood not found";
    QTest::newRow("huge file") << Special::Huge << "wood.jpg" << false
                               << "texture wood could not be read (larger than 64 MB)";
    QTest::newRow("not a picture") << Special::NotAPicture << "wood.jpg" << false
                                   << "texture wood could not be read (not a readable picture)";
    QTest::newRow("mask archive a link to a FIFO") << Special::ZipIsFifoLink << "wood.png" << true
                                                   << "mask m not found";
    QTest::newRow("huge mask beside its archive") << Special::HugeBmpBesideZip << "wood.png" << true << "";
}

void TexturesTest::passesOverSpecialFiles()
{
    QFETCH(Special, special);
    QFETCH(QString, found);
    QFETCH(bool, shown);
    QFETCH(QString, note);
    QTemporaryDir base;
    const QDir rwx(base.path());
    makeSpecial(rwx, special);
    const QString mask = special >= Special::ZipIsFifoLink ? QStringLiteral("m") : QString();
    const LoadedTextures loaded = loadTextures({{QStringLiteral("wood"), mask}}, {base.path()});
    QCOMPARE(loaded.uses[0].texture.path, found.isEmpty() ? QString() : rwx.filePath(found));
    QCOMPARE(loaded.uses[0].image >= 0, shown);
    QCOMPARE(loaded.notes.filter(QStringLiteral("texture")).value(0), note.startsWith(u't') ? note : QString());
    QCOMPARE(loaded.notes.filter(QStringLiteral("mask")).value(0), note.startsWith(u'm') ? note : QString());
    if (special == Special::HugeBmpBesideZip)
        QVERIFY(loaded.uses[0].masked);
}

void TexturesTest::decodesEachFileOnceUnderTheLimit_data()
{
    QTest::addColumn<bool>("masksExist");
    QTest::addColumn<qint64>("largestTotal");
    QTest::addColumn<int>("decoded");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("width"); // of every image
    QTest::newRow("forty missing masks") << false << TextureLimits{}.largestTotal << 1 << 1 << 2048;
    QTest::newRow("forty masks") << true << TextureLimits{}.largestTotal << 1 + 40 << 1 + 40 << 1024;
    QTest::newRow("forty masks, little memory") << true << qint64(4 * 1024 * 1024) << 1 + 40 << 1 + 40 << 128;
}

void TexturesTest::decodesEachFileOnceUnderTheLimit()
{
    QFETCH(bool, masksExist);
    QFETCH(qint64, largestTotal);
    QFETCH(int, decoded);
    QFETCH(int, images);
    QFETCH(int, width);
    QTemporaryDir base;
    const QDir dir(base.path());
    writeFile(dir.filePath(QStringLiteral("big.png")), pngBytes({3000, 2000}));
    QList<TextureUse> uses{{QStringLiteral("BIG"), {}}, {QStringLiteral("Big"), {}}};
    for (int i = 1; i <= 40; ++i) {
        const QString mask = QStringLiteral("m%1").arg(i);
        uses.append({QStringLiteral("big"), mask});
        if (masksExist)
            writeFile(dir.filePath(mask + QStringLiteral(".bmp")), imageBytes(halfMask(), "BMP"));
    }
    TextureLimits limits;
    limits.largestTotal = largestTotal;
    const LoadedTextures loaded = loadTextures(uses, {base.path()}, {}, limits);
    QCOMPARE(loaded.filesDecoded, decoded);
    QCOMPARE(loaded.images.size(), images);
    qint64 total = 0;
    for (const QImage &image : loaded.images) {
        QCOMPARE(image.width(), width);
        QCOMPARE(image.height(), width * 2 / 3);
        total += image.sizeInBytes();
    }
    QVERIFY2(total <= largestTotal && loaded.heldBytes <= largestTotal,
             qPrintable(QStringLiteral("%1 bytes held at most, %2 in the images").arg(loaded.heldBytes).arg(total)));
    for (const LoadedTextures::Use &use : loaded.uses)
        QVERIFY(use.image >= 0);
    QCOMPARE(loaded.notes.size(), masksExist ? 0 : 40);
}

ORVANE_CORE_TEST_MAIN(TexturesTest)
#include "tst_textures.moc"
