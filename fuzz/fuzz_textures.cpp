// Fuzz target: finding and decoding textures and masks. The input lays out
// three texture folders (rwx/, rwx/textures/, textures/) with files, zip
// archives, pictures, symbolic links, FIFOs and folders, and names a texture
// and a mask; they are loaded under small limits. For any input: the load
// ends (a FIFO never makes it wait); what is found is a regular file in one
// of the folders whose name is a candidate's in some letter case, exact when
// said so, with no candidate in an earlier folder or of an earlier
// extension; images keep to the limits, each alone and all together; uses
// naming the same files share an image; every note names a texture or mask
// as a use wrote it.
//
// Input: line 1 the texture's name, line 2 the mask's name, then one entry a
// line: a kind letter, a folder digit (0 to 2), the name, a tab, an argument:
//   f  a file holding the argument's bytes
//   i  a PNG picture, m a BMP picture, of the size in the argument ("WxH")
//   z  a zip archive holding one entry: "entry-name<tab>bytes"
//   l  a symbolic link to the argument (a name in the same folder)
//   p  a FIFO            d  a folder
#include "check.h"

#include "scene/textures.h"
#include "tests/support/pictures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace {

constexpr std::array kFolders = {"rwx", "rwx/textures", "textures"};
constexpr std::array kExtensions = {".jpg", ".jpeg", ".png", ".bmp", ".gif"};

rwx::TextureLimits limits()
{
    rwx::TextureLimits limits;
    limits.largestSide = 64;
    limits.largestTotal = 48 * 1024;
    limits.largestFile = 64 * 1024;
    limits.largestPixels = 1 << 20;
    return limits;
}

bool usableName(const QByteArray &name)
{
    return !name.isEmpty() && name.size() <= 64 && !name.contains('/') && !name.contains('\0') && name != "."
        && name != "..";
}

QByteArray picture(const QByteArray &size, const char *format)
{
    const QList<QByteArray> sides = size.split('x');
    const int width = sides.value(0).toInt(), height = sides.value(1).toInt();
    if (width < 1 || height < 1 || width > 300 || height > 300)
        return {};
    return orvane_test::imageBytes(orvane_test::filled({width, height}, Qt::white), format);
}

QByteArray zipped(const QByteArray &entry, const QByteArray &bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = source ? zip_open_from_source(source, ZIP_TRUNCATE, &error) : nullptr;
    zip_error_fini(&error);
    FUZZ_CHECK(archive, "an archive can be made in memory");
    zip_source_keep(source);
    zip_file_add(archive, entry.constData(), zip_source_buffer(archive, bytes.constData(), bytes.size(), 0), 0);
    FUZZ_CHECK(zip_close(archive) == 0, "the archive is written");
    QByteArray out;
    zip_stat_t stat;
    if (zip_source_stat(source, &stat) == 0 && zip_source_open(source) == 0) {
        out.resize(qsizetype(stat.size));
        out.resize(qsizetype(std::max<zip_int64_t>(0, zip_source_read(source, out.data(), stat.size))));
        zip_source_close(source);
    }
    zip_source_free(source);
    return out;
}

void make(const QDir &folder, char kind, const QByteArray &name, const QByteArray &argument)
{
    const QByteArray path = QFile::encodeName(folder.filePath(QString::fromUtf8(name)));
    struct stat status {};
    if (::lstat(path.constData(), &status) == 0)
        return; // the first entry of a name stands (writing through a link to a FIFO would wait)
    auto write = [&](const QByteArray &bytes) {
        QFile file(QString::fromUtf8(path));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    };
    switch (kind) {
    case 'f': write(argument); break;
    case 'i': write(picture(argument, "PNG")); break;
    case 'm': write(picture(argument, "BMP")); break;
    case 'z': {
        const qsizetype tab = argument.indexOf('\t');
        write(zipped(argument.left(tab), tab < 0 ? QByteArray() : argument.mid(tab + 1)));
        break;
    }
    case 'l':
        if (usableName(argument))
            (void)!symlink(argument.constData(), path.constData());
        break;
    case 'p': (void)!mkfifo(path.constData(), 0600); break;
    case 'd': (void)!mkdir(path.constData(), 0700); break;
    default: break;
    }
}

bool regularFile(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// The candidate names of a texture (or a mask), in the order they are tried.
QStringList candidates(const QString &name, bool mask)
{
    QStringList names;
    if (mask)
        return {name + QStringLiteral(".bmp"), name + QStringLiteral(".zip")};
    for (const char *extension : kExtensions)
        names << name + QLatin1String(extension);
    return names;
}

// Letter case as the finder ignores it.
bool sameIgnoringCase(const QString &a, const QString &b)
{
    return a.toLower() == b.toLower();
}

// Whether `folder` holds a regular file named `candidate` in any letter case.
bool holds(const QString &folder, const QString &candidate)
{
    for (const QString &entry : QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden))
        if (sameIgnoringCase(entry, candidate) && regularFile(folder + u'/' + entry))
            return true;
    return false;
}

