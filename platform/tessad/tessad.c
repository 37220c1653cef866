/*
 * The box service library, libtessad.so.0.
 *
 * A box is a folder <root>/<owner>/<name>. An encrypted box keeps its
 * ciphertext in a gocryptfs cipher folder inside the owner's hidden state
 * folder, and its box folder is the mount point. Every flag is read from
 * the disk on each call. Mutating calls hold the owner's lock file and
 * record multi-step work in a journal, so that a crash at any point is
 * finished or undone by the next call (see tsd_state.c).
 *
 * No password ever reaches a command line, the environment or a file: it
 * goes to gocryptfs through a socket on its standard input, and every
 * buffer that held it is zeroed before it is freed.
 */
#define _GNU_SOURCE
#include "box_service.h"
#include "box_service_ext.h"
#include "tsd_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <pwd.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

/* The calling user's account: our own copy, filled by box_init. */
struct passwd *passwd = NULL;

struct tsd_ctx tsd;

static pthread_mutex_t g_mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
static const char *g_enabled_reason;
static int g_init_failed; /* the last box_init's result */

#define LOCKED_CALL(expr)                \
    do {                                 \
        tsd_clear_detail();              \
        pthread_mutex_lock(&g_mutex);    \
        int rc_ = (expr);                \
        pthread_mutex_unlock(&g_mutex);  \
        return rc_;                      \
    } while (0)

/* ---- messages ---- */

static const char *const g_messages[TSD_E_LAST - TSD_E_FIRST] = {
    [TSD_E_NOTAVAIL - TSD_E_FIRST] = "box root folder is missing and cannot be created",
    [TSD_E_INVAL - TSD_E_FIRST] = "missing or malformed argument",
    [TSD_E_NOACCOUNT - TSD_E_FIRST] = "the calling user has no account",
    [TSD_E_USERDIR - TSD_E_FIRST] = "the user's box folder belongs to someone else or is not a folder",
    [TSD_E_NAME_EMPTY - TSD_E_FIRST] = "box name is empty",
    [TSD_E_NAME_DOT - TSD_E_FIRST] = "box name may not be \".\" or \"..\"",
    [TSD_E_NAME_SLASH - TSD_E_FIRST] = "box name may not contain \"/\"",
    [TSD_E_NAME_HIDDEN - TSD_E_FIRST] = "box name may not begin with \".\"",
    [TSD_E_NAME_LONG - TSD_E_FIRST] = "box name is too long for the file system",
    [TSD_E_NAME_CHARS - TSD_E_FIRST] = "box name contains a control character or is not valid UTF-8",
    [TSD_E_EXISTS - TSD_E_FIRST] = "a box of that name already exists",
    [TSD_E_NOTFOUND - TSD_E_FIRST] = "no such box",
    [TSD_E_ENCRYPTED - TSD_E_FIRST] = "box is already encrypted",
    [TSD_E_PLAIN - TSD_E_FIRST] = "box is not encrypted",
    [TSD_E_MOUNTED - TSD_E_FIRST] = "box is mounted; unmount it first",
    [TSD_E_NOTMOUNTED - TSD_E_FIRST] = "box is not mounted",
    [TSD_E_BUSY - TSD_E_FIRST] = "box is in use (open files or a working folder inside it)",
    [TSD_E_BADPASS - TSD_E_FIRST] = "wrong password",
    [TSD_E_EMPTYPASS - TSD_E_FIRST] = "password is empty",
    [TSD_E_PASSCHARS - TSD_E_FIRST] = "password may not contain a line break or NUL",
    [TSD_E_NOSPACE - TSD_E_FIRST] = "not enough free space on the file system",
    [TSD_E_NOTOWNER - TSD_E_FIRST] = "only the box owner may do this",
    [TSD_E_OTHERMOUNT - TSD_E_FIRST] = "the box is mounted by another account",
    [TSD_E_NOUSER - TSD_E_FIRST] = "no such user account to share with",
    [TSD_E_PERM - TSD_E_FIRST] = "share permission must be 5 or 7 and type 2",
    [TSD_E_TOOL - TSD_E_FIRST] = "gocryptfs or fusermount3 is missing or failed",
    [TSD_E_CIPHER - TSD_E_FIRST] = "the box's encrypted data is damaged or unreadable",
    [TSD_E_MOUNTPOINT - TSD_E_FIRST] = "the box folder cannot be used as a mount point (not empty or busy)",
    [TSD_E_FILETYPE - TSD_E_FIRST] = "the box holds a file that cannot be copied (device, socket or mount)",
    [TSD_E_RECOVERY - TSD_E_FIRST] = "an interrupted operation could not be finished",
    [TSD_E_NOACCESS - TSD_E_FIRST] = "the share does not allow this (read-only)",
    [TSD_E_PASSLONG - TSD_E_FIRST] = "password is too long",
    [TSD_E_DAMAGED - TSD_E_FIRST] = "the box is damaged: an operation on it could not be finished or undone",
    [TSD_E_STRAY - TSD_E_FIRST] = "the locked box folder holds a file that does not belong there; remove it first",
    [TSD_E_FOREIGN - TSD_E_FIRST] = "the box holds an entry of another account that blocks this; that account must remove it",
    [TSD_E_KEYFORMAT - TSD_E_FIRST] = "the recovery key is incomplete: it has 64 hexadecimal digits",
    [TSD_E_BADKEY - TSD_E_FIRST] = "the recovery key does not open this box",
    [TSD_E_NOTCIPHER - TSD_E_FIRST] = "not a gocryptfs folder or an exported box",
};

const char *box_err(int code)
{
    if (code == INT_MIN)
        return "unknown error";
    if (code < 0)
        code = -code;
    if (code == 0)
        return g_enabled_reason ? g_enabled_reason : "no error";
    if (code >= TSD_E_FIRST && code < TSD_E_LAST && g_messages[code - TSD_E_FIRST])
        return g_messages[code - TSD_E_FIRST];
    const char *s = code < TSD_E_FIRST ? strerrordesc_np(code) : NULL;
    return s ? s : "unknown error";
}

/* ---- helpers ---- */

char *tsd_path(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    char *s = NULL;
    if (vasprintf(&s, fmt, ap) < 0)
        s = NULL;
    va_end(ap);
    return s;
}

int tsd_exists(const char *path)
{
    struct stat st;
    return lstat(path, &st) == 0;
}

static int valid_utf8(const unsigned char *s)
{
    while (*s) {
        unsigned c = *s;
        int n;
        unsigned min;
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7f)
                return 0;
            s++;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            n = 1;
            min = 0x80;
            c &= 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            n = 2;
            min = 0x800;
            c &= 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            n = 3;
            min = 0x10000;
            c &= 0x07;
        } else {
            return 0;
        }
        s++;
        for (int i = 0; i < n; i++, s++) {
            if ((*s & 0xc0) != 0x80)
                return 0;
            c = (c << 6) | (*s & 0x3f);
        }
        if (c < min || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff) ||
            (c >= 0x80 && c < 0xa0))
            return 0;
    }
    return 1;
}

static int check_name(const char *name)
{
    if (!name)
        return -TSD_E_INVAL;
    if (!*name)
        return -TSD_E_NAME_EMPTY;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return -TSD_E_NAME_DOT;
    if (strchr(name, '/'))
        return -TSD_E_NAME_SLASH;
    if (name[0] == '.')
        return -TSD_E_NAME_HIDDEN;
    long max = tsd.name_max > 0 ? tsd.name_max : NAME_MAX;
    if ((long)strlen(name) > max)
        return -TSD_E_NAME_LONG;
    if (!valid_utf8((const unsigned char *)name))
        return -TSD_E_NAME_CHARS;
    return 0;
}

static const char *root_setting(void)
{
    const char *r = getenv("BOX_SERVICE_ROOT");
    return (r && *r) ? r : "/box";
}

/* The root exists as a folder, or we create it: like /tmp when root makes
 * it (every user keeps a folder there), private otherwise. */
