/*
 * Internal declarations of the box service library.
 *
 * Layout under the box root (default /box, or $BOX_SERVICE_ROOT):
 *
 *   <root>/<login>/                 0711, the user's folder
 *   <root>/<login>/<box>/           0700, a box; the mount point when encrypted
 *   <root>/<login>/.boxes/          0711, the service's own state
 *   <root>/<login>/.boxes/lock      flock'ed by every mutating call but unmount
 *   <root>/<login>/.boxes/journal   the operation in progress, if any
 *   <root>/<login>/.boxes/c/<box>/  gocryptfs cipher folder of an encrypted box
 *   <root>/<login>/.boxes/work/     staging area of the operation in progress
 *   <root>/<login>/.boxes/shares/   per-recipient index of shared boxes
 */
#ifndef TESSAD_INTERNAL_H
#define TESSAD_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include "box_service_ext.h"

/* The optional exported functions, with the types box_service_ext.h gives
 * the program for its run-time lookup (tests call them directly). */
#ifdef __cplusplus
extern "C" {
#endif
int box_reason_of(int code);
const char *box_last_detail(void);
void box_set_progress(box_progress_cb cb, void *user);
void box_set_wait_notice(box_wait_cb cb, void *user);
const char *box_unavailable_reason(void);
int box_unavailable_code(void);
int box_user_folder(char *buf, size_t len);
int box_state_folders(char *buf, size_t len);
int box_crypto_mount_idle(const char *owner, const char *name, box_passphrase *key,
                          unsigned int idle_seconds);
int box_share_state_of(const box_info *info, box_share_state *state);
int box_mounted_by(const box_info *info, char *buf, size_t len);
int box_crypto_recovery_key(const char *name, box_passphrase *password, char *buf, size_t len);
int box_crypto_recover(const char *name, box_passphrase *recovery_key,
                       box_crypto_params *new_password, int *checked);
int box_crypto_check(const char *name, box_passphrase *password, box_damaged_cb cb, void *user);
int box_export(const char *name, const char *file);
int box_import(const char *source, const char *name, box_passphrase *password, int move);
#ifdef __cplusplus
}
#endif

/* Result codes of our own, returned negated. Codes below TSD_E_FIRST are
 * errno values. */
enum {
    TSD_E_FIRST = 2000,
    TSD_E_NOTAVAIL = TSD_E_FIRST, /* box root missing and cannot be created */
    TSD_E_INVAL,        /* a required argument is missing or malformed */
    TSD_E_NOACCOUNT,    /* the calling user has no account */
    TSD_E_USERDIR,      /* user folder owned by someone else or not a folder */
    TSD_E_NAME_EMPTY,
    TSD_E_NAME_DOT,
    TSD_E_NAME_SLASH,
    TSD_E_NAME_HIDDEN,
    TSD_E_NAME_LONG,
    TSD_E_NAME_CHARS,   /* control character or invalid UTF-8 */
    TSD_E_EXISTS,
    TSD_E_NOTFOUND,
    TSD_E_ENCRYPTED,    /* already encrypted */
    TSD_E_PLAIN,        /* not encrypted */
    TSD_E_MOUNTED,
    TSD_E_NOTMOUNTED,
    TSD_E_BUSY,         /* files in use */
    TSD_E_BADPASS,
    TSD_E_EMPTYPASS,
    TSD_E_PASSCHARS,    /* passphrase holds a line break or NUL */
    TSD_E_NOSPACE,
    TSD_E_NOTOWNER,     /* only the owner may do this */
    TSD_E_OTHERMOUNT,   /* mounted by another user */
    TSD_E_NOUSER,       /* share target has no account or is the owner */
    TSD_E_PERM,         /* share permission or type out of range */
    TSD_E_TOOL,         /* gocryptfs or fusermount3 missing or failed */
    TSD_E_CIPHER,       /* cipher folder damaged */
    TSD_E_MOUNTPOINT,   /* mount point not empty or busy */
    TSD_E_FILETYPE,     /* a file of a kind that cannot be copied */
    TSD_E_RECOVERY,     /* an interrupted operation could not be finished */
    TSD_E_NOACCESS,     /* the share does not allow this */
    TSD_E_PASSLONG,     /* passphrase longer than BOX_PASSPHRASE_MAX */
    TSD_E_DAMAGED,      /* an operation on this box could not be finished
                           or undone; other boxes are unaffected */
    TSD_E_STRAY,        /* a file in a locked mount point (see detail) */
    TSD_E_FOREIGN,      /* an entry of another account blocks it (see detail) */
    TSD_E_KEYFORMAT,    /* a recovery key that is not 64 hexadecimal digits */
    TSD_E_BADKEY,       /* a recovery key that does not open the box */
    TSD_E_NOTCIPHER,    /* an import source that is no gocryptfs folder */
    TSD_E_LAST
};

