/*
 * Optional functions of our own box service library, beyond the base
 * interface in box_service.h.
 *
 * Another build of libtessad.so.0 may lack any of them, so the program never
 * links against these names: it looks each one up at run time with
 * dlsym(RTLD_DEFAULT, "<name>") and carries on without the feature when the
 * lookup returns NULL. The typedefs below are the types to cast the looked-up
 * pointers to. The library itself defines the functions with these exact
 * names and signatures.
 */
#ifndef VAULTRANE_BOX_SERVICE_EXT_H
#define VAULTRANE_BOX_SERVICE_EXT_H

#include <stddef.h>

#include "box_service.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Longest passphrase the library accepts, in bytes (what gocryptfs reads).
 * Longer ones are refused before any tool runs, with BOX_REASON_PASS_TOO_LONG. */
#define BOX_PASSPHRASE_MAX 2048

/* What a failure code means in terms a user can act on. */
enum box_reason {
    BOX_REASON_NONE = 0,          /* nothing more specific to say */
    BOX_REASON_BAD_PASSWORD,      /* the password is wrong */
    BOX_REASON_BUSY,              /* files in the box are in use */
    BOX_REASON_NAME_TAKEN,        /* a box of that name exists */
    BOX_REASON_NO_SPACE,          /* not enough free space */
    BOX_REASON_PASS_TOO_LONG,     /* longer than BOX_PASSPHRASE_MAX */
    BOX_REASON_NOT_FOUND,         /* the box does not exist (any more) */
    BOX_REASON_MOUNTED,           /* the box is mounted */
    BOX_REASON_FOREIGN_ENTRY,     /* an entry left in the box by another account
                                     blocks the operation; see box_last_detail() */
    BOX_REASON_DAMAGED,           /* the box is damaged; other boxes still work */
    BOX_REASON_TOOL_MISSING,      /* gocryptfs or fusermount3 missing or failing */
    BOX_REASON_NOT_ALLOWED,       /* the box's owner or share does not allow it */
    BOX_REASON_MOUNTED_ELSEWHERE, /* another account has the box mounted; its
                                     login in box_last_detail() */
    BOX_REASON_BAD_RECOVERY_KEY,  /* the recovery key is incomplete or does not open the box */
    BOX_REASON_NOT_A_CIPHER_FOLDER /* an import source that is no gocryptfs folder or export */
};

/* Maps a result code (either sign) of any box_* call to a box_reason. */
typedef int (*box_reason_of_fn)(int code);                 /* "box_reason_of" */

/* Text detail of the calling thread's last failure (e.g. the path of the
 * entry that blocked it), or NULL. Valid until the next box_* call on the
 * same thread. After a successful box_delete it names the entry of another
 * account that could not be removed and was set aside (NULL when none). */
typedef const char *(*box_last_detail_fn)(void);           /* "box_last_detail" */

/* Progress of a long operation (encrypt, decrypt, password change) on the
 * calling thread: `percent` runs from 0 to 100. The callback runs on the
 * thread that made the box_* call, while the call is in progress. Passing a
 * NULL callback turns reports off for that thread. */
typedef void (*box_progress_cb)(const char *name, int percent, void *user);
typedef void (*box_set_progress_fn)(box_progress_cb cb, void *user); /* "box_set_progress" */

/* Called once, on the calling thread, when a box_* call of that thread must
 * wait for another operation of the same account (in any process) to finish
 * before it can start: the caller can say why nothing happens yet. Passing
 * a NULL callback turns the notice off for that thread. */
typedef void (*box_wait_cb)(void *user);
typedef void (*box_set_wait_notice_fn)(box_wait_cb cb, void *user); /* "box_set_wait_notice" */

/* Why box_enabled() returned 0 or box_init() failed, in plain English with
 * the fix (e.g. "The box folder /box does not exist and cannot be created
 * by this account. An administrator creates it with: install -d -m 1777 /box;
 * or set BOX_SERVICE_ROOT to a folder of your own."). NULL when all is well. */
typedef const char *(*box_unavailable_reason_fn)(void);    /* "box_unavailable_reason" */

/* Why boxes are unavailable, as a code, so that a program can say it in its
 * own words; the same causes box_unavailable_reason() describes. */
enum box_unavailable {
    BOX_UNAVAILABLE_NONE = 0,            /* all is well */
    BOX_UNAVAILABLE_ROOT_NOT_FOLDER,     /* the box root exists but is no folder */
    BOX_UNAVAILABLE_ROOT_MISSING,        /* the default box root is missing and this
                                            account cannot create it */
    BOX_UNAVAILABLE_CUSTOM_ROOT_MISSING, /* the same for the BOX_SERVICE_ROOT folder */
    BOX_UNAVAILABLE_NO_ACCOUNT,          /* no password database entry for the caller */
    BOX_UNAVAILABLE_USER_FOLDER,         /* the caller's box folder is another account's
                                            or no folder */
    BOX_UNAVAILABLE_START_FAILED,        /* box_init failed otherwise */
    BOX_UNAVAILABLE_NO_GOCRYPTFS,        /* gocryptfs is not installed */
    BOX_UNAVAILABLE_NO_FUSERMOUNT,       /* fusermount3 is not installed */
    BOX_UNAVAILABLE_NO_DEV_FUSE,         /* /dev/fuse is missing */
    BOX_UNAVAILABLE_DEV_FUSE_DENIED      /* the caller may not open /dev/fuse */
};
typedef int (*box_unavailable_code_fn)(void);              /* "box_unavailable_code" */