static int ensure_root(void)
{
    const char *r = root_setting();
    struct stat st;
    if (stat(r, &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : -TSD_E_NOTAVAIL;
    mode_t mode = geteuid() == 0 ? 01777 : 0755;
    if (mkdir(r, mode) < 0 && errno != EEXIST)
        return -TSD_E_NOTAVAIL;
    chmod(r, mode);
    return (stat(r, &st) == 0 && S_ISDIR(st.st_mode)) ? 0 : -TSD_E_NOTAVAIL;
}

int box_enabled(void)
{
    pthread_mutex_lock(&g_mutex);
    int rc = ensure_root();
    g_enabled_reason = rc < 0 ? box_err(rc) : NULL;
    pthread_mutex_unlock(&g_mutex);
    return rc == 0;
}

static struct passwd *copy_passwd(const struct passwd *pw)
{
    const char *fields[5] = { pw->pw_name, pw->pw_passwd, pw->pw_gecos, pw->pw_dir, pw->pw_shell };
    size_t len = sizeof(struct passwd);
    for (int i = 0; i < 5; i++)
        len += strlen(fields[i] ? fields[i] : "") + 1;
    struct passwd *c = calloc(1, len);
    if (!c)
        return NULL;
    char *p = (char *)(c + 1);
    char **dst[5] = { &c->pw_name, &c->pw_passwd, &c->pw_gecos, &c->pw_dir, &c->pw_shell };
    for (int i = 0; i < 5; i++) {
        const char *s = fields[i] ? fields[i] : "";
        size_t n = strlen(s) + 1;
        memcpy(p, s, n);
        *dst[i] = p;
        p += n;
    }
    c->pw_uid = pw->pw_uid;
    c->pw_gid = pw->pw_gid;
    return c;
}

static void reset_ctx(void)
{
    free(tsd.login);
    free(tsd.root);
    free(tsd.udir);
    free(tsd.sdir);
    memset(&tsd, 0, sizeof tsd);
}

/* A folder of ours: it must be a real folder owned by us. */
static int own_dir(const char *path, mode_t mode)
{
    if (mkdir(path, mode) == 0)
        chmod(path, mode);
    else if (errno != EEXIST)
        return -errno;
    struct stat st;
    if (lstat(path, &st) < 0)
        return -errno;
    if (!S_ISDIR(st.st_mode) || st.st_uid != tsd.uid)
        return -TSD_E_USERDIR;
    if ((st.st_mode & 07777) != mode && chmod(path, mode) < 0)
        return -errno;
    return 0;
}

static int do_init(void)
{
    reset_ctx();
    uid_t uid = geteuid();
    struct passwd *pw = getpwuid(uid);
    if (!pw || !pw->pw_name || !*pw->pw_name)
        return -TSD_E_NOACCOUNT;
    struct passwd *mine = copy_passwd(pw);
    if (!mine)
        return -ENOMEM;
    free(passwd);
    passwd = mine;

    int rc = ensure_root();
    if (rc < 0)
        return rc;
    tsd.uid = uid;
    tsd.gid = getegid();
    tsd.login = strdup(mine->pw_name);
    tsd.root = realpath(root_setting(), NULL);
    if (!tsd.login || !tsd.root)
        return -TSD_E_NOTAVAIL;
    tsd.udir = tsd_path("%s/%s", tsd.root, tsd.login);
    tsd.sdir = tsd_path("%s/.boxes", tsd.udir);
    if (!tsd.udir || !tsd.sdir)
        return -ENOMEM;
    /* Others may pass through the user folder (to reach a box shared with
     * them) but never list it. */
    if ((rc = own_dir(tsd.udir, 0711)) < 0)
        return rc == -TSD_E_USERDIR ? rc : -TSD_E_USERDIR;
    if ((rc = own_dir(tsd.sdir, 0711)) < 0)
        return rc;
    char *c = tsd_path("%s/c", tsd.sdir);
    rc = c ? own_dir(c, 0711) : -ENOMEM;
    free(c);
    if (rc < 0)
        return rc;
    tsd.name_max = pathconf(tsd.udir, _PC_NAME_MAX);

    /* Another process of ours may hold the lock for minutes (encrypting a
     * large box). Reading boxes does not wait for it: that operation
     * finishes its own journal, and the next box_init that finds the lock
     * free does the rest of the recovery. */
    int lk = tsd_try_lock();
    if (lk >= 0) {
        rc = tsd_recover(TSD_RECOVER_INIT);
        tsd_unlock(lk);
        if (rc < 0)
            return rc;
    } else if (lk != -EWOULDBLOCK) {
        return lk;
    }
    tsd.ready = 1;
    return 0;
}

static int init_and_remember(void)
{
    int rc = do_init();
    g_init_failed = rc;
    return rc;
}

int box_init(void)
{
    LOCKED_CALL(init_and_remember());
}

static int ensure_ready(void)
{
    if (tsd.ready && tsd.uid == geteuid())
        return 0;
    return do_init();
}

/* ---- boxes ---- */

struct boxref {
    char *box;    /* the box folder */
    char *cipher; /* its cipher folder (may not exist) */
    char *point;  /* where the caller mounts it: the box folder, or for another
                     account's encrypted box a folder of the caller's own */
    char *owner;
    uid_t owner_uid;
    int self;
    int encrypted;
    int perm; /* the caller's share bits on another user's box */
};

static void boxref_free(struct boxref *b)
{
    free(b->box);
    free(b->cipher);
    free(b->point);
    free(b->owner);
    memset(b, 0, sizeof *b);
}

static int check_owner_name(const char *owner)
{
    if (!*owner || strchr(owner, '/') || owner[0] == '.')
        return -TSD_E_NOTFOUND;
    return 0;
}

/* Finds a box of the caller or one shared with the caller. A box of
 * another user that is not shared with the caller does not exist for it:
 * the answer is the same as for a name that exists nowhere. */
static int resolve(const char *owner, const char *name, struct boxref *b)
{
    memset(b, 0, sizeof *b);
    int rc = check_name(name);
    if (rc < 0)
        return rc;
    if (!owner || !*owner || strcmp(owner, tsd.login) == 0) {
        b->self = 1;
        b->owner_uid = tsd.uid;
        b->owner = strdup(tsd.login);
        b->box = tsd_path("%s/%s", tsd.udir, name);
        b->cipher = tsd_path("%s/c/%s", tsd.sdir, name);
    } else {
        if ((rc = check_owner_name(owner)) < 0)
            return rc;
        /* Listing asks about many boxes of one owner in a row: keep the
         * last account looked up (the password database is slow to ask). */
        static char last_owner[256];
        static uid_t last_uid;
        if (strcmp(owner, last_owner) != 0) {
            struct passwd *pw = getpwnam(owner);
            if (!pw)
                return -TSD_E_NOTFOUND;
            snprintf(last_owner, sizeof last_owner, "%s", owner);
            last_uid = pw->pw_uid;
        }
        b->owner_uid = last_uid;
        b->owner = strdup(owner);
        b->box = tsd_path("%s/%s/%s", tsd.root, owner, name);
        b->cipher = tsd_path("%s/%s/.boxes/c/%s", tsd.root, owner, name);
    }
    if (!b->owner || !b->box || !b->cipher) {
        boxref_free(b);
        return -ENOMEM;
    }
    struct stat st, cst;
    b->encrypted = lstat(b->cipher, &cst) == 0;
    int have_box = lstat(b->box, &st) == 0;
    if (b->self) {
        b->point = strdup(b->box);
        if (!b->point || (!have_box && !b->encrypted)) {
            int rc = b->point ? -TSD_E_NOTFOUND : -ENOMEM;
            boxref_free(b);
            return rc;
        }
        return 0;
    }
    char *udir = tsd_path("%s/%s", tsd.root, owner);
    struct stat ust;
    int ok = udir && lstat(udir, &ust) == 0 && S_ISDIR(ust.st_mode) && ust.st_uid == b->owner_uid;
    free(udir);
    /* The box folder of a mounted encrypted box is the owner's mount,
     * which nobody else may even look at: the cipher folder stands for
     * the box then. */
    if (b->encrypted)
        ok = ok && S_ISDIR(cst.st_mode) && cst.st_uid == b->owner_uid;
    else
        ok = ok && have_box && S_ISDIR(st.st_mode) && st.st_uid == b->owner_uid;
    if (ok) {
        b->point = b->encrypted ? tsd_path("%s/mnt/%s/%s", tsd.sdir, owner, name) : strdup(b->box);
        if (!b->point) {
            boxref_free(b);
            return -ENOMEM;
        }
    }
    int named = 0;
    if (ok)
        tsd_acl_scan(b->encrypted ? b->cipher : b->box, &named, tsd.uid, &b->perm);
    if (!ok || !(b->perm & 5)) {
        boxref_free(b);
        return -TSD_E_NOTFOUND;
    }
    return 0;
}

/* One of the caller's boxes; an operation on it that was set aside is
 * tried again first, and while it stays so the box is damaged. */
static int own_box(const char *name, struct boxref *b)
{
    memset(b, 0, sizeof *b);
    int rc = check_name(name);
    if (rc == 0)
        rc = tsd_retry_held(name);
    return rc < 0 ? rc : resolve(NULL, name, b);
}

/* The locked mount point of an encrypted box must be empty: mounting over
 * files would hide them, and decrypting could not put the box back. */
static int require_empty_mount_point(const char *box)
{
    char *first = tsd_first_entry(box);
    if (!first)
        return 0;
    tsd_set_detail("%s", first);
    free(first);
    return -TSD_E_STRAY;
}

/* Clears away a mount whose gocryptfs died; refuses a live one. */
static int require_unmounted(const char *path)
{
    int s = tsd_mount_state_now(path, NULL);
    if (s == TSD_MNT_STALE)
        return tsd_unmount(path, 0) == 0 || tsd_unmount(path, 1) == 0 ? 0 : -TSD_E_MOUNTED;
    return s == TSD_MNT_NONE ? 0 : -TSD_E_MOUNTED;
}

/* The accounts that have one of our encrypted boxes mounted, each at a
 * folder of its own: the live mounts of its cipher folder by accounts the
 * box is shared with now. A mount left by an account that lost its share
 * reaches nothing any more (its gocryptfs may not open the cipher folder)
 * and does not count. Returns their number; the first `max` go in uids. */
static int sharee_mounts(const struct tsd_mounts *m, const struct boxref *b, uid_t *uids, int max)
{
    if (!b->self || !b->encrypted)
        return 0;
    uid_t found[16];
    int n = tsd_mounts_of(m, b->cipher, tsd.uid, found, 16), count = 0;
    for (int i = 0; i < n && i < 16; i++) {
        int named = 0, perm = 0;
        if (tsd_acl_scan(b->cipher, &named, found[i], &perm) < 0 || !(perm & 5))
            continue;
        if (count < max)
            uids[count] = found[i];
        count++;
    }
    return count;
}

/* The login of `uid` in buf, or "uid N" for an account without one. */
static void login_of(uid_t uid, char *buf, size_t len)
{
    struct passwd pw, *found = NULL;
    char text[1024];
    if (getpwuid_r(uid, &pw, text, sizeof text, &found) == 0 && found && found->pw_name)
        snprintf(buf, len, "%s", found->pw_name);
    else
        snprintf(buf, len, "uid %u", (unsigned)uid);
}

/* Delete, rename and decrypt wait until no other account has the box
 * mounted: they would pull the box from under its work. */
static int require_no_sharee_mounts(const struct boxref *b)
{
    struct tsd_mounts *m = tsd_mounts_read();
    uid_t uid;
    int n = sharee_mounts(m, b, &uid, 1);
    tsd_mounts_free(m);
    if (n == 0)
        return 0;
    char login[LOGIN_NAME_MAX + 1];
    login_of(uid, login, sizeof login);
    tsd_set_detail("%s", login);
    return -TSD_E_OTHERMOUNT;
}

/* Whether another account has someone else's box mounted, as a sharee of
 * it sees it: its owner at the box folder, or another account the box is
 * still shared with at a folder of its own. The first such account goes in
 * *uid. */
static int others_mount(const struct tsd_mounts *m, const struct boxref *b, uid_t *uid)
{
    if (!b->encrypted)
        return 0;
    /* The owner's mount, at the box folder (which a sharee may not look
     * into: it counts as alive). */
    if (tsd_mount_state(m, b->box, NULL) == TSD_MNT_ALIVE) {
        *uid = b->owner_uid;
        return 1;
    }
    uid_t found[16];
    int n = tsd_mounts_of(m, b->cipher, tsd.uid, found, 16);
    for (int i = 0; i < n && i < 16; i++) {
        int named = 0, perm = 0;
        if (found[i] != b->owner_uid
            && (tsd_acl_scan(b->cipher, &named, found[i], &perm) < 0 || !(perm & 5)))
            continue;
        *uid = found[i];
        return 1;
    }
    return 0;
}

static uint64_t free_space(const char *path)
{
    struct statvfs sv;
    uint64_t avail = statvfs(path, &sv) == 0 ? (uint64_t)sv.f_bavail * sv.f_frsize : 0;
#ifdef TESSAD_TEST_HOOKS
    avail = tsd_test_free_space(avail);
#endif
    return avail;
}

static int enough_space_for(const char *tree, uint64_t *tree_bytes)
{
    uint64_t bytes = 0, entries = 0;
    int rc = tsd_tree_size(tree, &bytes, &entries);
    if (rc < 0)
        return rc;
    *tree_bytes = bytes;
    uint64_t need = bytes + entries * 4096 + (16u << 20);
    if (free_space(tsd.sdir) >= need)
        return 0;
    /* Space that earlier operations are still giving back counts once it
     * is back: finish that removal here, then look again. */
    tsd_empty_trash();
    return free_space(tsd.sdir) >= need ? 0 : -TSD_E_NOSPACE;
}

/* What gocryptfs needs at least to write a config file beside the old one
 * (a password change, a new cipher folder): a few blocks, with margin. */
#define TOOL_ROOM ((uint64_t)64 << 10)

/* gocryptfs tells a full disk from anything else only on its standard
 * error, which we do not read. A tool that failed where the disk has no
 * room left failed for want of room: say so, not that the tool is broken. */
static int tool_failure_cause(int rc, const char *dir)
{
    if (rc == -TSD_E_TOOL && free_space(dir) < TOOL_ROOM)
        return -TSD_E_NOSPACE;
    return rc;
}

/* gocryptfs writes a new config file as gocryptfs.conf.tmp and renames it;
 * it refuses to start when one is already there. One left behind (a full
 * disk, a kill) is stale while we hold the lock: the real file is whole. */
static void remove_stale_conf_tmp(const char *cipher)
{
    char *tmp = tsd_path("%s/gocryptfs.conf.tmp", cipher);
    if (tmp)
        unlink(tmp);
    free(tmp);
}

static int map_gocryptfs(int rc)
{
    switch (rc) {
    case 0:
        return 0;
    case 12:
        return -TSD_E_BADPASS;
    case 9:
        /* gocryptfs could not read the password. Empty and overlong ones
         * are refused before it runs, so this is a failure of the tool,
         * not of the password. */
        return -TSD_E_TOOL;
    case 10:
        return -TSD_E_MOUNTPOINT;
    case 6:
        return -TSD_E_CIPHER;
    default:
        return rc < 0 ? rc : -TSD_E_TOOL;
    }
}

/* How a cipher folder is mounted. Every mount is its account's alone (no
 * -allow_other): the owner mounts at the box folder, each sharee at a
 * folder of its own (see sharee_point), and encrypt and decrypt through
 * private mounts in the work folder. */
enum {
    MOUNT_RO = 1,     /* read-only: a read-only share, or decrypt's reader */
    MOUNT_SHARED = 2, /* others may mount the same box at the same time:
                         no caching, so that each sees the others' changes */
};

static int gocryptfs_mount(const char *cipher, const char *point, const char *secret,
                           size_t len, unsigned opts, unsigned idle_seconds)
{
    const char *args[10];
    char idle[32];
    int n = 0;
    args[n++] = "-q";
    args[n++] = "-acl";
    if (opts & MOUNT_RO)
        args[n++] = "-ro";
    if (opts & MOUNT_SHARED)
        args[n++] = "-sharedstorage";
    if (idle_seconds > 0) {
        snprintf(idle, sizeof idle, "%us", idle_seconds);
        args[n++] = "-idle";
        args[n++] = idle;
    }
    args[n++] = cipher;
    args[n++] = point;
    args[n] = NULL;
    int rc = map_gocryptfs(tsd_run("gocryptfs", args, secret, len, NULL, NULL));
    if (rc == 0 && tsd_mount_state_now(point, NULL) != TSD_MNT_ALIVE)
        rc = -TSD_E_TOOL;
    return tool_failure_cause(rc, cipher);
}

/* Gives each named user of `from` the same access on the whole tree below
 * `tree` (gocryptfs' own files included). */
static int reapply_shares(const char *from, const char *tree)
{
    uid_t uids[256];
    int n = tsd_acl_named_uids(from, uids, 256);
    for (int i = 0; i < n; i++) {
        int named, perm;
        tsd_acl_scan(from, &named, uids[i], &perm);
        int rc = tsd_acl_tree(tree, uids[i], (perm & 2) ? 7 : 5);
        if (rc < 0)
            return rc;
    }
    return n < 0 ? n : 0;
}

static int do_create(const char *name)
{
    int rc = check_name(name);
    if (rc < 0 || (rc = ensure_ready()) < 0)
        return rc;
    int lk = tsd_lock();
    if (lk < 0)
        return lk;
    char *box = tsd_path("%s/%s", tsd.udir, name);
    char *cipher = tsd_path("%s/c/%s", tsd.sdir, name);
    if (!box || !cipher)
        rc = -ENOMEM;
    else if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0)
        ;
    else if (tsd_exists(box) || tsd_exists(cipher))
        rc = -TSD_E_EXISTS;
    else if (mkdir(box, 0700) < 0)
        rc = errno == EEXIST ? -TSD_E_EXISTS : errno == ENAMETOOLONG ? -TSD_E_NAME_LONG : -errno;
    else
        chmod(box, 0700);
    free(box);
    free(cipher);
    tsd_unlock(lk);
    return rc;
}

int box_create(const char *name)
{
    LOCKED_CALL(do_create(name));
}

static int do_delete(const char *name)
{
    int rc = check_name(name);
    if (rc < 0 || (rc = ensure_ready()) < 0)
        return rc;
    int lk = tsd_lock();
    if (lk < 0)
        return lk;
    struct boxref b;
    char blocker[1024] = "";
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) == 0 && (rc = own_box(name, &b)) == 0) {
        if ((rc = require_unmounted(b.box)) == 0 && !b.encrypted && rmdir(b.box) == 0) {
            /* An empty plain box goes in one step that needs no room on
             * the disk: nothing to journal or undo. So the box that a
             * failed create --encrypt leaves on a full disk can go too. */
            tsd_rebuild_share_index();
        } else if (rc == 0 && (rc = require_no_sharee_mounts(&b)) == 0) {
            /* What another account left that we may not remove does not
             * stop the owner: it is set aside where nobody walks again
             * (see strand), and the call says so. That removal then runs
             * here, so that the call knows what went. */
            int c = tsd_check_tree(b.box, 0);
            if (c == -TSD_E_FOREIGN || (b.encrypted && (c = tsd_check_tree(b.cipher, 0)) == -TSD_E_FOREIGN)) {
                snprintf(blocker, sizeof blocker, "%s", box_last_detail() ? box_last_detail() : "");
                tsd.discard_now = 1;
            }
            tsd_clear_detail();
            unsigned stranded = tsd.stranded;
            if ((rc = tsd_journal_write("delete", name, "", "go")) == 0) {
                TSD_CRASH_POINT("delete-journaled");
                rc = tsd_recover(TSD_RECOVER_COMMIT);
            }
            tsd.discard_now = 0;
            if (rc == 0 && tsd.stranded != stranded) {
                tsd_clear_detail();
                tsd_set_detail("%s", blocker[0] ? blocker : b.box);
            }
        }
        boxref_free(&b);
    }
    tsd_unlock(lk);
    return rc;
}

