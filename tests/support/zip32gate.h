/* A stand-in for libzip32.so for the tests that hold a packing half-way.
 *
 * It passes every call on to the library it stands for: libzip32.so beside
 * it, or the one GateForwardTo() names. While the gate is closed, a
 * ZpArchive call waits at its first progress report, when the archive has
 * been opened and nothing is written yet, until the gate opens. */
#ifndef ZIP32GATE_H
#define ZIP32GATE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library to pass the calls on to, loaded at the next call; 0 on success. */
int32_t GateForwardTo(const char *libraryPath);
/* Closes (1) or opens (0) the gate. */
void GateClose(int closed);
/* How many ZpArchive calls wait at the gate. */
int GateWaiting(void);

#ifdef __cplusplus
}
#endif

#endif /* ZIP32GATE_H */
