#pragma once
// Reads a zip archive back with libzip, for checking what was packed.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <ctime>
#include <vector>
#include <zip.h>

namespace orvane_test {

struct ArchiveEntry {
    QString name;
    QByteArray bytes;
    quint16 method = 0; // ZIP_CM_STORE, ZIP_CM_DEFLATE, ...
    time_t mtime = 0;
};

// The archive's entries in order, or nothing with ok == false when it cannot be read.
inline std::vector<ArchiveEntry> readArchive(const QString &path, bool *ok = nullptr)
{
    std::vector<ArchiveEntry> entries;
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (ok)
        *ok = archive != nullptr;
    if (!archive)
        return entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) != 0)
            continue;
        ArchiveEntry entry;
        entry.name = QString::fromUtf8(stat.name);
        entry.method = stat.comp_method;
        entry.mtime = stat.mtime;
        entry.bytes.resize(qsizetype(stat.size));
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (file) {
            const zip_int64_t read = zip_fread(file, entry.bytes.data(), stat.size);
            entry.bytes.resize(read < 0 ? 0 : qsizetype(read));
            zip_fclose(file);
        } else if (ok) {
            *ok = false;
        }
        entries.push_back(entry);
    }
    zip_discard(archive);
    return entries;
}

} // namespace orvane_test