struct tsd_ctx {
    int ready;
    uid_t uid;
    gid_t gid;
    char *login;
    char *root;  /* canonical box root */
    char *udir;  /* <root>/<login> */
    char *sdir;  /* <udir>/.boxes */
    long name_max;
    /* For the call in progress: remove finished work here and now instead
     * of in the background, and count the trees set aside in stranded/. */
    int discard_now;
    unsigned stranded;
};
extern struct tsd_ctx tsd;

/* ---- processes (tsd_proc.c) ---- */
/* Runs a program found in the usual binary folders with every descriptor
 * but 0, 1, 2 closed. `input` (may be NULL) is written to its standard
 * input through a socket, never through the command line or environment.
 * With `out`, standard output is collected (caller wipes and frees it);
 * otherwise it goes to /dev/null like standard error. Returns the exit
 * status (0..255), or a negative code when the program could not run. */
int tsd_run(const char *prog, const char *const args[], const char *input,
            size_t input_len, char **out, size_t *out_len);
/* Starts a program that outlives the call: detached from us (no child to
 * reap), in a session of its own, at low priority, with every descriptor
 * but 0, 1, 2 closed and those on /dev/null. Returns 0 once it runs. */
int tsd_spawn_detached(const char *prog, const char *const args[]);
/* Builds "key\n" (or "old\nnew\n") for a program's standard input.
 * Returns NULL on bad input with *err set. Wipe with tsd_secret_free. */
char *tsd_secret_lines(const char *k1, size_t l1, const char *k2, size_t l2,
                       size_t *len, int *err);
void tsd_secret_free(char *s, size_t len);

/* ---- mounts (tsd_proc.c) ---- */
enum { TSD_MNT_NONE = 0, TSD_MNT_ALIVE, TSD_MNT_STALE, TSD_MNT_FOREIGN };
struct tsd_mounts;
struct tsd_mounts *tsd_mounts_read(void);
void tsd_mounts_free(struct tsd_mounts *m);
/* State of the mount at `path` (gocryptfs alive or stale, another file
 * system, or none); *owner gets the mounting uid when known. */
int tsd_mount_state(const struct tsd_mounts *m, const char *path, uid_t *owner);
int tsd_mount_state_now(const char *path, uid_t *owner);
int tsd_unmount(const char *path, int lazy);
/* The live gocryptfs mounts of `cipher`, by accounts other than `except`:
 * their count, and the first `max` mounting uids in `uids`. Every mount
 * of a box, wherever it is and whoever made it, shows its cipher folder
 * as the source. */
int tsd_mounts_of(const struct tsd_mounts *m, const char *cipher, uid_t except, uid_t *uids,
                  int max);

/* ---- files (tsd_fs.c) ---- */
/* Every walk over a box tree goes by descriptors (see tsd_fs.c). This
 * opens `name` below `dirfd` (or a whole path with AT_FDCWD) without
 * following any symlink: openat2 with RESOLVE_NO_SYMLINKS where the
 * kernel has it, else openat with O_NOFOLLOW. O_CLOEXEC is added. */
int tsd_open_at(int dirfd, const char *name, int flags);
int tsd_copy_tree(const char *src, const char *dst);
/* Removes all that it can; -TSD_E_FOREIGN when what is left are entries
 * in another account's folder that we may not delete. */
int tsd_remove_tree(const char *path);
void tsd_make_removable(const char *path);
/* Before an operation starts: refuses (-TSD_E_FOREIGN, or -EACCES for an
 * unreadable entry of ours, with the entry as detail) a tree holding what
 * we could not remove afterwards or, `for_copy`, not read. */
int tsd_check_tree(const char *path, int for_copy);
/* True when the tree holds at most that many entries and bytes on disk. */
int tsd_tree_is_small(const char *path, int max_entries, uint64_t max_bytes);
int tsd_tree_size(const char *path, uint64_t *bytes, uint64_t *entries);
int tsd_dir_empty(const char *path);
int tsd_mkdir_p(const char *path, mode_t mode);
/* Raw access-ACL scan: sets *named when a named-user entry exists; with
 * `uid` != -1, *perm gets that user's permission bits (0 when absent). */
