#include "convert/scriptinput.h"

#include "rwx/scripttext.h"
#include "scene/textures.h"
#include "scene/texturefiles.h"

#include <QFileInfo>

#include <zip.h>

#include <memory>

namespace convert {

namespace {

struct ZipCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

bool fail(QString *error, const QString &reason)
{
    *error = reason;
    return false;
}

// The bytes of the first entry of `archive` whose name ends in .rwx (in any
// letter case, in any folder of it).
bool firstScriptEntry(const QByteArray &archive, QByteArray *script, QString *error)
{
    const QString damaged = QStringLiteral("not a readable zip archive");
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *source = zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, &zipError);
    std::unique_ptr<zip_t, ZipCloser> zip(source ? zip_open_from_source(source, ZIP_RDONLY, &zipError) : nullptr);
    zip_error_fini(&zipError);
    if (!zip) {
        if (source)
            zip_source_free(source);
        return fail(error, damaged);
    }
    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(zip.get(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name || !QByteArray(name).toLower().endsWith(".rwx"))
            continue;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip.get(), zip_uint64_t(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return fail(error, damaged);
        if (stat.size > zip_uint64_t(LargestInput))
            return fail(error, QStringLiteral("its script is larger than 256 MB"));
        std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(zip.get(), zip_uint64_t(i), 0));
        QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
        if (!file || zip_fread(file.get(), bytes.data(), stat.size) != zip_int64_t(stat.size))
            return fail(error, damaged);
        *script = std::move(bytes);
        return true;
    }
    return fail(error, QStringLiteral("no .rwx script in the archive"));
}

} // namespace

bool isArchivePath(const QString &path)
{
    return path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive);
}

bool readScriptInput(const QString &path, ScriptInput *input, QString *error)
{
    QByteArray bytes;
    QString reason;
    if (!rwx::readRegularFile(path, LargestInput, &bytes, &reason))
        return fail(error, QStringLiteral("cannot read it: %1").arg(reason));
    const QFileInfo file(path);
    if (isArchivePath(path)) {
        QByteArray script;
        if (!firstScriptEntry(bytes, &script, error))
            return false;
        bytes = std::move(script);
        input->textureFolders = rwx::archiveTextureFolders(file.absoluteFilePath());
    } else {
        input->textureFolders = rwx::scriptTextureFolders(file.absolutePath());
    }
    input->text = textFromPaneBytes(decodeScript(bytes).utf8);
    input->name = file.completeBaseName();
    return true;
}

} // namespace convert
