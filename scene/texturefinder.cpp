// Where textures and masks are found: the folders, and the names in them.
#include "scene/texturefiles.h"
#include "scene/textures.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <array>

namespace rwx {

namespace {

constexpr std::array kImageExtensions = {".jpg", ".jpeg", ".png", ".bmp", ".gif"};

bool usableName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && !name.contains(QChar(0))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

// The folders that exist among `candidates`, each once, cleaned.
QStringList existingFolders(std::initializer_list<QString> candidates)
{
    QStringList folders;
    for (const QString &candidate : candidates) {
        const QString clean = QDir::cleanPath(candidate);
        if (QFileInfo(clean).isDir() && !folders.contains(clean))
            folders << clean;
    }
    return folders;
}

} // namespace

QStringList scriptTextureFolders(const QString &scriptFolder)
{
    if (scriptFolder.isEmpty())
        return {};
    const QDir dir(scriptFolder);
    return existingFolders({dir.absolutePath(), dir.absoluteFilePath(QStringLiteral("textures")),
                            dir.absoluteFilePath(QStringLiteral("../textures"))});
}

QStringList archiveTextureFolders(const QString &archivePath)
{
    if (archivePath.isEmpty())
        return {};
    const QDir dir = QFileInfo(archivePath).absoluteDir();
    return existingFolders({dir.absolutePath(), dir.absoluteFilePath(QStringLiteral("../textures"))});
}

TextureFinder::TextureFinder(QStringList folders)
    : m_folders(std::move(folders))
{
}

const QHash<QString, QStringList> &TextureFinder::listing(const QString &folder)
{
    auto it = m_listings.find(folder);
    if (it == m_listings.end()) {
        // Every name, whatever it is: whether it is a regular file is asked
        // only of the names looked for.
        QHash<QString, QStringList> names;
        QDirIterator entries(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        while (entries.hasNext())
            names[entries.nextFileInfo().fileName().toLower()] << entries.fileName();
        for (QStringList &spellings : names)
            spellings.sort(); // the same choice every time
        it = m_listings.insert(folder, names);
    }
    return *it;
}

FoundTexture TextureFinder::findIn(const QString &folder, const QString &fileName)
{
    const QString exact = folder + u'/' + fileName;
    if (isRegularFile(exact))
        return {exact, NameMatch::Exact, false, {}};
    for (const QString &spelled : listing(folder).value(fileName.toLower())) {
        const QString path = folder + u'/' + spelled;
        if (spelled != fileName && isRegularFile(path))
            return {path, NameMatch::IgnoringCase, false, {}};
    }
    return {};
}

FoundTexture TextureFinder::file(const QString &fileName)
{
    if (!usableName(fileName))
        return {};
    for (const QString &folder : std::as_const(m_folders)) {
        if (FoundTexture found = findIn(folder, fileName); found.found())
            return found;
    }
    return {};
}

FoundTexture TextureFinder::texture(const QString &name)
{
    if (!usableName(name))
        return {};
    for (const QString &folder : std::as_const(m_folders)) {
        for (const char *extension : kImageExtensions) {
            if (FoundTexture found = findIn(folder, name + QLatin1String(extension)); found.found())
                return found;
        }
    }
    return {};
}

FoundTexture TextureFinder::mask(const QString &name)
{
    if (!usableName(name))
        return {};
    const FoundTexture archive = file(name + QStringLiteral(".zip"));
    FoundTexture found = file(name + QStringLiteral(".bmp"));
    if (!found.found()) {
        found = archive;
        found.zipped = found.found();
    }
    found.archive = archive.path;
    return found;
}

} // namespace rwx