int tsd_acl_scan(const char *path, int *named, uid_t uid, int *perm);
/* Adds (perm 5/7) or, with perm < 0, removes named-user entries on the
 * whole tree below `path` (access ACLs and directory default ACLs). With
 * uid == (uid_t)-1 and perm < 0 every named user is removed. */
int tsd_acl_named_uids(const char *path, uid_t *uids, int max);
int tsd_acl_tree(const char *path, uid_t uid, int perm);
/* Copies the named-user entries of one file's access ACL onto another,
 * keeping the target's own owner/group/other bits; `locked` takes write
 * from the owner entry and the mask in the same step (a new mount point
 * is never open to a sharee, not even for a moment). */
int tsd_acl_copy_named(const char *from, const char *to, int locked);
int tsd_write_file_atomic(const char *path, const char *data, size_t len,
                          mode_t mode);
int tsd_fsync_dir(const char *path);

/* ---- operation journal and recovery (tsd_state.c) ---- */
int tsd_lock(void);
/* tsd_lock without waiting: -EWOULDBLOCK while another process holds it. */
int tsd_try_lock(void);
void tsd_unlock(int fd);
/* Finishes (or undoes) what the journal records and clears the work
 * folder. INIT and BEFORE (at the start of a call) return 0 whatever the
 * recorded operation's fate: an operation that can be neither finished
 * nor undone is set aside, and only its box counts as damaged. INIT also
 * retries those, restarts removers and relocks mount points. COMMIT (a
 * call finishing its own operation) returns that operation's result. */
enum { TSD_RECOVER_BEFORE = 0, TSD_RECOVER_INIT = 1, TSD_RECOVER_COMMIT = 2 };
int tsd_recover(int mode);
/* Retries the operations set aside; -TSD_E_DAMAGED when one on `name`
 * (any with NULL) stays so. */
int tsd_retry_held(const char *name);
/* Locks an unmounted encrypted box folder against writes (owner entry and
 * ACL mask lose write), or unlocks it while gocryptfs takes it over. */
int tsd_lock_mount_point(int fd);
int tsd_unlock_mount_point(int fd);
/* "<dir>/<first entry>", or NULL when the folder is empty. */
char *tsd_first_entry(const char *dir);
int tsd_journal_write(const char *op, const char *name, const char *new_name,
                      const char *phase);
int tsd_journal_clear(void);
int tsd_rebuild_share_index(void);
/* Moves a tree that is no longer needed into the state folder's trash and
 * removes it there in the background (or at once when no remover can
 * start); trash left by a killed remover goes at the next box_init. */
int tsd_discard_tree(const char *path);
/* Removes the trash now: when a later step needs the space back. */
int tsd_empty_trash(void);

/* ---- what the other files of the library share with tessad.c ---- */
/* Every exported call runs between these two: the library's call mutex,
 * and a fresh detail. */
void tsd_call_enter(void);
void tsd_call_leave(void);
int tsd_ready(void);
int tsd_check_name(const char *name);
/* One of the caller's own boxes (a set-aside operation on it retried
 * first): its box and cipher folders, to free, and whether it is
 * encrypted. */
int tsd_own_box(const char *name, char **box, char **cipher, int *encrypted);
/* gocryptfs' exit status as one of our result codes. */
int tsd_gocryptfs_result(int status);
/* Clears away a mount whose gocryptfs died; refuses a live one. */
int tsd_require_unmounted(const char *path);
/* Gives each named user of `from` the same access on all of `tree`. */
int tsd_reapply_shares(const char *from, const char *tree);

/* ---- helpers (tessad.c) ---- */
char *tsd_path(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int tsd_exists(const char *path);

/* Text detail of the calling thread's failure (box_last_detail), e.g. the
 * path of the entry that blocked an operation. Every public call starts
 * with none; the first detail set in a call wins over later ones, which
 * are usually its consequences. */
void tsd_set_detail(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void tsd_clear_detail(void);

/* Progress of the calling thread's long operation (box_set_progress).
 * tsd_progress_start names the box and the bytes expected; the copy
 * reports what it wrote with tsd_progress_add; tsd_progress_end reports
 * 100 and stops. Each is a no-op without a callback. */
void tsd_progress_start(const char *name, uint64_t total_bytes);
void tsd_progress_add(uint64_t bytes);
void tsd_progress_end(void);

#ifdef TESSAD_TEST_HOOKS
void tsd_crash_point(const char *where);
uint64_t tsd_test_free_space(uint64_t real);
#define TSD_CRASH_POINT(w) tsd_crash_point(w)
#else
#define TSD_CRASH_POINT(w) ((void)0)
#endif

#endif
