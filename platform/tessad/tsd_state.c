/* The per-user lock, the journal of the operation in progress, recovery
 * after a crash, and the index through which sharees find their boxes. */
#define _GNU_SOURCE
#include "tsd_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

int tsd_lock(void)
{
    char *p = tsd_path("%s/lock", tsd.sdir);
    if (!p)
        return -ENOMEM;
    int fd = open(p, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    free(p);
    if (fd < 0)
        return -errno;
    while (flock(fd, LOCK_EX) < 0) {
        if (errno != EINTR) {
            int e = errno;
            close(fd);
            return -e;
        }
    }
    return fd;
}

void tsd_unlock(int fd)
{
    if (fd >= 0)
        close(fd); /* closing releases the flock */
}

/* ---- journal ---- */

struct journal {
    char op[16];
    char name[1024];
    char new_name[1024];
    char phase[16];
};

int tsd_journal_write(const char *op, const char *name, const char *new_name,
                      const char *phase)
{
    char *j = tsd_path("%s/journal", tsd.sdir);
    char *text = tsd_path("%s\n%s\n%s\n%s\n", op, name, new_name ? new_name : "", phase);
    int rc = (j && text) ? tsd_write_file_atomic(j, text, strlen(text), 0600) : -ENOMEM;
    if (rc == 0)
        rc = tsd_fsync_dir(tsd.sdir);
    free(j);
    free(text);
    return rc;
}

int tsd_journal_clear(void)
{
    char *j = tsd_path("%s/journal", tsd.sdir);
    if (!j)
        return -ENOMEM;
    int rc = (unlink(j) < 0 && errno != ENOENT) ? -errno : 0;
    free(j);
    if (rc == 0)
        tsd_fsync_dir(tsd.sdir);
    return rc;
}

static int journal_read(struct journal *jr)
{
    char *j = tsd_path("%s/journal", tsd.sdir);
    if (!j)
        return -ENOMEM;
    FILE *f = fopen(j, "re");
    free(j);
    if (!f)
        return errno == ENOENT ? 0 : -errno;
    memset(jr, 0, sizeof *jr);
    char line[1100];
    char *fields[4] = { jr->op, jr->name, jr->new_name, jr->phase };
    size_t sizes[4] = { sizeof jr->op, sizeof jr->name, sizeof jr->new_name, sizeof jr->phase };
    int n = 0;
    while (n < 4 && fgets(line, sizeof line, f)) {
        line[strcspn(line, "\n")] = 0;
        snprintf(fields[n], sizes[n], "%s", line);
        n++;
    }
    fclose(f);
    return n == 4 ? 1 : -TSD_E_RECOVERY;
}

/* ---- trash ---- */

/* Finished work (the plain files of a box just encrypted, the cipher
 * folder of one just decrypted, a deleted box) is removed in the
 * background: on a disk that discards freed blocks, unlinking many files
 * takes as long as copying them, and nothing waits on it. The tree first
 * moves, in one rename, into <state>/trash/, outside every box; a
 * detached `rm` then removes it while the call returns. A remover that is
 * killed leaves its entry behind, and box_init starts another for it. */
static int start_remover(const char *entry)
{
    const char *args[] = { "-rf", "--one-file-system", "--", entry, NULL };
    return tsd_spawn_detached("rm", args);
}

/* What no removal of ours can take away (entries in a folder of another
 * account that does not let us delete them, which a sharee left or made
 * so while an operation ran; the check before each operation refuses such
 * a box) is set aside once, in one rename, into <state>/stranded/: closed
 * to everyone but us like the trash, and never walked again, so that it
 * cannot keep the trash busy or give the sharee a new chance at every
 * box_init. What is left in there belongs to that account. */
static int strand(const char *path)
{
    char *dir = tsd_path("%s/stranded", tsd.sdir);
    int rc = dir ? tsd_mkdir_p(dir, 0700) : -ENOMEM;
    static unsigned serial;
    for (int i = 0; rc == 0 && i < 100; i++) {
        char *dest = tsd_path("%s/%ld.%ld.%u", dir, (long)time(NULL), (long)getpid(), serial++);
        if (!dest) {
            rc = -ENOMEM;
            break;
        }
        int moved = renameat2(AT_FDCWD, path, AT_FDCWD, dest, RENAME_NOREPLACE) == 0;
        int e = errno;
        free(dest);
        if (moved)
            break;
        if (e != EEXIST || i == 99)
            rc = -e;
    }
    free(dir);
    return rc;
}

static int remove_or_strand(const char *path)
{
    int rc = tsd_remove_tree(path);
    return rc == -TSD_E_FOREIGN ? strand(path) : rc;
}

int tsd_discard_tree(const char *path)
{
    if (!tsd_exists(path))
        return 0;
    /* A small tree goes faster here than a process can start. */
    if (tsd_tree_is_small(path, 64, 4u << 20))
        return remove_or_strand(path);
    char *trash = tsd_path("%s/trash", tsd.sdir);
    if (!trash)
        return remove_or_strand(path);
    int rc = tsd_mkdir_p(trash, 0700);
    char *dest = NULL;
    static unsigned serial;
    tsd_make_removable(path);
    for (int i = 0; rc == 0 && i < 100; i++) {
        free(dest);
        dest = tsd_path("%s/%ld.%u", trash, (long)getpid(), serial++);
        if (!dest) {
            rc = -ENOMEM;
            break;
        }
        if (renameat2(AT_FDCWD, path, AT_FDCWD, dest, RENAME_NOREPLACE) == 0)
            break;
        rc = errno == EEXIST ? 0 : -errno;
        if (i == 99)
            rc = -EEXIST;
    }
    if (rc < 0) {
        rc = remove_or_strand(path); /* no trash: remove it here and now */
    } else {
        TSD_CRASH_POINT("trash-moved");
        if (start_remover(dest) < 0)
            rc = remove_or_strand(dest);
    }
    free(dest);
    free(trash);
    return rc;
}

/* Starts a remover for every entry in the trash (left by removers that
 * were killed or could not finish), or with `now` removes them here. An
 * entry that holds what no remover of ours can remove is emptied here
 * and set aside, so that it is not met again. */
static int sweep_trash(int now)
{
    char *trash = tsd_path("%s/trash", tsd.sdir);
    DIR *d = trash ? opendir(trash) : NULL;
    int rc = 0;
    struct dirent *e;
    while (d && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        char *p = tsd_path("%s/%s", trash, e->d_name);
        if (!p) {
            rc = -ENOMEM;
            continue;
        }
        int r;
        if (now || tsd_check_tree(p, 0) == -TSD_E_FOREIGN) {
            r = remove_or_strand(p);
        } else {
            tsd_make_removable(p);
            r = start_remover(p) < 0 ? remove_or_strand(p) : 0;
        }
        tsd_clear_detail(); /* about the trash, not about this call */
        if (rc == 0)
            rc = r;
        free(p);
    }
    if (d)
        closedir(d);
    free(trash);
    return rc;
}

/* Work folders that an earlier recovery set aside (junk.<time>) go the
 * way of the trash once nothing in them is mounted any more. */
static void sweep_junk(void)
{
    DIR *d = opendir(tsd.sdir);
    struct dirent *e;
    while (d && (e = readdir(d))) {
        if (strncmp(e->d_name, "junk.", 5) != 0)
            continue;
        char *p = tsd_path("%s/%s", tsd.sdir, e->d_name);
        int c = p ? tsd_check_tree(p, 0) : -ENOMEM;
        if (c == 0 || c == -TSD_E_FOREIGN)
            tsd_discard_tree(p);
        tsd_clear_detail();
        free(p);
    }
    if (d)
        closedir(d);
}

int tsd_empty_trash(void)
{
    return sweep_trash(1);
}

/* ---- recovery ---- */

/* Unmounts whatever an interrupted operation left mounted in the work
 * folder, then removes the folder. Never removes through a mount. */
static int clear_work(void)
{
    char *work = tsd_path("%s/work", tsd.sdir);
    if (!work)
        return -ENOMEM;
    int rc = 0;
    DIR *d = opendir(work);
    if (d) {
        struct dirent *e;
        while ((e = readdir(d))) {
            if (e->d_name[0] == '.')
                continue;
            char *p = tsd_path("%s/%s", work, e->d_name);
            if (!p)
                continue;
            if (tsd_mount_state_now(p, NULL) != TSD_MNT_NONE) {
                if (tsd_unmount(p, 0) < 0 && tsd_unmount(p, 1) < 0)
                    rc = -TSD_E_RECOVERY;
            }
            free(p);
        }
        closedir(d);
    }
    if (rc == 0)
        rc = tsd_discard_tree(work);
    free(work);
    return rc < 0 ? -TSD_E_RECOVERY : 0;
}

/* An unmounted encrypted box folder refuses writes: its owner entry has
 * no write permission (named users keep theirs). */
static void lock_mount_point(const char *box)
{
    int fd = open(box, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        tsd_acl_set_owner_perm(fd, 5);
        close(fd);
    }
}

static int finish_encrypt(const struct journal *j)
{
    char *cipher = tsd_path("%s/c/%s", tsd.sdir, j->name);
    char *staged = tsd_path("%s/work/cipher", tsd.sdir);
    char *box = tsd_path("%s/%s", tsd.udir, j->name);
    char *old = tsd_path("%s/work/old", tsd.sdir);
    int rc = 0;
    if (!cipher || !staged || !box || !old) {
        rc = -ENOMEM;
        goto out;
    }
    if (strcmp(j->phase, "staged") != 0 ||
        (!tsd_exists(cipher) && !tsd_exists(staged)))
        goto out; /* not committed: the box stays plain */
    if (!tsd_exists(cipher) && rename(staged, cipher) < 0) {
        rc = -errno;
        goto out;
    }
    TSD_CRASH_POINT("encrypt-committed");
    /* The plain files still in the box folder move out of the way; the
     * folder is then an empty mount point. */
    if (tsd_exists(box) && tsd_dir_empty(box) == 0) {
        if (rename(box, old) < 0) {
            rc = -errno;
            goto out;
        }
        TSD_CRASH_POINT("encrypt-moved-plain");
    }
    if (!tsd_exists(box)) {
        if (mkdir(box, 0700) < 0) {
            rc = -errno;
            goto out;
        }
        tsd_acl_copy_named(cipher, box);
    }
    lock_mount_point(box);
out:
    free(cipher);
    free(staged);
    free(box);
    free(old);
    return rc;
}

static int finish_decrypt(const struct journal *j)
{
    char *cipher = tsd_path("%s/c/%s", tsd.sdir, j->name);
    char *staged = tsd_path("%s/work/plain", tsd.sdir);
    char *box = tsd_path("%s/%s", tsd.udir, j->name);
    char *trash = tsd_path("%s/work/trash", tsd.sdir);
    int rc = 0;
    if (!cipher || !staged || !box || !trash) {
        rc = -ENOMEM;
        goto out;
    }
    if (strcmp(j->phase, "staged") != 0)
        goto out; /* copy incomplete: the box stays encrypted */
    if (tsd_exists(staged)) {
        /* rename() replaces the empty mount point in one step. */
        if (tsd_exists(box) && tsd_dir_empty(box) != 1) {
            rc = -TSD_E_MOUNTPOINT;
            goto out;
        }
        /* Moving a folder rewrites its ".." entry and with it its times;
         * put back those the copy gave it. */
        struct stat st;
        int have_times = stat(staged, &st) == 0;
        if (rename(staged, box) < 0) {
            rc = -errno;
            goto out;
        }
        if (have_times) {
            struct timespec ts[2] = { st.st_atim, st.st_mtim };
            utimensat(AT_FDCWD, box, ts, 0);
        }
        TSD_CRASH_POINT("decrypt-committed");
    }
    if (tsd_exists(cipher) && rename(cipher, trash) < 0)
        rc = -errno;
out:
    free(cipher);
    free(staged);
    free(box);
    free(trash);
    return rc;
}

static int finish_delete(const struct journal *j)
{
    char *cipher = tsd_path("%s/c/%s", tsd.sdir, j->name);
    char *box = tsd_path("%s/%s", tsd.udir, j->name);
    char *t1 = tsd_path("%s/work/trash-cipher", tsd.sdir);
    char *t2 = tsd_path("%s/work/trash-box", tsd.sdir);
    char *work = tsd_path("%s/work", tsd.sdir);
    int rc = 0;
    if (!cipher || !box || !t1 || !t2 || !work) {
        rc = -ENOMEM;
    } else if ((rc = tsd_mkdir_p(work, 0700)) == 0) {
        if (tsd_exists(cipher) && rename(cipher, t1) < 0)
            rc = -errno;
        TSD_CRASH_POINT("delete-cipher-gone");
        if (rc == 0 && tsd_exists(box) && rename(box, t2) < 0)
            rc = -errno;
    }
    free(cipher);
    free(box);
    free(t1);
    free(t2);
    free(work);
    return rc;
}

static int finish_rename(const struct journal *j)
{
    char *c1 = tsd_path("%s/c/%s", tsd.sdir, j->name);
    char *c2 = tsd_path("%s/c/%s", tsd.sdir, j->new_name);
    char *b1 = tsd_path("%s/%s", tsd.udir, j->name);
    char *b2 = tsd_path("%s/%s", tsd.udir, j->new_name);
    int rc = 0;
    if (!c1 || !c2 || !b1 || !b2) {
        rc = -ENOMEM;
    } else {
        /* The cipher folder's times are the box root's times. */
        struct stat st;
        if (lstat(c1, &st) == 0) {
            if (renameat2(AT_FDCWD, c1, AT_FDCWD, c2, RENAME_NOREPLACE) < 0) {
                rc = -errno;
            } else {
                struct timespec ts[2] = { st.st_atim, st.st_mtim };
                utimensat(AT_FDCWD, c2, ts, 0);
            }
        }
        TSD_CRASH_POINT("rename-cipher-moved");
        if (rc == 0 && tsd_exists(b1) &&
            renameat2(AT_FDCWD, b1, AT_FDCWD, b2, RENAME_NOREPLACE) < 0)
            rc = -errno;
    }
    free(c1);
    free(c2);
    free(b1);
    free(b2);
    return rc;
}

int tsd_recover(int at_init)
{
    struct journal j;
    int have = journal_read(&j);
    int rc = 0;
    if (have < 0)
        return have;
    if (have) {
        if (strcmp(j.op, "encrypt") == 0)
            rc = finish_encrypt(&j);
        else if (strcmp(j.op, "decrypt") == 0)
            rc = finish_decrypt(&j);
        else if (strcmp(j.op, "delete") == 0)
            rc = finish_delete(&j);
        else if (strcmp(j.op, "rename") == 0)
            rc = finish_rename(&j);
        if (rc < 0)
            return -TSD_E_RECOVERY;
    }
    if (have) {
        tsd_journal_clear();
        if (strcmp(j.op, "delete") == 0 || strcmp(j.op, "rename") == 0)
            tsd_rebuild_share_index();
    }
    if (clear_work() < 0) {
        /* The operation itself is complete; leftovers that cannot be
         * removed now (files a sharee made, a busy mount) are set aside so
         * that the next operation finds a clean work folder. */
        char *work = tsd_path("%s/work", tsd.sdir);
        char *junk = tsd_path("%s/junk.%ld", tsd.sdir, (long)time(NULL));
        rc = (work && junk && rename(work, junk) == 0) ? 0 : -TSD_E_RECOVERY;
        free(work);
        free(junk);
        if (rc < 0)
            return rc;
    }
    if (at_init) {
        sweep_junk();
        sweep_trash(0);
        /* A crash between unlocking a mount point for gocryptfs and locking
         * it again leaves it writable; close it again. */
        char *cdir = tsd_path("%s/c", tsd.sdir);
        DIR *d = cdir ? opendir(cdir) : NULL;
        struct dirent *e;
        while (d && (e = readdir(d))) {
            if (e->d_name[0] == '.')
                continue;
            char *box = tsd_path("%s/%s", tsd.udir, e->d_name);
            struct stat st;
            if (box && lstat(box, &st) == 0 && S_ISDIR(st.st_mode) &&
                (st.st_mode & S_IWUSR) && tsd_mount_state_now(box, NULL) == TSD_MNT_NONE)
                lock_mount_point(box);
            free(box);
        }
        if (d)
            closedir(d);
        free(cdir);
    }
    return 0;
}

/* ---- share index ---- */

struct share_pair {
    uid_t uid;
    char *name;
};

static int pair_cmp(const void *a, const void *b)
{
    const struct share_pair *x = a, *y = b;
    if (x->uid != y->uid)
        return x->uid < y->uid ? -1 : 1;
    return strcmp(x->name, y->name);
}

static int set_file_acl(const char *path, const char *text)
{
    acl_t a = acl_from_text(text);
    if (!a)
        return -errno;
    int rc = acl_set_file(path, ACL_TYPE_ACCESS, a) < 0 ? -errno : 0;
    acl_free(a);
    return rc;
}

/* One file per recipient, <state>/shares/<uid>, lists the names of the
 * boxes shared with that account and is readable by it alone; the folder
 * grants each recipient passage only. The file is an index: the reader
 * checks every name against the box's own ACL. */
int tsd_rebuild_share_index(void)
{
    char *sh = tsd_path("%s/shares", tsd.sdir);
    char *cdir = tsd_path("%s/c", tsd.sdir);
    if (!sh || !cdir) {
        free(sh);
        free(cdir);
        return -ENOMEM;
    }
    struct share_pair *pairs = NULL;
    size_t n = 0, cap = 0;
    int rc = 0;
    DIR *d = opendir(tsd.udir);
    struct dirent *e;
    while (d && (e = readdir(d))) {
        if (e->d_name[0] == '.')
            continue;
        char *cp = tsd_path("%s/%s", cdir, e->d_name);
        char *bp = tsd_path("%s/%s", tsd.udir, e->d_name);
        uid_t uids[256];
        int k = 0;
        struct stat st;
        if (cp && bp && lstat(bp, &st) == 0 && S_ISDIR(st.st_mode))
            k = tsd_acl_named_uids(tsd_exists(cp) ? cp : bp, uids, 256);
        for (int i = 0; i < k; i++) {
            if (n == cap) {
                cap = cap ? cap * 2 : 32;
                struct share_pair *np = realloc(pairs, cap * sizeof *np);
                if (!np)
                    break;
                pairs = np;
            }
            pairs[n].uid = uids[i];
            pairs[n].name = strdup(e->d_name);
            if (pairs[n].name)
                n++;
        }
        free(cp);
        free(bp);
    }
    if (d)
        closedir(d);
    if (n > 0)
        qsort(pairs, n, sizeof *pairs, pair_cmp);

    if (n == 0) {
        tsd_remove_tree(sh);
        goto done;
    }
    rc = tsd_mkdir_p(sh, 0700);
    if (rc < 0)
        goto done;
    /* Remove files of accounts that no longer share anything. */
    d = opendir(sh);
    while (d && (e = readdir(d))) {
        if (e->d_name[0] == '.')
            continue;
        uid_t u = (uid_t)strtoul(e->d_name, NULL, 10);
        int keep = 0;
        for (size_t i = 0; i < n && !keep; i++)
            keep = pairs[i].uid == u && !strchr(e->d_name, '.');
        if (!keep) {
            char *p = tsd_path("%s/%s", sh, e->d_name);
            if (p)
                unlink(p);
            free(p);
        }
    }
    if (d)
        closedir(d);
    size_t dir_acl_len = 64;
    for (size_t i = 0; i < n;) {
        size_t j = i, len = 0;
        while (j < n && pairs[j].uid == pairs[i].uid)
            len += strlen(pairs[j++].name) + 1;
        char *text = malloc(len + 1), *t = text;
        char *p = tsd_path("%s/%u", sh, (unsigned)pairs[i].uid);
        char *tmp = tsd_path("%s/%u.tmp", sh, (unsigned)pairs[i].uid);
        char aclt[96];
        snprintf(aclt, sizeof aclt, "u::rw-,u:%u:r--,g::---,m::r--,o::---", (unsigned)pairs[i].uid);
        if (text && p && tmp) {
            for (size_t k = i; k < j; k++)
                t += sprintf(t, "%s\n", pairs[k].name);
            int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd >= 0) {
                if (write(fd, text, (size_t)(t - text)) != t - text)
                    rc = -EIO;
                close(fd);
                if (rc == 0)
                    rc = set_file_acl(tmp, aclt);
                if (rc == 0 && rename(tmp, p) < 0)
                    rc = -errno;
                if (rc < 0)
                    unlink(tmp);
            } else {
                rc = -errno;
            }
        }
        free(text);
        free(p);
        free(tmp);
        dir_acl_len += 24;
        i = j;
    }
    /* The folder: passage for the recipients, listing for nobody. */
    char *dacl = malloc(dir_acl_len), *q = dacl;
    if (dacl) {
        q += sprintf(q, "u::rwx,g::---,o::---,m::--x");
        for (size_t i = 0; i < n; i++)
            if (i == 0 || pairs[i].uid != pairs[i - 1].uid)
                q += sprintf(q, ",u:%u:--x", (unsigned)pairs[i].uid);
        int r2 = set_file_acl(sh, dacl);
        if (rc == 0)
            rc = r2;
        free(dacl);
    }
done:
    for (size_t i = 0; i < n; i++)
        free(pairs[i].name);
    free(pairs);
    free(sh);
    free(cdir);
    return rc;
}

#ifdef TESSAD_TEST_HOOKS
/* Test builds only (the library the program links has none of this): the
 * crash tests set TESSAD_TEST_CRASH_AT=<n> so that the process kills
 * itself at the n-th crash point it passes, proving that every step of
 * encrypt, decrypt, rename and delete can be recovered.
 * TESSAD_TEST_CRASH_TRACE=<file> lists the points passed, one a line. */
void tsd_crash_point(const char *where)
{
    static unsigned long hits;
    const char *at = getenv("TESSAD_TEST_CRASH_AT");
    const char *trace = getenv("TESSAD_TEST_CRASH_TRACE");
    FILE *f = trace ? fopen(trace, "ae") : NULL;
    if (f) {
        fprintf(f, "%s\n", where);
        fclose(f);
    }
    if (!at)
        return;
    if (++hits == strtoul(at, NULL, 10))
        raise(SIGKILL);
}

/* TESSAD_TEST_FREE_BYTES pretends the file system has that much room. */
uint64_t tsd_test_free_space(uint64_t real)
{
    const char *v = getenv("TESSAD_TEST_FREE_BYTES");
    return v ? strtoull(v, NULL, 10) : real;
}
#endif