int box_delete(const char *name)
{
    LOCKED_CALL(do_delete(name));
}

static int do_rename(const char *old_name, const char *new_name)
{
    int rc = check_name(old_name);
    if (rc < 0 || (rc = check_name(new_name)) < 0 || (rc = ensure_ready()) < 0)
        return rc;
    int lk = tsd_lock();
    if (lk < 0)
        return lk;
    struct boxref b, n;
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) == 0 && (rc = own_box(old_name, &b)) == 0) {
        if (own_box(new_name, &n) == 0) {
            rc = -TSD_E_EXISTS;
            boxref_free(&n);
        } else if ((rc = require_unmounted(b.box)) == 0 && (rc = require_no_sharee_mounts(&b)) == 0 &&
                   (rc = tsd_journal_write("rename", old_name, new_name, "go")) == 0) {
            TSD_CRASH_POINT("rename-journaled");
            rc = tsd_recover(TSD_RECOVER_COMMIT);
        }
        boxref_free(&b);
    }
    tsd_unlock(lk);
    return rc;
}

int box_change_name(const char *old_name, const char *new_name)
{
    LOCKED_CALL(do_rename(old_name, new_name));
}

static int do_crypto_create(const char *name, box_crypto_params *params)
{
    int rc = check_name(name);
    if (rc < 0)
        return rc;
    if (!params)
        return -TSD_E_INVAL;
    size_t slen = 0;
    char *secret = tsd_secret_lines(params->key, params->key ? params->key_len : 0,
                                    NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    if ((rc = ensure_ready()) < 0) {
        tsd_secret_free(secret, slen);
        return rc;
    }
    int lk = tsd_lock();
    if (lk < 0) {
        tsd_secret_free(secret, slen);
        return lk;
    }
    struct boxref b = { 0 };
    char *work = tsd_path("%s/work", tsd.sdir);
    char *staged = tsd_path("%s/work/cipher", tsd.sdir);
    char *mnt = tsd_path("%s/work/mnt", tsd.sdir);
    int journaled = 0;
    if (!work || !staged || !mnt) {
        rc = -ENOMEM;
        goto out;
    }
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0 || (rc = own_box(name, &b)) < 0)
        goto out;
    if (b.encrypted) {
        rc = -TSD_E_ENCRYPTED;
        goto out;
    }
    uint64_t bytes = 0;
    if ((rc = require_unmounted(b.box)) < 0 || (rc = tsd_check_tree(b.box, 1)) < 0 ||
        (rc = enough_space_for(b.box, &bytes)) < 0)
        goto out;
    if ((rc = tsd_journal_write("encrypt", name, "", "copying")) < 0)
        goto out;
    journaled = 1;
    TSD_CRASH_POINT("encrypt-journaled");
    if ((rc = tsd_mkdir_p(work, 0700)) < 0 || (rc = tsd_mkdir_p(staged, 0700)) < 0 ||
        (rc = tsd_mkdir_p(mnt, 0700)) < 0)
        goto out;
    const char *init_args[] = { "-init", "-q", staged, NULL };
    rc = map_gocryptfs(tsd_run("gocryptfs", init_args, secret, slen, NULL, NULL));
    if ((rc = tool_failure_cause(rc, staged)) < 0)
        goto out;
    TSD_CRASH_POINT("encrypt-initialised");
    if ((rc = gocryptfs_mount(staged, mnt, secret, slen, 0, 0)) < 0)
        goto out;
    TSD_CRASH_POINT("encrypt-mounted");
    tsd_progress_start(name, bytes);
    rc = tsd_copy_tree(b.box, mnt);
    int urc = tsd_unmount(mnt, 0);
    if (urc < 0)
        urc = tsd_unmount(mnt, 1);
    if (rc == 0)
        rc = urc;
    if (rc < 0)
        goto out;
    TSD_CRASH_POINT("encrypt-copied");
    if ((rc = reapply_shares(b.box, staged)) < 0)
        goto out;
    int sfd = open(tsd.sdir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (sfd >= 0) {
        syncfs(sfd);
        close(sfd);
    }
    if ((rc = tsd_journal_write("encrypt", name, "", "staged")) < 0)
        goto out;
    TSD_CRASH_POINT("encrypt-staged");
    rc = tsd_recover(TSD_RECOVER_COMMIT);
    journaled = 0;
    if (rc == 0)
        tsd_progress_end();
out:
    if (journaled)
        tsd_recover(TSD_RECOVER_BEFORE); /* rolls back: the journal still says "copying" */
    tsd_secret_free(secret, slen);
    boxref_free(&b);
    free(work);
    free(staged);
    free(mnt);
    tsd_unlock(lk);
    return rc;
}

int box_crypto_create(const char *name, box_crypto_params *params)
{
    LOCKED_CALL(do_crypto_create(name, params));
}

static int do_change_pass(const char *name, box_passphrase *old_key, box_crypto_params *new_key)
{
    int rc = check_name(name);
    if (rc < 0)
        return rc;
    if (!old_key || !new_key)
        return -TSD_E_INVAL;
    size_t slen = 0;
    char *secret = tsd_secret_lines(old_key->key, old_key->key ? old_key->key_len : 0,
                                    new_key->key ? new_key->key : "",
                                    new_key->key ? new_key->key_len : 0, &slen, &rc);
    if (!secret)
        return rc;
    if ((rc = ensure_ready()) < 0) {
        tsd_secret_free(secret, slen);
        return rc;
    }
    int lk = tsd_lock();
    struct boxref b;
    if (lk < 0) {
        rc = lk;
    } else if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) == 0 && (rc = own_box(name, &b)) == 0) {
        if (!b.encrypted) {
            rc = -TSD_E_PLAIN;
        } else {
            /* Rewriting gocryptfs.conf touches the cipher folder, whose
             * times are those of the box root; keep them. */
            struct stat st;
            int have_times = stat(b.cipher, &st) == 0;
            const char *args[] = { "-passwd", "-q", b.cipher, NULL };
            tsd_progress_start(name, 0);
            remove_stale_conf_tmp(b.cipher);
            if (free_space(b.cipher) < TOOL_ROOM) {
                rc = -TSD_E_NOSPACE;
            } else {
                rc = map_gocryptfs(tsd_run("gocryptfs", args, secret, slen, NULL, NULL));
                rc = tool_failure_cause(rc, b.cipher);
                if (rc < 0)
                    remove_stale_conf_tmp(b.cipher);
            }
            if (have_times) {
                struct timespec ts[2] = { st.st_atim, st.st_mtim };
                utimensat(AT_FDCWD, b.cipher, ts, 0);
            }
            char *conf = tsd_path("%s/gocryptfs.conf", b.cipher);
            if (rc == 0 && conf)
                rc = reapply_shares(b.cipher, conf);
            free(conf);
            if (rc == 0)
                tsd_progress_end();
        }
        boxref_free(&b);
    }
    tsd_unlock(lk);
    tsd_secret_free(secret, slen);
    return rc;
}

