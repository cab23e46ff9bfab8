#pragma once
// Zip archives for checking what was packed: read back with libzip, and
// made with it for a packing call to find.
#include <zip.h>

#include <QtEndian>

#include "support/files.h"

namespace orvane_test {

struct ArchiveEntry {
    QByteArray name;
    QByteArray data;
    quint16 method;     // ZIP_CM_STORE, ZIP_CM_DEFLATE, ...
    quint16 encryption; // ZIP_EM_NONE, ZIP_EM_AES_256, ...
    qint64 mtime;
};

// Every entry, in order, its data read with the password if one is given;
// nothing when the archive cannot be read.
inline QList<ArchiveEntry> readArchive(const QString &path, const char *password = nullptr,
                                       QByteArray *comment = nullptr)
{
    QList<ArchiveEntry> entries;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    if (!za)
        return entries;
    if (comment) {
        int len = 0;
        const char *c = zip_get_archive_comment(za, &len, ZIP_FL_ENC_RAW);
        *comment = QByteArray(c, c ? len : 0);
    }
    for (zip_uint64_t i = 0; i < zip_uint64_t(zip_get_num_entries(za, 0)); ++i) {
        zip_stat_t st;
        zip_stat_index(za, i, 0, &st);
        ArchiveEntry e{st.name, {}, st.comp_method, st.encryption_method, qint64(st.mtime)};
        zip_file_t *zf = password ? zip_fopen_index_encrypted(za, i, 0, password)
                                  : zip_fopen_index(za, i, 0);
        if (zf) {
            e.data.resize(qsizetype(st.size));
            if (zip_fread(zf, e.data.data(), st.size) != zip_int64_t(st.size))
                e.data = "<read error>";
            zip_fclose(zf);
        }
        entries << e;
    }
    zip_close(za);
    return entries;
}

// Writes a fresh archive of the given entries and returns its bytes.
inline QByteArray makeArchive(const QString &path,
                              const QList<QPair<QByteArray, QByteArray>> &entries)
{
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const auto &[name, data] : entries)
        zip_file_add(za, name.constData(),
                     zip_source_buffer(za, data.constData(), zip_uint64_t(data.size()), 0), 0);
    zip_close(za);
    return readFile(path);
}

// The archive's bytes with `stub` put before them and every offset moved
// past it, as a self-extracting archive is made: libzip still opens it.
// The archive must have no comment.
inline QByteArray withStub(QByteArray archive, const QByteArray &stub)
{
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(archive.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(archive.constData() + at); };
    auto move = [&](qsizetype at) { qToLittleEndian<quint32>(u32(at) + quint32(stub.size()), archive.data() + at); };
    const qsizetype end = archive.size() - 22; // the end record
    qsizetype entry = u32(end + 16);
    for (int i = 0; i < u16(end + 10); ++i) {
        move(entry + 42); // the entry's local header
        entry += 46 + u16(entry + 28) + u16(entry + 30) + u16(entry + 32);
    }
    move(end + 16); // the central directory
    return stub + archive;
}

} // namespace orvane_test
