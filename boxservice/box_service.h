/*
 * C interface of the box service library (libtessad.so.0).
 *
 * Usable from C and from C++. Strings are NUL-terminated; the program passes
 * UTF-8. Every int result is 0 for success and a negative code for failure,
 * except box_enabled (non-zero: boxes are available) and box_get_list (the
 * number of records, 0 or more, on success).
 */
#ifndef VAULTRANE_BOX_SERVICE_H
#define VAULTRANE_BOX_SERVICE_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>
#include <sys/acl.h>
#include <pwd.h>

#ifdef __cplusplus
extern "C" {
#endif

/* State bits of box_info.flags. */
#define BOX_FLAG_PLAIN      0x01 /* not encrypted */
#define BOX_FLAG_ENCRYPTED  0x02
#define BOX_FLAG_SHARED     0x04 /* shared with at least one named user */
#define BOX_FLAG_UNSHARED   0x08
#define BOX_FLAG_SELF       0x10 /* owned by the caller */
#define BOX_FLAG_OTHER      0x20 /* another user's box shared with the caller */
#define BOX_FLAG_MOUNTED    0x40 /* encrypted box currently mounted */

/* One box; records and lists are owned by the library and released with
 * box_info_destroy / box_info_list_destroy. */
typedef struct box_info {
    char *name;
    char *path;   /* absolute folder path */
    char *owner;  /* login name of the owner */
    acl_t acl;    /* access ACL of the box folder (box_get_info only) */
    uint8_t flags;
    struct box_info *next; /* NULL ends a list */
} box_info;

/* A passphrase; `key` is a heap copy owned by the caller. */
typedef struct box_passphrase {
    char *key;
    size_t key_len; /* strlen(key) */
} box_passphrase;

/* Encryption parameters. For encryption `settings` holds 0x01010000. */
#define BOX_CRYPTO_SETTINGS_DEFAULT 0x01010000ULL
typedef struct box_crypto_params {
    uint64_t settings;
    char *key;
    size_t key_len;
} box_crypto_params;

/* The calling user's account, filled by box_init. */
extern struct passwd *passwd;

int box_enabled(void);
int box_init(void);
/* Short message for a result code (either sign); may be NULL. */
const char *box_err(int code);

int box_create(const char *name);
int box_delete(const char *name);
int box_change_name(const char *old_name, const char *new_name);

int box_crypto_create(const char *name, box_crypto_params *params);
int box_crypto_change_passpharse(const char *name, box_passphrase *old_key,
                                 box_crypto_params *new_key);
int box_crypto_decrypt(const char *name, box_passphrase *key);
int box_crypto_verify_passphrase(const char *name, box_passphrase *key);
int box_crypto_mount(const char *owner, const char *name, box_passphrase *key);
int box_crypto_umount(const char *owner, const char *name);

/* `mask` is always 255. On success *list holds the records (maybe NULL). */
int box_get_list(int mask, box_info **list);
void box_info_list_destroy(box_info *list);
int box_get_info(const char *owner, const char *name, box_info **info);
void box_info_destroy(box_info *info);

int box_clear_share(const char *name);
/* perm: 5 read-only (r-x) or 7 read-write (rwx); type: 2 (named user). */
int box_add_share(const char *name, int perm, uid_t uid, int type);

#ifdef __cplusplus
}
#endif

#endif