int box_crypto_change_passpharse(const char *name, box_passphrase *old_key,
                                 box_crypto_params *new_key)
{
    LOCKED_CALL(do_change_pass(name, old_key, new_key));
}

static int do_decrypt(const char *name, box_passphrase *key)
{
    int rc = check_name(name);
    if (rc < 0)
        return rc;
    if (!key)
        return -TSD_E_INVAL;
    size_t slen = 0;
    char *secret = tsd_secret_lines(key->key, key->key ? key->key_len : 0, NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    if ((rc = ensure_ready()) < 0) {
        tsd_secret_free(secret, slen);
        return rc;
    }
    int lk = tsd_lock();
    if (lk < 0) {
        tsd_secret_free(secret, slen);
        return lk;
    }
    struct boxref b = { 0 };
    char *work = tsd_path("%s/work", tsd.sdir);
    char *plain = tsd_path("%s/work/plain", tsd.sdir);
    char *mnt = tsd_path("%s/work/mnt", tsd.sdir);
    int journaled = 0;
    if (!work || !plain || !mnt) {
        rc = -ENOMEM;
        goto out;
    }
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0 || (rc = own_box(name, &b)) < 0)
        goto out;
    if (!b.encrypted) {
        rc = -TSD_E_PLAIN;
        goto out;
    }
    uint64_t bytes = 0;
    if ((rc = require_unmounted(b.box)) < 0 || (rc = require_no_sharee_mounts(&b)) < 0 ||
        (rc = require_empty_mount_point(b.box)) < 0 || (rc = tsd_check_tree(b.cipher, 1)) < 0 ||
        (rc = enough_space_for(b.cipher, &bytes)) < 0)
        goto out;
    if ((rc = tsd_journal_write("decrypt", name, "", "copying")) < 0)
        goto out;
    journaled = 1;
    TSD_CRASH_POINT("decrypt-journaled");
    if ((rc = tsd_mkdir_p(work, 0700)) < 0 || (rc = tsd_mkdir_p(plain, 0700)) < 0 ||
        (rc = tsd_mkdir_p(mnt, 0700)) < 0)
        goto out;
    if ((rc = gocryptfs_mount(b.cipher, mnt, secret, slen, MOUNT_RO, 0)) < 0)
        goto out;
    TSD_CRASH_POINT("decrypt-mounted");
    tsd_progress_start(name, bytes);
    rc = tsd_copy_tree(mnt, plain);
    int urc = tsd_unmount(mnt, 0);
    if (urc < 0)
        urc = tsd_unmount(mnt, 1);
    if (rc == 0)
        rc = urc;
    if (rc < 0)
        goto out;
    TSD_CRASH_POINT("decrypt-copied");
    int sfd = open(tsd.sdir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (sfd >= 0) {
        syncfs(sfd);
        close(sfd);
    }
    if ((rc = tsd_journal_write("decrypt", name, "", "staged")) < 0)
        goto out;
    TSD_CRASH_POINT("decrypt-staged");
    rc = tsd_recover(TSD_RECOVER_COMMIT);
    journaled = 0;
    if (rc == 0)
        tsd_progress_end();
out:
    if (journaled)
        tsd_recover(TSD_RECOVER_BEFORE);
    tsd_secret_free(secret, slen);
    boxref_free(&b);
    free(work);
    free(plain);
    free(mnt);
    tsd_unlock(lk);
    return rc;
}

int box_crypto_decrypt(const char *name, box_passphrase *key)
{
    LOCKED_CALL(do_decrypt(name, key));
}

static int do_verify(const char *name, box_passphrase *key)
{
    int rc = check_name(name);
    if (rc < 0)
        return rc;
    if (!key)
        return -TSD_E_INVAL;
    size_t slen = 0;
    char *secret = tsd_secret_lines(key->key, key->key ? key->key_len : 0, NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    struct boxref b;
    if ((rc = ensure_ready()) == 0 && (rc = own_box(name, &b)) == 0) {
        char *conf = tsd_path("%s/gocryptfs.conf", b.cipher);
        if (!b.encrypted) {
            rc = -TSD_E_PLAIN;
        } else if (!conf || access(conf, R_OK) < 0) {
            rc = -TSD_E_CIPHER;
        } else {
            /* -dumpmasterkey proves the password; what it prints is the
             * master key, which we wipe unread. */
            const char *args[] = { "-dumpmasterkey", conf, NULL };
            char *out = NULL;
            size_t out_len = 0;
            int r = tsd_run("gocryptfs-xray", args, secret, slen, &out, &out_len);
            if (out)
                tsd_secret_free(out, out_len);
            rc = r == 0 ? 0 : r < 0 ? r : -TSD_E_BADPASS;
        }
        free(conf);
        boxref_free(&b);
    }
    tsd_secret_free(secret, slen);
    return rc;
}

int box_crypto_verify_passphrase(const char *name, box_passphrase *key)
{
    LOCKED_CALL(do_verify(name, key));
}

/* The sharee's own mount point of another account's encrypted box,
 * <state>/mnt/<owner>/<box>, made on the way: folders of ours, 0700. */
static int make_sharee_point(const struct boxref *b)
{
    char *mnt = tsd_path("%s/mnt", tsd.sdir);
    char *dir = tsd_path("%s/mnt/%s", tsd.sdir, b->owner);
    int rc = mnt && dir ? 0 : -ENOMEM;
    if (rc == 0)
        rc = own_dir(mnt, 0700);
    if (rc == 0)
        rc = own_dir(dir, 0700);
    if (rc == 0)
        rc = own_dir(b->point, 0700);
    free(mnt);
    free(dir);
    return rc == -TSD_E_USERDIR ? -TSD_E_MOUNTPOINT : rc;
}

/* Leaves no empty mount points of ours behind once unmounted. */
static void remove_sharee_point(const struct boxref *b)
{
    if (b->self || !b->encrypted)
        return;
    char *dir = tsd_path("%s/mnt/%s", tsd.sdir, b->owner);
    char *mnt = tsd_path("%s/mnt", tsd.sdir);
    if (tsd_mount_state_now(b->point, NULL) == TSD_MNT_NONE && rmdir(b->point) == 0 && dir &&
        rmdir(dir) == 0 && mnt)
        rmdir(mnt);
    free(dir);
    free(mnt);
}

static int do_mount(const char *owner, const char *name, box_passphrase *key, unsigned idle)
{
    int rc = check_name(name);
    if (rc < 0)
        return rc;
    if (!key)
        return -TSD_E_INVAL;
    size_t slen = 0;
    char *secret = tsd_secret_lines(key->key, key->key ? key->key_len : 0, NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    if ((rc = ensure_ready()) < 0) {
        tsd_secret_free(secret, slen);
        return rc;
    }
    struct boxref b = { 0 };
    int lk = -1;
    if ((rc = resolve(owner, name, &b)) < 0)
        goto out;
    if (b.self) {
        if ((lk = tsd_lock()) < 0) {
            rc = lk;
            goto out;
        }
        if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0)
            goto out;
        b.encrypted = tsd_exists(b.cipher);
    }
    if (!b.encrypted) {
        rc = -TSD_E_PLAIN;
        goto out;
    }
    if (!b.self && (rc = make_sharee_point(&b)) < 0)
        goto out;
    uid_t muid = (uid_t)-1;
    int s = tsd_mount_state_now(b.point, &muid);
    if (s == TSD_MNT_ALIVE) {
        rc = -TSD_E_MOUNTED;
        goto out;
    }
    if (s == TSD_MNT_FOREIGN) {
        rc = -TSD_E_MOUNTPOINT;
        goto out;
    }
    if (s == TSD_MNT_STALE) {
        if (muid != tsd.uid && tsd.uid != 0) {
            rc = -TSD_E_OTHERMOUNT;
            goto out;
        }
        if (tsd_unmount(b.point, 0) < 0 && tsd_unmount(b.point, 1) < 0) {
            rc = -TSD_E_MOUNTPOINT;
            goto out;
        }
    }
    /* Mounting over files would hide them (and at the box folder they
     * would lie in plain text beside the ciphertext). */
    if ((rc = require_empty_mount_point(b.point)) < 0)
        goto out;
    if (b.self) {
        /* The owner may write to the box folder only while gocryptfs takes
         * it over; unmounted it refuses files that would sit there in
         * plain text. The descriptor reaches the folder under the mount.
         * A box shared with others may be mounted by them at once. */
        int named = 0;
        tsd_acl_scan(b.cipher, &named, (uid_t)-1, NULL);
        int fd = open(b.box, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            rc = -errno;
            goto out;
        }
        tsd_unlock_mount_point(fd);
        rc = gocryptfs_mount(b.cipher, b.box, secret, slen, named ? MOUNT_SHARED : 0, idle);
        tsd_lock_mount_point(fd);
        close(fd);
    } else {
        /* A sharee's own view, within the share's rights: the ACLs of the
         * cipher tree decide what its gocryptfs may read and write, and a
         * read-only share mounts read-only as well. */
        unsigned opts = MOUNT_SHARED | ((b.perm & 2) ? 0 : MOUNT_RO);
        rc = gocryptfs_mount(b.cipher, b.point, secret, slen, opts, idle);
        if (rc < 0)
            remove_sharee_point(&b);
    }
out:
    tsd_secret_free(secret, slen);
    boxref_free(&b);
    tsd_unlock(lk);
    return rc;
}

int box_crypto_mount(const char *owner, const char *name, box_passphrase *key)
{
    LOCKED_CALL(do_mount(owner, name, key, 0));
}

int box_crypto_mount_idle(const char *owner, const char *name, box_passphrase *key,
                          unsigned int idle_seconds)
{
    LOCKED_CALL(do_mount(owner, name, key, idle_seconds));
}

static int do_umount(const char *owner, const char *name)
{
    int rc = check_name(name);
    if (rc < 0 || (rc = ensure_ready()) < 0)
        return rc;
    struct boxref b;
    if ((rc = resolve(owner, name, &b)) == -TSD_E_NOTFOUND && owner && *owner &&
        check_owner_name(owner) == 0) {
        /* A box no longer shared with us (or gone) may still have our
         * mount, which reaches nothing any more: we may take it away. */
        memset(&b, 0, sizeof b);
        b.owner = strdup(owner);
        b.encrypted = 1;
        b.point = tsd_path("%s/mnt/%s/%s", tsd.sdir, owner, name);
        rc = b.owner && b.point ? 0 : -ENOMEM;
        if (rc == 0 && tsd_mount_state_now(b.point, NULL) == TSD_MNT_NONE)
            rc = -TSD_E_NOTFOUND;
        if (rc < 0) {
            boxref_free(&b);
            return rc;
        }
    } else if (rc < 0) {
        return rc;
    }
    /* No lock: unmounting must not wait behind another operation of ours
     * (an encrypt of another box can take minutes while the machine is
     * about to sleep). Every operation that needs the box unmounted checks
     * that under the lock itself, and a mount racing with us either is not
     * there yet or is taken down whole. */
    uid_t muid = (uid_t)-1;
    int s = tsd_mount_state_now(b.point, &muid);
    if (s == TSD_MNT_NONE) {
        rc = b.encrypted ? -TSD_E_NOTMOUNTED : -TSD_E_PLAIN;
    } else if (s == TSD_MNT_FOREIGN) {
        rc = -TSD_E_MOUNTPOINT;
    } else if (muid != tsd.uid && tsd.uid != 0) {
        rc = -TSD_E_OTHERMOUNT;
    } else {
        rc = tsd_unmount(b.point, 0);
        if (rc < 0 && s == TSD_MNT_STALE)
            rc = tsd_unmount(b.point, 1);
        if (rc < 0 && rc != -TSD_E_TOOL)
            rc = -TSD_E_BUSY;
    }
    if (rc == 0)
        remove_sharee_point(&b);
    boxref_free(&b);
    return rc;
}

int box_crypto_umount(const char *owner, const char *name)
{
    LOCKED_CALL(do_umount(owner, name));
}

/* ---- lists ---- */

/* Our records carry what box_info has no field for; box_share_state
 * reads it. The public part comes first, so box_info_destroy frees it as
 * one block. */
#define TSD_INFO_MAGIC 0x74736469u
struct tsd_info {
    box_info info;
    uint32_t magic;
    box_share_state state;
    char mounted_by[LOGIN_NAME_MAX + 1]; /* "" unless state.mounted_elsewhere */
};

/* A record of the box `b`, with its flags and share state read from the
 * disk and the mount table. */
static box_info *new_info(const char *name, const struct boxref *b, const struct tsd_mounts *m)
{
    struct tsd_info *t = calloc(1, sizeof *t);
    if (!t)
        return NULL;
    box_info *i = &t->info;
    t->magic = TSD_INFO_MAGIC;
    i->name = strdup(name);
    i->path = strdup(b->point ? b->point : b->box);
    i->owner = strdup(b->self ? tsd.login : b->owner);
    if (!i->name || !i->path || !i->owner) {
        box_info_destroy(i);
        return NULL;
    }
    uint8_t f = b->self ? BOX_FLAG_SELF : BOX_FLAG_OTHER;
    f |= b->encrypted ? BOX_FLAG_ENCRYPTED : BOX_FLAG_PLAIN;
    int named = 0;
    tsd_acl_scan(b->encrypted ? b->cipher : b->box, &named, (uid_t)-1, NULL);
    f |= named ? BOX_FLAG_SHARED : BOX_FLAG_UNSHARED;
    /* MOUNTED is the caller's own mount: at the box folder for the owner,
     * at its own mount point for a sharee. */
    if (b->encrypted && tsd_mount_state(m, b->point ? b->point : b->box, NULL) == TSD_MNT_ALIVE)
        f |= BOX_FLAG_MOUNTED;
    i->flags = f;
    uid_t by = (uid_t)-1;
    if (b->self) {
        t->state.access = BOX_ACCESS_OWNER;
        t->state.mounted_elsewhere = sharee_mounts(m, b, &by, 1) > 0;
    } else {
        t->state.access = (b->perm & 2) ? BOX_ACCESS_READ_WRITE : BOX_ACCESS_READ_ONLY;
        t->state.mounted_elsewhere = others_mount(m, b, &by);
    }
    if (t->state.mounted_elsewhere)
        login_of(by, t->mounted_by, sizeof t->mounted_by);
    return i;
}

int box_share_state_of(const box_info *info, box_share_state *state)
{
    if (!info || !state)
        return -TSD_E_INVAL;
    const struct tsd_info *t = (const struct tsd_info *)info;
    if (t->magic != TSD_INFO_MAGIC)
        return -TSD_E_INVAL;
    *state = t->state;
    return 0;
}

int box_mounted_by(const box_info *info, char *buf, size_t len)
{
    if (!info || !buf || len == 0)
        return -TSD_E_INVAL;
    const struct tsd_info *t = (const struct tsd_info *)info;
    if (t->magic != TSD_INFO_MAGIC)
        return -TSD_E_INVAL;
    if (strlen(t->mounted_by) >= len) {
        buf[0] = 0;
        return -ERANGE;
    }
    strcpy(buf, t->mounted_by);
    return 0;
}

static int cmp_str(const void *a, const void *b)
{
    return strcmp(*(char *const *)a, *(char *const *)b);
}

/* Sorted names of the folder's visible entries (folders only when
 * `dirs_only`). */
static char **list_names(const char *dir, int dirs_only, size_t *count)
{
    *count = 0;
    DIR *d = opendir(dir);
    if (!d)
        return NULL;
    size_t cap = 64, n = 0;
    char **v = malloc(cap * sizeof *v);
    struct dirent *e;
    while (v && (e = readdir(d))) {
        if (e->d_name[0] == '.')
            continue;
        if (dirs_only) {
            int isdir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st;
                isdir = fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(st.st_mode);
            }
            if (!isdir)
                continue;
        }
        if (n == cap) {
            char **nv = realloc(v, (cap *= 2) * sizeof *nv);
            if (!nv)
                break;
            v = nv;
        }
        if ((v[n] = strdup(e->d_name)))
            n++;
    }
    closedir(d);
    if (v)
        qsort(v, n, sizeof *v, cmp_str);
    *count = n;
    return v;
}

static void free_names(char **v, size_t n)
{
    for (size_t i = 0; i < n; i++)
        free(v[i]);
    free(v);
}

/* Largest share index we read: a name a line, 256 bytes at most each. */
#define SHARE_INDEX_MAX (1u << 20)
/* ... and at most this many names from one account. */
#define SHARE_INDEX_NAMES 10000

/* Another account's index of the boxes it shares with us, or NULL. That
 * account controls the file, so it is read with care: never through a
 * symlink, never blocking on a FIFO or device, only a regular file that
 * the account itself owns, and at most SHARE_INDEX_MAX bytes. Anything
 * else is skipped quietly (the call's detail names it). */
static char *read_share_index(const char *owner, size_t *len)
{
    *len = 0;
    char *idx = tsd_path("%s/%s/.boxes/shares/%u", tsd.root, owner, (unsigned)tsd.uid);
    if (!idx)
        return NULL;
    int fd = open(idx, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT && errno != EACCES && errno != ENOTDIR)
            tsd_set_detail("share index skipped: %s: %s", idx, strerror(errno));
        free(idx);
        return NULL;
    }
    struct stat st;
    struct passwd *pw = NULL;
    const char *why = NULL;
    if (fstat(fd, &st) < 0)
        why = "cannot be read";
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (!(pw = getpwnam(owner)) || pw->pw_uid != st.st_uid)
        why = "not owned by that account";
    else if (st.st_size > (off_t)SHARE_INDEX_MAX)
        why = "too large";
    char *text = NULL;
    if (!why && !(text = malloc((size_t)st.st_size + 1)))
        why = "out of memory";
    size_t got = 0;
    while (!why && got < (size_t)st.st_size) {
        ssize_t r = read(fd, text + got, (size_t)st.st_size - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break; /* shorter than it was: take what is there */
        got += (size_t)r;
    }
    close(fd);
    if (why) {
        tsd_set_detail("share index skipped: %s: %s", idx, why);
        free(text);
        text = NULL;
    } else {
        text[got] = 0;
        *len = got;
    }
    free(idx);
    return text;
}

static int do_get_list(box_info **list)
{
    if (!list)
        return -TSD_E_INVAL;
    *list = NULL;
    int rc = ensure_ready();
    if (rc < 0)
        return rc;
    struct tsd_mounts *m = tsd_mounts_read();
    box_info *head = NULL, **tail = &head;
    int count = 0;

    size_t n = 0, nc = 0;
    char **names = list_names(tsd.udir, 1, &n);
    /* Which boxes are encrypted: one read of the cipher folder (both
     * lists are sorted) instead of one lookup per box. */
    char *cdir = tsd_path("%s/c", tsd.sdir);
    char **ciphers = cdir ? list_names(cdir, 0, &nc) : NULL;
    free(cdir);
    size_t ci = 0;
    for (size_t i = 0; i < n; i++) {
        if (check_name(names[i]) < 0)
            continue;
        while (ci < nc && strcmp(ciphers[ci], names[i]) < 0)
            ci++;
        struct boxref b = { .self = 1, .owner_uid = tsd.uid };
        b.box = tsd_path("%s/%s", tsd.udir, names[i]);
        b.cipher = tsd_path("%s/c/%s", tsd.sdir, names[i]);
        if (b.box && b.cipher) {
            b.encrypted = ci < nc && strcmp(ciphers[ci], names[i]) == 0;
            box_info *info = new_info(names[i], &b, m);
            if (info) {
                *tail = info;
                tail = &info->next;
                count++;
            }
        }
        free(b.box);
        free(b.cipher);
    }
    free_names(names, n);
    free_names(ciphers, nc);

    /* Boxes of others shared with us: each owner's index names them for us
     * alone; every name is then checked against the box's own ACL. */
    size_t no = 0;
    char **owners = list_names(tsd.root, 1, &no);
    for (size_t o = 0; o < no; o++) {
        if (strcmp(owners[o], tsd.login) == 0)
            continue;
        size_t len = 0;
        char *text = read_share_index(owners[o], &len);
        if (!text)
            continue;
        char *line = text;
        int lines = 0;
        for (char *end; line < text + len && lines < SHARE_INDEX_NAMES; line = end + 1, lines++) {
            end = memchr(line, '\n', (size_t)(text + len - line));
            if (!end)
                break; /* an unfinished last line is no name */
            *end = 0;
            struct boxref b;
            if (resolve(owners[o], line, &b) < 0 || b.self)
                continue;
            box_info *info = new_info(line, &b, m);
            if (info) {
                *tail = info;
                tail = &info->next;
                count++;
            }
            boxref_free(&b);
        }
        free(text);
    }
    free_names(owners, no);
    tsd_mounts_free(m);
    *list = head;
    return count;
}

int box_get_list(int mask, box_info **list)
{
    (void)mask; /* always 255: every kind of box */
    LOCKED_CALL(do_get_list(list));
}

void box_info_list_destroy(box_info *list)
{
    while (list) {
        box_info *next = list->next;
        list->next = NULL;
        box_info_destroy(list);
        list = next;
    }
}

static int do_get_info(const char *owner, const char *name, box_info **info)
{
    if (!info)
        return -TSD_E_INVAL;
    *info = NULL;
    int rc = ensure_ready();
    struct boxref b;
    if (rc < 0 || (rc = resolve(owner, name, &b)) < 0)
        return rc;
    struct tsd_mounts *m = tsd_mounts_read();
    box_info *i = new_info(name, &b, m);
    tsd_mounts_free(m);
    if (!i) {
        rc = -ENOMEM;
    } else {
        /* An encrypted box's folder shows the FUSE root while mounted;
         * the cipher folder carries the same named users and is always
         * readable, so its ACL answers for the box. */
        i->acl = acl_get_file(b.encrypted ? b.cipher : b.box, ACL_TYPE_ACCESS);
        if (!i->acl) {
            rc = -errno;
            box_info_destroy(i);
            i = NULL;
        }
    }
    boxref_free(&b);
    *info = i;
    return rc;
}

int box_get_info(const char *owner, const char *name, box_info **info)
{
    LOCKED_CALL(do_get_info(owner, name, info));
}

void box_info_destroy(box_info *info)
{
    if (!info)
        return;
    box_info_list_destroy(info->next);
    free(info->name);
    free(info->path);
    free(info->owner);
    if (info->acl)
        acl_free(info->acl);
    free(info);
}

/* ---- shares ---- */

static int do_share(const char *name, int perm, uid_t uid, int clear)
{
    int rc = check_name(name);
    if (rc < 0 || (rc = ensure_ready()) < 0)
        return rc;
    if (!clear) {
        if (uid == tsd.uid || !getpwuid(uid))
            return -TSD_E_NOUSER;
    }
    int lk = tsd_lock();
    if (lk < 0)
        return lk;
    struct boxref b;
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) == 0 && (rc = own_box(name, &b)) == 0) {
        if ((rc = require_unmounted(b.box)) == 0) {
            uid_t who = clear ? (uid_t)-1 : uid;
            int p = clear ? -1 : perm;
            rc = tsd_acl_tree(b.box, who, p);
            if (b.encrypted) {
                /* The new mask would open the locked mount point again. */
                int fd = open(b.box, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd >= 0) {
                    tsd_lock_mount_point(fd);
                    close(fd);
                }
            }
            if (rc == 0 && b.encrypted)
                rc = tsd_acl_tree(b.cipher, who, p);
            int irc = tsd_rebuild_share_index();
            if (rc == 0)
                rc = irc;
        }
        boxref_free(&b);
    }
    tsd_unlock(lk);
    return rc;
}

