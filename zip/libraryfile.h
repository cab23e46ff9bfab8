#pragma once
// Checks a shared library file before the system loader maps it: a file cut
// short makes the loader fault (SIGBUS) instead of failing.
#include <QString>

namespace VBZipBas {

// True when `path` is a whole ELF shared object for this computer (its
// class, byte order and machine match this program, and every header table
// and segment it names lies within the file); otherwise false, with what is
// wrong with it in plain words in *error.
bool checkLibraryFile(const QString &path, QString *error);

} // namespace VBZipBas
