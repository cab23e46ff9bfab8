/* zip32: a small zip archiver library with a plain C interface.
 *
 * A caller registers its callbacks with ZpInit, hands over the packing
 * options with ZpSetOptions and packs a list of files with ZpArchive.
 * Every call returns 0 on success or one of the ZE_ codes below.
 *
 * The library keeps the callbacks and a copy of the options between calls.
 * Calls must not overlap: any thread may call, one at a time, and the
 * callbacks run on the calling thread. While ZpArchive runs (its callbacks
 * included), a further call of any entry returns ZE_LOGIC and changes
 * nothing.
 */
#ifndef ZIP32_ZIP32_H
#define ZIP32_ZIP32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZIP32_BUILDING_LIBRARY)
#define ZP_EXPORT __attribute__((visibility("default")))
#else
#define ZP_EXPORT
#endif

/* Number of slots in a ZpNames list. */
#define ZP_MAX_FILES 100
/* Size of the buffer handed to the comment callback: up to 4096 bytes of
 * text and the terminating zero. */
#define ZP_COMMENT_BUFFER_SIZE 4097
/* Size of the buffer handed to the password callback. */
#define ZP_PASSWORD_BUFFER_SIZE 256

/* Result codes. */
#define ZE_OK 0     /* success */
#define ZE_FORM 3   /* the archive path holds a file that is not a (sound) zip archive */
#define ZE_MEM 4    /* out of memory */
#define ZE_LOGIC 5  /* called again while ZpArchive runs, or an unexpected internal error */
#define ZE_ABORT 9  /* aborted: a callback said so, or no password was given */
#define ZE_READ 11  /* a file could not be read */
#define ZE_NONE 12  /* nothing to do: no file was packed, the archive is untouched */
#define ZE_WRITE 14 /* the archive could not be written or moved into place */
#define ZE_CREAT 15 /* the archive could not be created (e.g. its folder is missing) */
#define ZE_PARMS 16 /* bad arguments: count, level, date, or an unsafe or duplicate entry name */
#define ZE_OPEN 18  /* a file to pack does not exist or cannot be opened */
#define ZE_CRYPT 21 /* encryption was asked for but is not available */
#define ZE_CHANGED 22 /* someone else wrote, replaced or removed the archive while it was packed: theirs is kept */

/* Callbacks. Texts are zero-terminated UTF-8.
 *   print     one short line per file packed; length is the text's byte count.
 *   comment   called once when fComment is set; the buffer holds
 *             ZP_COMMENT_BUFFER_SIZE bytes, all zero; text left in it
 *             becomes the archive comment (empty: the comment is kept).
 *   password  called once when fEncrypt is set; the buffer holds size
 *             bytes, all zero; answer 0 with the password in the buffer,
 *             anything else (or an empty password) aborts with ZE_ABORT.
 *             prompt is the library's prompt, name the archive path.
 *   service   once per entry before it is packed, with its name and its
 *             size in bytes (capped at INT32_MAX); a non-zero answer aborts
 *             with ZE_ABORT and leaves the archive as it was.
 * Any callback may be null: print and service are then skipped, comment
 * stores nothing, password aborts. */
typedef int32_t (*ZpPrintCallback)(const char *text, int32_t length);
typedef int32_t (*ZpCommentCallback)(char *comment);
typedef int32_t (*ZpPasswordCallback)(char *password, int32_t size, const char *prompt,
                                      const char *name);
typedef int32_t (*ZpServiceCallback)(const char *name, int32_t size);

typedef struct ZpCallbacks {
    ZpPrintCallback print;
    ZpCommentCallback comment;
    ZpPasswordCallback password;
    ZpServiceCallback service;
} ZpCallbacks;