int box_clear_share(const char *name)
{
    LOCKED_CALL(do_share(name, 0, (uid_t)-1, 1));
}

int box_add_share(const char *name, int perm, uid_t uid, int type)
{
    if (type != ACL_USER || (perm != 5 && perm != 7))
        return -TSD_E_PERM;
    LOCKED_CALL(do_share(name, perm, uid, 0));
}

/* ---- details, progress and reasons ---- */

static __thread char t_detail[1024];
static __thread int t_have_detail;

void tsd_set_detail(const char *fmt, ...)
{
    if (t_have_detail)
        return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(t_detail, sizeof t_detail, fmt, ap);
    va_end(ap);
    t_have_detail = 1;
}

void tsd_clear_detail(void)
{
    t_have_detail = 0;
    t_detail[0] = 0;
}

const char *box_last_detail(void)
{
    return t_have_detail ? t_detail : NULL;
}

static __thread box_progress_cb t_progress_cb;
static __thread void *t_progress_user;
static __thread char t_progress_name[NAME_MAX + 1];
static __thread uint64_t t_progress_total, t_progress_done;
static __thread int t_progress_last = -1;

void box_set_progress(box_progress_cb cb, void *user)
{
    t_progress_cb = cb;
    t_progress_user = user;
}

static void progress_report(int percent)
{
    if (!t_progress_cb || percent == t_progress_last)
        return;
    t_progress_last = percent;
    t_progress_cb(t_progress_name, percent, t_progress_user);
}

