// One ZpArchive call, step by step. Internal to libzip32.so.
#pragma once

#include "zip32/entries.h"
#include "zip32/zip32.h"

namespace zip32 {

// What a call works with: the options, callbacks and progress registered.
struct Call {
    Options options;
    bool optionsValid = true;
    ZpCallbacks callbacks{};
    ZpProgress progress{};
};

// Packs the files of slots 0 to count - 1 as zip32.h's ZpArchive says.
// Returns its code; *systemError is the system's error number behind a
// failure, or 0.
int32_t archive(const Call &call, int32_t count, const char *archivePath, const ZpNames *names, int *systemError);

} // namespace zip32