void checkFound(const rwx::FoundTexture &found, const QString &name, bool mask, const QStringList &folders)
{
    if (!found.found())
        return;
    const QFileInfo info(found.path);
    FUZZ_CHECK(regularFile(found.path), "what is found is a regular file");
    const qsizetype folder = folders.indexOf(info.path());
    FUZZ_CHECK(folder >= 0, "what is found lies in one of the folders");
    const QStringList names = candidates(name, mask);
    qsizetype which = -1;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (sameIgnoringCase(names[i], info.fileName()))
            which = i;
    FUZZ_CHECK(which >= 0, "the file's name is a candidate's in some letter case");
    FUZZ_CHECK((found.match == rwx::NameMatch::Exact) == (names[which] == info.fileName()),
               "the match is exact exactly when the spelling is");
    FUZZ_CHECK(found.zipped == (mask && which == 1),
               "only a mask is read from an archive, and only from m.zip");
    for (qsizetype f = 0; f < folder; ++f)
        for (const QString &candidate : names)
            FUZZ_CHECK(!holds(folders[f], candidate) || (mask && candidate == names[1] && !found.zipped),
                       "no earlier folder holds a candidate");
    if (!mask)
        for (qsizetype i = 0; i < which; ++i)
            FUZZ_CHECK(!holds(folders[folder], names[i]), "no earlier extension is there");
}

} // namespace

ORVANE_FUZZ_TARGET
{
    static QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvane-fuzz-textures-XXXXXX"));
    FUZZ_CHECK(scratch.isValid(), "a scratch folder can be made");
    QDir top(scratch.path());
    for (const char *folder : kFolders) {
        QDir(top.filePath(QLatin1String(folder))).removeRecursively();
    }
    for (const char *folder : kFolders)
        FUZZ_CHECK(top.mkpath(QLatin1String(folder)), "the folders can be made");

    const QList<QByteArray> lines = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    const QString texture = QString::fromUtf8(lines.value(0));
    const QString mask = QString::fromUtf8(lines.value(1));
    for (qsizetype i = 2; i < lines.size() && i < 40; ++i) {
        const QByteArray &line = lines[i];
        if (line.size() < 3 || line[1] < '0' || line[1] > '2')
            continue;
        const qsizetype tab = line.indexOf('\t');
        const QByteArray name = line.mid(2, tab < 0 ? -1 : tab - 2);
        if (usableName(name))
            make(QDir(top.filePath(QLatin1String(kFolders[line[1] - '0']))), line[0], name,
                 tab < 0 ? QByteArray() : line.mid(tab + 1));
    }

    const QStringList folders = rwx::scriptTextureFolders(top.filePath(QStringLiteral("rwx")));
    FUZZ_CHECK(folders.size() == 3, "the three folders are looked in");
    const QList<rwx::TextureUse> uses{{texture, mask}, {texture.toUpper(), {}}, {texture, mask}, {texture, {}}};
    const rwx::TextureLimits limited = limits();
    const rwx::LoadedTextures loaded = rwx::loadTextures(uses, folders, {}, limited);

    FUZZ_CHECK(loaded.uses.size() == uses.size(), "every use is answered");
    checkFound(loaded.uses[0].texture, texture, false, folders);
    checkFound(loaded.uses[0].mask, mask, true, folders);
    FUZZ_CHECK(loaded.uses[0].image == loaded.uses[2].image, "uses of the same files share an image");
    FUZZ_CHECK(loaded.filesDecoded <= 2 + 1, "each file is decoded once");
    qint64 total = 0;
    for (const QImage &image : loaded.images) {
        FUZZ_CHECK(image.format() == QImage::Format_RGBA8888, "images are RGBA");
        // An animated strip is n square frames stacked: each frame keeps to the limit.
        const int frames = rwx::stripFrames(image.size());
        FUZZ_CHECK(image.width() <= limited.largestSide && image.height() / frames <= limited.largestSide,
                   "no side of a picture or of a strip's frame is longer than the limit");
        total += image.sizeInBytes();
    }
    FUZZ_CHECK(total <= limited.largestTotal && loaded.heldBytes <= limited.largestTotal,
               "all images together keep under the limit");
    for (const rwx::LoadedTextures::Use &use : loaded.uses)
        FUZZ_CHECK(use.image < loaded.images.size() && (use.image >= 0 || !use.masked), "uses point at images");
    for (const QString &note : loaded.notes)
        FUZZ_CHECK((note.startsWith(QLatin1String("texture "))
                    && (note.contains(texture) || note.contains(texture.toUpper())))
                       || (note.startsWith(QLatin1String("mask ")) && note.contains(mask)),
                   "every note names its texture or mask");
    return 0;
}