void tsd_progress_start(const char *name, uint64_t total_bytes)
{
    snprintf(t_progress_name, sizeof t_progress_name, "%s", name ? name : "");
    t_progress_total = total_bytes;
    t_progress_done = 0;
    t_progress_last = -1;
    progress_report(0);
}

void tsd_progress_add(uint64_t bytes)
{
    if (!t_progress_cb || t_progress_last < 0)
        return;
    t_progress_done += bytes;
    /* The total is an estimate made before the copy: never claim the end
     * before it is there. */
    uint64_t pct = t_progress_total ? t_progress_done * 100 / t_progress_total : 0;
    progress_report(pct > 99 ? 99 : (int)pct);
}

void tsd_progress_end(void)
{
    if (t_progress_last >= 0)
        progress_report(100);
    t_progress_last = -1;
}

int box_reason_of(int code)
{
    if (code == INT_MIN)
        return BOX_REASON_NONE;
    if (code < 0)
        code = -code;
    switch (code) {
    case TSD_E_BADPASS:
        return BOX_REASON_BAD_PASSWORD;
    case TSD_E_BUSY:
        return BOX_REASON_BUSY;
    case TSD_E_EXISTS:
        return BOX_REASON_NAME_TAKEN;
    case TSD_E_NOSPACE:
    case ENOSPC:
    case EDQUOT:
        return BOX_REASON_NO_SPACE;
    case TSD_E_PASSLONG:
        return BOX_REASON_PASS_TOO_LONG;
    case TSD_E_NOTFOUND:
        return BOX_REASON_NOT_FOUND;
    case TSD_E_MOUNTED:
        return BOX_REASON_MOUNTED;
    case TSD_E_OTHERMOUNT:
        return BOX_REASON_MOUNTED_ELSEWHERE;
    case TSD_E_FOREIGN:
    case TSD_E_STRAY:
        return BOX_REASON_FOREIGN_ENTRY;
    case TSD_E_DAMAGED:
    case TSD_E_CIPHER:
    case TSD_E_RECOVERY:
        return BOX_REASON_DAMAGED;
    case TSD_E_TOOL:
        return BOX_REASON_TOOL_MISSING;
    case TSD_E_KEYFORMAT:
    case TSD_E_BADKEY:
        return BOX_REASON_BAD_RECOVERY_KEY;
    case TSD_E_NOTCIPHER:
        return BOX_REASON_NOT_A_CIPHER_FOLDER;
    case TSD_E_NOTOWNER:
    case TSD_E_NOACCESS:
    case EACCES:
    case EPERM:
        return BOX_REASON_NOT_ALLOWED;
    default:
        return BOX_REASON_NONE;
    }
}