/* The calling user's box folder (e.g. "/box/alice"), written into buf.
 * Works before box_init(). Returns 0, or a negative code (buffer too small,
 * no account). */
typedef int (*box_user_folder_fn)(char *buf, size_t len);  /* "box_user_folder" */

/* The folders whose entries and attributes change with what box_get_list
 * returns to the caller (the box root, the caller's user folder, the
 * folder of its encrypted boxes), written into buf as NUL-terminated paths
 * followed by an empty one. A change of another account's shares shows as
 * an attribute change of its user folder in the box root. Mounts are not
 * among them: /proc/self/mountinfo reports those. Works before box_init().
 * Returns 0, or a negative code (buffer too small, no account). */
typedef int (*box_state_folders_fn)(char *buf, size_t len); /* "box_state_folders" */

/* box_crypto_mount with an idle time: gocryptfs unmounts the box by itself
 * after `idle_seconds` without file access (0: never). */
typedef int (*box_crypto_mount_idle_fn)(const char *owner, const char *name,
                                        box_passphrase *key,
                                        unsigned int idle_seconds); /* "box_crypto_mount_idle" */

/* The caller's access to a box. */
enum box_access {
    BOX_ACCESS_OWNER = 0,      /* the caller's own box */
    BOX_ACCESS_READ_ONLY = 1,  /* another account's box shared read-only */
    BOX_ACCESS_READ_WRITE = 2  /* another account's box shared read-write */
};

/* What a box record has no field for. */
typedef struct box_share_state {
    int access;            /* enum box_access */
    int mounted_elsewhere; /* non-zero: another account has the box mounted
                              (own box: an account it is shared with;
                              another's box: its owner or another account
                              it is shared with) */
} box_share_state;

/* Fills *state for a record of box_get_list or box_get_info of the same
 * library. Returns 0, or a negative code. */
typedef int (*box_share_state_of_fn)(const box_info *info,
                                     box_share_state *state); /* "box_share_state_of" */

/* The login of an account that has the box mounted while the caller's record
 * says mounted_elsewhere (one of them, when several have), else "", for a
 * record of box_get_list or box_get_info of the same library. Returns 0, or
 * a negative code (-ERANGE: the buffer is too small). */
typedef int (*box_mounted_by_fn)(const box_info *info, char *buf, size_t len); /* "box_mounted_by" */

/* ---- the recovery key, the integrity check, export and import ---- */

/* A recovery key is the box's gocryptfs master key: 64 hexadecimal digits.
 * As input, spaces, dashes and line breaks between them are ignored. */
#define BOX_RECOVERY_KEY_DIGITS 64

/* Writes the recovery key of an encrypted box of the caller (64 lowercase
 * hexadecimal digits and a NUL) into buf, once the password opens it. The
 * caller wipes buf. Nothing is written to the disk. */
typedef int (*box_crypto_recovery_key_fn)(const char *name, box_passphrase *password,
                                          char *buf, size_t len); /* "box_crypto_recovery_key" */

/* Sets a new password with the recovery key instead of the old password.
 * The key is first proven against the box's own encrypted names and
 * content; a wrong or incomplete key changes nothing
 * (BOX_REASON_BAD_RECOVERY_KEY). *checked is 1 when the key was proven,
 * 0 when the box holds nothing to prove it against (an empty box: the new
 * password is set, and nothing can be lost). Progress: 0 and 100. */
typedef int (*box_crypto_recover_fn)(const char *name, box_passphrase *recovery_key,
                                     box_crypto_params *new_password,
                                     int *checked); /* "box_crypto_recover" */

/* Receives one damaged file of an integrity check: its path inside the box,
 * in plain text. */
typedef void (*box_damaged_cb)(const char *path, void *user);
/* Checks every file of an encrypted box of the caller with its password
 * (gocryptfs -fsck), changing nothing. Returns 0 when the box is sound, the
 * number of damaged entries (each also given to `cb`) when it is not, or a
 * negative code. Reports progress. */
typedef int (*box_crypto_check_fn)(const char *name, box_passphrase *password,
                                   box_damaged_cb cb, void *user); /* "box_crypto_check" */

/* Writes an unmounted encrypted box of the caller to `file` (a new file,
 * mode 0600): one tar archive of its gocryptfs cipher folder, never plain
 * text; extracted, it mounts with plain gocryptfs. Reports progress. A
 * failed export removes its partial file. */
typedef int (*box_export_fn)(const char *name, const char *file); /* "box_export" */

/* Brings an archive written by box_export, or any gocryptfs cipher folder
 * (its gocryptfs.conf inside), in as the caller's encrypted box `name`. A
 * folder is copied, or moved with `move`; the password must open it before
 * the box appears, and a failed import leaves nothing behind (a moved
 * folder stays where it was). Reports progress. */
typedef int (*box_import_fn)(const char *source, const char *name, box_passphrase *password,
                             int move); /* "box_import" */

#ifdef __cplusplus
}
#endif

#endif
