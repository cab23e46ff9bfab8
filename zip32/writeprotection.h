#pragma once
// The program's one rule for files and folders it may not write: a file it
// would replace, a folder it would write into.
#include <sys/stat.h>
#include <unistd.h>

namespace zip32 {

// True when `path` exists and may not be written: the caller may not write
// it, or its mode grants no one the right to. The system lets root write
// anything; a path whose every write permission bit is off is taken as
// meant to be kept as it is all the same.
inline bool writeProtected(const char *path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return false;
    return (st.st_mode & 0222) == 0 || access(path, W_OK) != 0;
}

} // namespace zip32