static int have_program(const char *prog)
{
    static const char *const dirs[] = { "/usr/bin", "/bin", "/usr/sbin", "/sbin",
                                        "/usr/local/bin", NULL };
    char buf[256];
    for (int i = 0; dirs[i]; i++) {
        snprintf(buf, sizeof buf, "%s/%s", dirs[i], prog);
        if (access(buf, X_OK) == 0)
            return 1;
    }
    return 0;
}

/* Which box_unavailable cause holds now; the caller holds g_mutex. */
static int unavailable_code_locked(void)
{
    const char *r = root_setting();
    struct stat st;
    if (ensure_root() < 0) {
        if (stat(r, &st) == 0 && !S_ISDIR(st.st_mode))
            return BOX_UNAVAILABLE_ROOT_NOT_FOLDER;
        if (getenv("BOX_SERVICE_ROOT") && *getenv("BOX_SERVICE_ROOT"))
            return BOX_UNAVAILABLE_CUSTOM_ROOT_MISSING;
        return BOX_UNAVAILABLE_ROOT_MISSING;
    }
    if (!getpwuid(geteuid()))
        return BOX_UNAVAILABLE_NO_ACCOUNT;
    if (g_init_failed == -TSD_E_USERDIR)
        return BOX_UNAVAILABLE_USER_FOLDER;
    if (g_init_failed < 0)
        return BOX_UNAVAILABLE_START_FAILED;
    if (!have_program("gocryptfs"))
        return BOX_UNAVAILABLE_NO_GOCRYPTFS;
    if (!have_program("fusermount3"))
        return BOX_UNAVAILABLE_NO_FUSERMOUNT;
    if (stat("/dev/fuse", &st) < 0 || !S_ISCHR(st.st_mode))
        return BOX_UNAVAILABLE_NO_DEV_FUSE;
    if (access("/dev/fuse", R_OK | W_OK) < 0)
        return BOX_UNAVAILABLE_DEV_FUSE_DENIED;
    return BOX_UNAVAILABLE_NONE;
}

