// zip32 on top of libzip: see zip32.h for the interface. This file holds the
// entries and what the library keeps between calls; archiving.cpp packs.
#include "zip32/zip32.h"

#include "zip32/archiving.h"
#include "zip32/entries.h"

#include <new>

using zip32::Options;

namespace {

// What the library keeps from one call to the next.
zip32::Call g_call;
bool g_busy = false;     // while ZpArchive runs, its callbacks included
int g_systemError = 0;   // behind the last ZpArchive's failure

std::optional<std::string> copyString(const char *s)
{
    if (!s)
        return std::nullopt;
    return std::string(s);
}

} // namespace

extern "C" {

ZP_EXPORT int32_t ZpInit(ZpCallbacks *callbacks)
{
    if (g_busy)
        return ZE_LOGIC;
    g_call.callbacks = callbacks ? *callbacks : ZpCallbacks{};
    return ZE_OK;
}

ZP_EXPORT int32_t ZpSetProgress(ZpProgress *progress)
{
    if (g_busy)
        return ZE_LOGIC;
    g_call.progress = progress ? *progress : ZpProgress{};
    return ZE_OK;
}

ZP_EXPORT int32_t ZpSetOptions(ZpOptions *options)
{
    if (g_busy)
        return ZE_LOGIC;
    if (!options)
        return ZE_PARMS;
    Options &o = g_call.options;
    try {
        o = Options{
            .date = copyString(options->date),
            .rootFolder = copyString(options->rootFolder),
            .encrypt = options->fEncrypt != 0,
            .stripFolders = options->fStripFolders != 0,
            .update = options->fUpdate != 0,
            .freshen = options->fFreshen != 0,
            .comment = options->fComment != 0,
            .recurse = options->fRecurse != 0,
            .afterDate = options->fAfterDate != 0,
            .beforeDate = options->fBeforeDate != 0,
            .level = options->fLevel,
        };
    } catch (const std::bad_alloc &) {
        g_call.optionsValid = false;
        return ZE_MEM;
    }
    g_call.optionsValid = zip32::validLevel(o.level) && (!(o.afterDate || o.beforeDate) || zip32::parseDate(o.date));
    return g_call.optionsValid ? ZE_OK : ZE_PARMS;
}

ZP_EXPORT int32_t ZpArchive(int32_t count, char *archivePath, ZpNames *names)
{
    if (g_busy)
        return ZE_LOGIC;
    struct Busy {
        Busy() { g_busy = true; }
        ~Busy() { g_busy = false; }
    } busy;
    g_systemError = 0;
    try {
        return zip32::archive(g_call, count, archivePath, names, &g_systemError);
    } catch (const std::bad_alloc &) {
        return ZE_MEM;
    } catch (...) {
        return ZE_LOGIC;
    }
}

ZP_EXPORT int32_t ZpSystemError(void)
{
    return g_systemError;
}

} // extern "C"
