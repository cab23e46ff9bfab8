#include "support/zip32gate.h"

#include "zip32/zip32.h"

#include <dlfcn.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>

#define GATE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Target {
    std::string path;
    void *handle = nullptr;
    void *entry(const char *name)
    {
        if (!handle) {
            if (path.empty()) {
                Dl_info self{};
                dladdr(reinterpret_cast<void *>(&GateWaiting), &self);
                const std::string gate = self.dli_fname ? self.dli_fname : "";
                path = gate.substr(0, gate.rfind('/') + 1) + "libzip32.so";
            }
            handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        return handle ? dlsym(handle, name) : nullptr;
    }
} target;

std::mutex mutex;
std::condition_variable opened;
bool closed = false;
int waiting = 0;
thread_local bool firstReport = false;

// What the caller registered for progress, reached through the gate's own.
ZpProgress caller{};

void onProgress(double fraction, void *)
{
    if (std::exchange(firstReport, false)) {
        std::unique_lock lock(mutex);
        ++waiting;
        opened.wait(lock, [] { return !closed; });
        --waiting;
    }
    if (caller.progress)
        caller.progress(fraction, caller.state);
}

int32_t onCancel(void *)
{
    return caller.cancel ? caller.cancel(caller.state) : 0;
}

template <typename Function>
Function forward(const char *name)
{
    return reinterpret_cast<Function>(target.entry(name));
}

} // namespace

GATE_EXPORT int32_t GateForwardTo(const char *libraryPath)
{
    target = Target{libraryPath ? libraryPath : ""};
    return 0;
}

GATE_EXPORT void GateClose(int close)
{
    {
        const std::lock_guard lock(mutex);
        closed = close != 0;
    }
    opened.notify_all();
}

GATE_EXPORT int GateWaiting(void)
{
    const std::lock_guard lock(mutex);
    return waiting;
}

GATE_EXPORT int32_t ZpInit(ZpCallbacks *callbacks)
{
    return forward<int32_t (*)(ZpCallbacks *)>("ZpInit")(callbacks);
}

GATE_EXPORT int32_t ZpSetOptions(ZpOptions *options)
{
    return forward<int32_t (*)(ZpOptions *)>("ZpSetOptions")(options);
}

GATE_EXPORT int32_t ZpSetProgress(ZpProgress *progress)
{
    caller = progress ? *progress : ZpProgress{};
    ZpProgress own{&onProgress, &onCancel, nullptr};
    const auto setProgress = forward<int32_t (*)(ZpProgress *)>("ZpSetProgress");
    return setProgress ? setProgress(&own) : 0;
}

GATE_EXPORT int32_t ZpArchive(int32_t count, char *archivePath, ZpNames *names)
{
    firstReport = true;
    return forward<int32_t (*)(int32_t, char *, ZpNames *)>("ZpArchive")(count, archivePath, names);
}