int box_unavailable_code(void)
{
    pthread_mutex_lock(&g_mutex);
    int code = unavailable_code_locked();
    pthread_mutex_unlock(&g_mutex);
    return code;
}

const char *box_unavailable_reason(void)
{
    static __thread char text[1024];
    pthread_mutex_lock(&g_mutex);
    const char *r = root_setting();
    const char *result = text;
    switch (unavailable_code_locked()) {
    case BOX_UNAVAILABLE_ROOT_NOT_FOLDER:
        snprintf(text, sizeof text,
                 "The box folder %s exists but is not a folder. An administrator "
                 "removes it and runs: install -d -m 1777 %s (or scripts/setup-box-root.sh); "
                 "or set BOX_SERVICE_ROOT to a folder of your own.", r, r);
        break;
    case BOX_UNAVAILABLE_CUSTOM_ROOT_MISSING:
        snprintf(text, sizeof text,
                 "The box folder %s (from BOX_SERVICE_ROOT) does not exist and cannot be "
                 "created by this account. Create it, or point BOX_SERVICE_ROOT at a folder "
                 "you can write to.", r);
        break;
    case BOX_UNAVAILABLE_ROOT_MISSING:
        snprintf(text, sizeof text,
                 "The box folder %s does not exist and cannot be created by this account. "
                 "An administrator creates it with: install -d -m 1777 %s (or "
                 "scripts/setup-box-root.sh); or set BOX_SERVICE_ROOT to a folder of your own.",
                 r, r);
        break;
    case BOX_UNAVAILABLE_NO_ACCOUNT:
        snprintf(text, sizeof text,
                 "This account (uid %u) has no entry in the password database; the box "
                 "service needs a named account.", (unsigned)geteuid());
        break;
    case BOX_UNAVAILABLE_USER_FOLDER:
        snprintf(text, sizeof text,
                 "Your box folder %s/%s belongs to another account or is not a folder. An "
                 "administrator removes it; the next start creates it anew.",
                 r, getpwuid(geteuid())->pw_name);
        break;
    case BOX_UNAVAILABLE_START_FAILED:
        snprintf(text, sizeof text, "The box service could not start: %s.", box_err(g_init_failed));
        break;
    case BOX_UNAVAILABLE_NO_GOCRYPTFS:
        snprintf(text, sizeof text,
                 "Encrypted boxes are unavailable: gocryptfs is not installed. An administrator "
                 "installs it with: apt-get install gocryptfs fuse3");
        break;
    case BOX_UNAVAILABLE_NO_FUSERMOUNT:
        snprintf(text, sizeof text,
                 "Encrypted boxes are unavailable: fusermount3 is not installed. An administrator "
                 "installs it with: apt-get install fuse3");
        break;
    case BOX_UNAVAILABLE_NO_DEV_FUSE:
        snprintf(text, sizeof text,
                 "Encrypted boxes are unavailable: /dev/fuse is missing. An administrator loads "
                 "the FUSE module (modprobe fuse) or, in a container, passes the device in.");
        break;
    case BOX_UNAVAILABLE_DEV_FUSE_DENIED:
        snprintf(text, sizeof text,
                 "Encrypted boxes are unavailable: this account may not open /dev/fuse. An "
                 "administrator opens it to users with: chmod 0666 /dev/fuse");
        break;
    default:
        result = NULL;
        break;
    }
    pthread_mutex_unlock(&g_mutex);
    return result;
}

int box_user_folder(char *buf, size_t len)
{
    if (!buf || len == 0)
        return -TSD_E_INVAL;
    pthread_mutex_lock(&g_mutex);
    struct passwd *pw = getpwuid(geteuid());
    int rc = 0;
    if (!pw || !pw->pw_name || !*pw->pw_name) {
        rc = -TSD_E_NOACCOUNT;
    } else {
        /* The canonical root when it exists, as box_init will use it. */
        char *canon = realpath(root_setting(), NULL);
        int n = snprintf(buf, len, "%s/%s", canon ? canon : root_setting(), pw->pw_name);
        free(canon);
        if (n < 0 || (size_t)n >= len) {
            buf[0] = 0;
            rc = -ERANGE;
        }
    }
    pthread_mutex_unlock(&g_mutex);
    return rc;
}

/* ---- for the other files of the library (tsd_recovery.c) ---- */

void tsd_call_enter(void)
{
    tsd_clear_detail();
    pthread_mutex_lock(&g_mutex);
}

void tsd_call_leave(void)
{
    pthread_mutex_unlock(&g_mutex);
}

int tsd_ready(void)
{
    return ensure_ready();
}

int tsd_check_name(const char *name)
{
    return check_name(name);
}

int tsd_own_box(const char *name, char **box, char **cipher, int *encrypted)
{
    struct boxref b;
    int rc = own_box(name, &b);
    if (rc < 0)
        return rc;
    *box = b.box;
    *cipher = b.cipher;
    *encrypted = b.encrypted;
    b.box = b.cipher = NULL;
    boxref_free(&b);
    return 0;
}

int tsd_gocryptfs_result(int status)
{
    return map_gocryptfs(status);
}

int tsd_require_unmounted(const char *path)
{
    return require_unmounted(path);
}

int tsd_reapply_shares(const char *from, const char *tree)
{
    return reapply_shares(from, tree);
}

/* The folders whose entries and attributes change with what box_get_list
 * returns to the caller: the box root (other accounts' user folders; each
 * announces a change of its shares there, see tsd_rebuild_share_index), the
 * caller's user folder (its boxes) and the cipher folder (which boxes are
 * encrypted, and the shares of those). Mounts are not among them: they show
 * in /proc/self/mountinfo. Written as NUL-terminated paths followed by an
 * empty one; works before box_init(). */
int box_state_folders(char *buf, size_t len)
{
    if (!buf || len == 0)
        return -TSD_E_INVAL;
    char user[PATH_MAX];
    int rc = box_user_folder(user, sizeof user);
    if (rc < 0)
        return rc;
    pthread_mutex_lock(&g_mutex);
    char *canon = realpath(root_setting(), NULL);
    const char *root = canon ? canon : root_setting();
    int n = snprintf(buf, len, "%s%c%s%c%s/.boxes/c%c", root, 0, user, 0, user, 0);
    free(canon);
    pthread_mutex_unlock(&g_mutex);
    if (n < 0 || (size_t)n >= len) {
        buf[0] = 0;
        return -ERANGE;
    }
    return 0;
}
