#pragma once
// A stand-in for libzip32.so, for the tests: it keeps what its three entries
// are given, answers with preset results and can write into the records it
// receives. The tests reach its state through RecorderState().
#include "zip32/zip32.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RECORDER_TEXT 4200
#define RECORDER_BUFFER 8192

typedef struct RecorderString {
    int isNull;
    char text[RECORDER_TEXT];
} RecorderString;

typedef struct RecorderState {
    /* the order of the calls, one letter each: I(nit), S(etOptions), A(rchive) */
    char sequence[64];
    int calls;

    /* ZpInit */
    const void *callbacksAddress;
    ZpCallbacks callbacks;

    /* ZpSetOptions: the record's bytes as they arrived */
    RecorderString date, rootFolder, tempFolder;
    int32_t flags[8]; /* fEncrypt .. fBeforeDate, in record order */
    unsigned char level;

    /* ZpArchive */
    int32_t count;
    RecorderString archivePath;
    int slotIsNull[ZP_MAX_FILES];
    RecorderString slot0;

    /* The password and comment callbacks, when ZpArchive calls them: their
     * answers and their whole buffers afterwards */
    int askingPassword; /* set (atomically) just before the password callback is called */
    int32_t passwordResult, commentResult;
    RecorderString password, comment;
    unsigned char passwordBuffer[RECORDER_BUFFER], commentBuffer[RECORDER_BUFFER];

    /* Behaviour */
    int32_t initResult, setOptionsResult, archiveResult;
    int writeBack;    /* upper-case the strings in place, set flags, fill slot 1 */
    int callPrint;    /* ZpArchive calls the print callback once */
    int callProgress; /* ZpArchive reports its start to the progress callback registered */
    int callPrompts;  /* ZpArchive calls the password callback (bit 0), then the comment callback (bit 1) */
    /* The buffers it hands them, each byte `fill` at first: the password
     * buffer's size (default 16) and, when passwordSizeGiven is set, the size
     * it says it has (else the same), the comment buffer's size (default
     * ZP_COMMENT_BUFFER_SIZE) */
    int32_t passwordBufferSize, passwordSizeGiven, passwordSize, commentBufferSize;
    unsigned char fill;
} RecorderState;

RecorderState *RecorderGetState(void);

#ifdef __cplusplus
}
#endif