/* Packing options. Strings are zero-terminated UTF-8 or null; flags are
 * 0 (off) or non-zero (on).
 *   date         "YYYY-MM-DD" (local time), for fAfterDate / fBeforeDate.
 *   rootFolder   relative file names and a relative archive path resolve
 *                against it, and entries are named relative to it; null or
 *                empty: the current folder.
 *   tempFolder   accepted and ignored: the archive is always written through
 *                a temporary file in its own folder, so that it can be
 *                renamed into place in one step.
 *   fEncrypt       encrypt every entry packed (AES-256) with the password
 *                  asked through the password callback.
 *   fStripFolders  name each entry by the bare file name.
 *   fUpdate        add new entries; replace an existing one only when its
 *                  file is newer.
 *   fFreshen       replace existing entries whose file is newer; add none.
 *   fComment       ask for the archive comment through the comment callback.
 *   fRecurse       a folder in the list packs every regular file below it;
 *                  without it, a folder in the list is skipped.
 *   fAfterDate     pack only files changed on or after date.
 *   fBeforeDate    pack only files changed before date.
 *   fLevel         the character '0' (store) or '1' to '9' (deflate at that
 *                  level); any other byte makes ZpSetOptions and the next
 *                  ZpArchive answer ZE_PARMS. */
typedef struct ZpOptions {
    char *date;
    char *rootFolder;
    char *tempFolder;
    int32_t fEncrypt;
    int32_t fStripFolders;
    int32_t fUpdate;
    int32_t fFreshen;
    int32_t fComment;
    int32_t fRecurse;
    int32_t fAfterDate;
    int32_t fBeforeDate;
    char fLevel;
} ZpOptions;

/* The list of files to pack: slot 0 first, unused slots null. */
typedef struct ZpNames {
    char *name[ZP_MAX_FILES];
} ZpNames;

/* Registers the callbacks (copied; null clears them all). */
ZP_EXPORT int32_t ZpInit(ZpCallbacks *callbacks);

/* Takes a copy of the options; they stay in force until the next call.
 * Before the first call: no flags, no root folder, level '6'. */
ZP_EXPORT int32_t ZpSetOptions(ZpOptions *options);

/* Packs the files of slots 0 to count - 1 (1 <= count <= ZP_MAX_FILES)
 * into the archive at archivePath. An existing archive keeps its other
 * entries; an entry of the same name is replaced. Entry names are UTF-8;
 * a name that is empty, absolute or holds a ".." part is refused with
 * ZE_PARMS, as is a name that occurs twice. The archive is written to a
 * temporary file beside it, "<archive>.XXXXXX", readable by its owner
 * alone and locked (flock) until it is complete, and renamed into place; on
 * any failure the archive path is left exactly as it was. Such a file that
 * a call killed half-way left behind (unlocked, holding an unfinished
 * archive) is removed by the next call for the same archive. A replaced archive keeps its
 * mode; a new one gets the mode a new file gets (0666 less the umask)
 * without any permission that one of the files packed lacks. Entries keep
 * their file's modification time. Nothing is written into a read-only
 * folder, and an existing archive is never replaced when it is read-only
 * (for either: no write permission bit set, or not writable for the
 * caller): ZE_CREAT; nor when it holds data before its first entry, which
 * rewriting it would lose: ZE_FORM; nor when another program wrote,
 * replaced or removed it (or put one where there was none) after this call
 * opened it: ZE_CHANGED, and the archive path stays as that program left
 * it. */
ZP_EXPORT int32_t ZpArchive(int32_t count, char *archivePath, ZpNames *names);

/* Progress of ZpArchive while it writes the archive, and a way to stop it.
 * An addition to the calls above: a caller that does not register them
 * packs as before.
 *   progress  the share of the writing done, from 0.0 to 1.0, called as
 *             it grows by at least 1 % (and at the start and the end).
 *   cancel    asked often while the archive is written; a non-zero answer
 *             ends ZpArchive with ZE_ABORT and leaves the archive path
 *             as it was.
 * Both get `state` as it was registered. Either may be null. */
typedef void (*ZpProgressCallback)(double fraction, void *state);
typedef int32_t (*ZpCancelCallback)(void *state);

typedef struct ZpProgress {
    ZpProgressCallback progress;
    ZpCancelCallback cancel;
    void *state;
} ZpProgress;

/* Registers them for the following ZpArchive calls (copied; null clears
 * them). ZpInit leaves them as they are. */
ZP_EXPORT int32_t ZpSetProgress(ZpProgress *progress);

/* The system's error number (errno) behind the failure of the last
 * ZpArchive call, such as ENOSPC for a full disk; 0 when that call
 * succeeded or the system gave no reason. An addition to the calls above. */
ZP_EXPORT int32_t ZpSystemError(void);

#ifdef __cplusplus
}
#endif

#endif /* ZIP32_ZIP32_H */
