#include "recorder.h"

#include <cctype>
#include <cstring>

namespace {

RecorderState state;
char slot1Text[] = "written by the library";

void note(char c)
{
    const size_t n = std::strlen(state.sequence);
    if (n + 1 < sizeof state.sequence)
        state.sequence[n] = c;
    ++state.calls;
}

void keep(RecorderString &into, const char *s)
{
    into.isNull = s == nullptr;
    std::memset(into.text, 0, sizeof into.text);
    if (s)
        std::strncpy(into.text, s, sizeof into.text - 1);
}

void upper(char *s)
{
    for (; s && *s; ++s)
        *s = static_cast<char>(std::toupper(static_cast<unsigned char>(*s)));
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) RecorderState *RecorderGetState(void)
{
    return &state;
}

__attribute__((visibility("default"))) int32_t ZpInit(ZpCallbacks *callbacks)
{
    note('I');
    state.callbacksAddress = callbacks;
    if (callbacks)
        state.callbacks = *callbacks;
    return state.initResult;
}

__attribute__((visibility("default"))) int32_t ZpSetOptions(ZpOptions *o)
{
    note('S');
    keep(state.date, o->date);
    keep(state.rootFolder, o->rootFolder);
    keep(state.tempFolder, o->tempFolder);
    const int32_t flags[8] = {o->fEncrypt, o->fStripFolders, o->fUpdate,    o->fFreshen,
                              o->fComment, o->fRecurse,      o->fAfterDate, o->fBeforeDate};
    std::memcpy(state.flags, flags, sizeof flags);
    state.level = static_cast<unsigned char>(o->fLevel);
    if (state.writeBack) {
        upper(o->rootFolder);
        o->fRecurse = 1;
        o->fLevel = '5';
    }
    return state.setOptionsResult;
}

__attribute__((visibility("default"))) int32_t ZpArchive(int32_t count, char *archivePath,
                                                         ZpNames *names)
{
    note('A');
    state.count = count;
    keep(state.archivePath, archivePath);
    for (int i = 0; i < ZP_MAX_FILES; ++i)
        state.slotIsNull[i] = names->name[i] == nullptr;
    keep(state.slot0, names->name[0]);
    if (state.callPrint && state.callbacks.print)
        state.callbacks.print("  adding: x", 11);
    if (state.callPrompts) {
        char password[16] = {};
        __atomic_store_n(&state.askingPassword, 1, __ATOMIC_SEQ_CST);
        state.passwordResult = state.callbacks.password(password, sizeof password, "Password: ", archivePath);
        keep(state.password, password);
        char comment[ZP_COMMENT_BUFFER_SIZE] = {};
        state.callbacks.comment(comment);
        keep(state.comment, comment);
    }
    if (state.writeBack) {
        upper(archivePath);
        upper(names->name[0]);
        names->name[1] = slot1Text;
    }
    return state.archiveResult;
}

} // extern "C"
