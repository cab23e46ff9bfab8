#pragma once
// File names given on the command line. The system hands them over as
// bytes; a name whose bytes are not valid in the file-name encoding decodes
// with replacement characters, and then only the bytes still name the file.
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace commandline {

// The bytes of the entry of argv that `argument` was decoded from (the last
// such entry); the argument encoded as a file name when none is.
QByteArray argumentBytes(const QString &argument, int argc, const char *const *argv);

// The process's working folder, as the system spells it; empty when it is
// gone.
QByteArray workingFolder();

// A file named on the command line as a local-file address, as a file
// manager's drop carries it: absolute (a relative name is taken from
// `folder`), "." segments and doubled separators dropped, and a ".." folded
// only where the shorter path leads to the same place. A relative name and
// no folder give no address: such a name names no file.
QUrl localFileUrl(const QByteArray &name, const QByteArray &folder);

} // namespace commandline
