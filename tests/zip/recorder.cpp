#include "recorder.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <cstring>
#include <vector>

namespace {

RecorderState state;
ZpProgress progress;
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

__attribute__((visibility("default"))) int32_t ZpSetProgress(ZpProgress *p)
{
    progress = p ? *p : ZpProgress{};
    return 0;
}

__attribute__((visibility("default"))) int32_t ZpArchive(int32_t count, char *archivePath,
                                                         ZpNames *names)
{
    note('A');
    if (state.callProgress && progress.progress)
        progress.progress(0.0, progress.state);
    state.count = count;
    keep(state.archivePath, archivePath);
    for (int i = 0; i < ZP_MAX_FILES; ++i)
        state.slotIsNull[i] = names->name[i] == nullptr;
    keep(state.slot0, names->name[0]);
    if (state.callPrint && state.callbacks.print)
        state.callbacks.print("  adding: x", 11);
    if (state.callPrompts & 1) {
        std::vector<char> password(size_t(state.passwordBufferSize ? state.passwordBufferSize : 16), char(state.fill));
        const int32_t size = state.passwordSizeGiven ? state.passwordSize : int32_t(password.size());
        __atomic_store_n(&state.askingPassword, 1, __ATOMIC_SEQ_CST);
        state.passwordResult = state.callbacks.password(password.data(), size, "Password: ", archivePath);
        std::memcpy(state.passwordBuffer, password.data(), std::min(password.size(), sizeof state.passwordBuffer));
        keep(state.password, std::string(password.data(), password.size()).c_str());
    }
    if (state.callPrompts & 2) {
        std::vector<char> comment(size_t(state.commentBufferSize ? state.commentBufferSize : ZP_COMMENT_BUFFER_SIZE),
                                  char(state.fill));
        state.commentResult = state.callbacks.comment(comment.data());
        std::memcpy(state.commentBuffer, comment.data(), std::min(comment.size(), sizeof state.commentBuffer));
        keep(state.comment, std::string(comment.data(), comment.size()).c_str());
    }
    if (state.writeBack) {
        upper(archivePath);
        upper(names->name[0]);
        names->name[1] = slot1Text;
    }
    return state.archiveResult;
}

} // extern "C"
