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

static int lock_file(int how)
{
    char *p = tsd_path("%s/lock", tsd.sdir);
    if (!p)
        return -ENOMEM;
    int fd = open(p, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    free(p);
    if (fd < 0)
        return -errno;
    while (flock(fd, how) < 0) {
        if (errno != EINTR) {
            int e = errno;
            close(fd);
            return -e;
        }
    }
    return fd;
}

/* Whom to tell, per thread, that a call waits for another operation. */
static __thread box_wait_cb t_wait_cb;
static __thread void *t_wait_user;

void box_set_wait_notice(box_wait_cb cb, void *user)
{
    t_wait_cb = cb;
    t_wait_user = user;
}

int tsd_lock(void)
{
    int fd = lock_file(LOCK_EX | LOCK_NB);
    if (fd != -EWOULDBLOCK)
        return fd;
    /* Another operation of this account runs: say so, then wait for it. */
    if (t_wait_cb)
        t_wait_cb(t_wait_user);
    return lock_file(LOCK_EX);
}

int tsd_try_lock(void)
{
    return lock_file(LOCK_EX | LOCK_NB);
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
        if (moved) {
            /* Nobody walks in there again, not even we ourselves. */
            chmod(dest, 0);
            tsd.stranded++;
        }
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
    if (tsd.discard_now || tsd_tree_is_small(path, 64, 4u << 20))
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

/* ---- locked mount points ---- */

/* An unmounted encrypted box folder refuses writes, its owner's and its
 * sharees' alike: the owner entry loses write, and so does the mask,
 * which caps every named user. Plain text saved there by mistake or by a
 * sharee would lie beside the ciphertext and block the next mount. */
static int set_lock(int fd, int locked)
{
    acl_t a = acl_get_fd(fd);
    if (!a)
        return -errno;
    acl_entry_t e;
    for (int w = ACL_FIRST_ENTRY; acl_get_entry(a, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t ps;
        if (acl_get_tag_type(e, &tag) < 0 || acl_get_permset(e, &ps) < 0)
            continue;
        if (tag == ACL_USER_OBJ) {
            acl_add_perm(ps, ACL_READ);
            acl_add_perm(ps, ACL_EXECUTE);
            if (locked)
                acl_delete_perm(ps, ACL_WRITE);
            else
                acl_add_perm(ps, ACL_WRITE);
        }
        /* Unlocking is for the owner's own mount alone: the mask stays
         * without write, so that no sharee can slip a file under the
         * mount while gocryptfs takes the folder over. */
        if (tag == ACL_MASK && locked)
            acl_delete_perm(ps, ACL_WRITE);
    }
    int rc = acl_set_fd(fd, a) < 0 ? -errno : 0;
    acl_free(a);
    return rc;
}

int tsd_lock_mount_point(int fd)
{
    return set_lock(fd, 1);
}

int tsd_unlock_mount_point(int fd)
{
    return set_lock(fd, 0);
}

/* True when anyone but root could write into the folder. */
static int writable_by_anyone(int fd)
{
    struct stat st;
    if (fstat(fd, &st) < 0)
        return 0;
    /* With an extended ACL the group bits are the mask, which caps every
     * named entry and the owning group. */
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

static void lock_mount_point(const char *box)
{
    int fd = open(box, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && st.st_uid == tsd.uid)
            tsd_lock_mount_point(fd);
        close(fd);
    }
}

/* ---- moving folders ---- */

/* Renames an entry of ours. Moving a folder into another parent rewrites
 * its ".." entry, which takes write access to the folder itself: a
 * folder without it (a locked mount point, a box its owner made
 * read-only) gets its owner's write bit for the move. With `keep_mode`
 * its mode is put back afterwards, at its new place. */
static int move_entry(const char *from, const char *to, int keep_mode)
{
    int fd = open(from, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    int opened = 0;
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_uid == tsd.uid && !(st.st_mode & S_IWUSR))
        opened = fchmod(fd, (st.st_mode & 07777) | S_IWUSR) == 0;
    int rc = renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) < 0 ? -errno : 0;
    if (opened && (rc < 0 || keep_mode))
        fchmod(fd, st.st_mode & 07777);
    if (fd >= 0)
        close(fd);
    if (rc < 0)
        tsd_set_detail("%s: %s", from, strerror(-rc));
    return rc;
}

/* The first entry of a folder, as "<folder>/<entry>", or NULL when it is
 * empty (or unreadable). */
char *tsd_first_entry(const char *dir)
{
    DIR *d = opendir(dir);
    if (!d)
        return NULL;
    char *found = NULL;
    struct dirent *e;
    while (!found && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
            found = tsd_path("%s/%s", dir, e->d_name);
    }
    closedir(d);
    return found;
}

/* ---- recovery ---- */

/* Each finish_* completes the journal's operation, or, when a step fails,
 * undoes what it did so far and returns the step's error: the box is
 * then as before the operation. Only when the undoing fails too does it
 * return HELD, and the operation is set aside (see hold_journal). */
enum { HELD = 1 };

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
    if (!tsd_exists(cipher) && (rc = move_entry(staged, cipher, 1)) < 0)
        goto out; /* the staged copy goes with the work folder */
    TSD_CRASH_POINT("encrypt-committed");
    /* The plain files still in the box folder move out of the way; the
     * folder is then an empty mount point. */
    if (tsd_exists(box) && tsd_dir_empty(box) == 0) {
        if ((rc = move_entry(box, old, 0)) < 0) {
            /* Back to plain: the box folder still holds every file. */
            if (move_entry(cipher, staged, 1) < 0)
                rc = HELD;
            goto out;
        }
        TSD_CRASH_POINT("encrypt-moved-plain");
    }
    if (!tsd_exists(box)) {
        if (mkdir(box, 0700) < 0) {
            rc = -errno;
            tsd_set_detail("%s: %s", box, strerror(errno));
            if (!tsd_exists(old) || move_entry(old, box, 1) < 0 || move_entry(cipher, staged, 1) < 0)
                rc = HELD;
            goto out;
        }
        tsd_acl_copy_named(cipher, box, 1);
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
        /* rename() replaces the empty mount point in one step. Anything
         * in it keeps the box encrypted (the copy goes with the work
         * folder), and is named in the detail. */
        if (tsd_exists(box) && tsd_dir_empty(box) != 1) {
            char *first = tsd_first_entry(box);
            tsd_set_detail("%s", first ? first : box);
            free(first);
            rc = -TSD_E_STRAY;
            goto out;
        }
        /* Moving a folder rewrites its ".." entry and with it its times;
         * put back those the copy gave it. */
        struct stat st;
        int have_times = stat(staged, &st) == 0;
        int fd = open(staged, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int opened = fd >= 0 && have_times && !(st.st_mode & S_IWUSR) &&
                     fchmod(fd, (st.st_mode & 07777) | S_IWUSR) == 0;
        if (rename(staged, box) < 0) {
            rc = -errno;
            tsd_set_detail("%s: %s", box, strerror(errno));
            if (opened)
                fchmod(fd, st.st_mode & 07777);
            if (fd >= 0)
                close(fd);
            goto out; /* still encrypted */
        }
        if (opened)
            fchmod(fd, st.st_mode & 07777);
        if (fd >= 0)
            close(fd);
        if (have_times) {
            struct timespec ts[2] = { st.st_atim, st.st_mtim };
            utimensat(AT_FDCWD, box, ts, 0);
        }
        TSD_CRASH_POINT("decrypt-committed");
    }
    if (tsd_exists(cipher) && (rc = move_entry(cipher, trash, 0)) < 0)
        rc = HELD; /* plain files in place, the ciphertext still beside them */
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
        if (tsd_exists(cipher))
            rc = move_entry(cipher, t1, 0);
        TSD_CRASH_POINT("delete-cipher-gone");
        if (rc == 0 && tsd_exists(box) && (rc = move_entry(box, t2, 0)) < 0) {
            /* The box stays as it was, encrypted if it was. */
            if (tsd_exists(t1) && move_entry(t1, cipher, 0) < 0)
                rc = HELD;
        }
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
            if ((rc = move_entry(c1, c2, 1)) == 0) {
                struct timespec ts[2] = { st.st_atim, st.st_mtim };
                utimensat(AT_FDCWD, c2, ts, 0);
            }
        }
        TSD_CRASH_POINT("rename-cipher-moved");
        if (rc == 0 && tsd_exists(b1) && (rc = move_entry(b1, b2, 1)) < 0) {
            if (tsd_exists(c2) && move_entry(c2, c1, 1) < 0)
                rc = HELD;
        }
    }
    free(c1);
    free(c2);
    free(b1);
    free(b2);
    return rc;
}

static int run_journal(const struct journal *j)
{
    if (strcmp(j->op, "encrypt") == 0)
        return finish_encrypt(j);
    if (strcmp(j->op, "decrypt") == 0)
        return finish_decrypt(j);
    if (strcmp(j->op, "delete") == 0)
        return finish_delete(j);
    if (strcmp(j->op, "rename") == 0)
        return finish_rename(j);
    return HELD; /* not ours to interpret: keep it, touch nothing */
}

/* Sets an operation that can be neither finished nor undone aside, with
 * its work folder, in <state>/held/<n>/: its box counts as damaged (the
 * calls on it say so) while every other box and call keeps working. Each
 * box_init, and each call on that box, tries it again. */
static int hold_journal(void)
{
    char *held = tsd_path("%s/held", tsd.sdir);
    char *j = tsd_path("%s/journal", tsd.sdir);
    char *work = tsd_path("%s/work", tsd.sdir);
    char *dir = NULL, *jdest = NULL, *wdest = NULL;
    int rc = held && j && work ? tsd_mkdir_p(held, 0700) : -ENOMEM;
    for (unsigned n = 0; rc == 0 && n < 10000; n++) {
        free(dir);
        dir = tsd_path("%s/%u", held, n);
        if (!dir) {
            rc = -ENOMEM;
        } else if (mkdir(dir, 0700) == 0) {
            break;
        } else if (errno != EEXIST) {
            rc = -errno;
        }
    }
    if (rc == 0 && dir) {
        jdest = tsd_path("%s/journal", dir);
        wdest = tsd_path("%s/work", dir);
        if (!jdest || !wdest)
            rc = -ENOMEM;
        else if (tsd_exists(work) && rename(work, wdest) < 0)
            rc = -errno;
        else if (rename(j, jdest) < 0)
            rc = -errno;
    }
    if (rc == 0)
        tsd_fsync_dir(tsd.sdir);
    free(held);
    free(j);
    free(work);
    free(dir);
    free(jdest);
    free(wdest);
    return rc;
}

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
    if (rc < 0) {
        /* The operation itself is complete; leftovers that cannot be
         * removed now (files a sharee made, a busy mount) are set aside so
         * that the next operation finds a clean work folder. */
        char *junk = tsd_path("%s/junk.%ld", tsd.sdir, (long)time(NULL));
        rc = (junk && rename(work, junk) == 0) ? 0 : -TSD_E_RECOVERY;
        free(junk);
    }
    free(work);
    return rc;
}

/* Finishes or undoes the journal's operation and clears the work folder.
 * Returns the operation's result: 0, the error of the step that failed
 * (the operation undone), or -TSD_E_DAMAGED (set aside). */
static int recover_journal(void)
{
    struct journal j;
    int have = journal_read(&j);
    int rc = 0;
    if (have < 0) {
        /* A journal we cannot read: set it aside rather than guess. */
        tsd_set_detail("unreadable journal in %s", tsd.sdir);
        return hold_journal() == 0 ? -TSD_E_DAMAGED : -TSD_E_RECOVERY;
    }
    if (have) {
        rc = run_journal(&j);
        if (rc == HELD || rc == -ENOMEM) {
            tsd_set_detail("%s/%s", tsd.udir, j.name);
            return hold_journal() == 0 ? -TSD_E_DAMAGED : -TSD_E_RECOVERY;
        }
        tsd_journal_clear();
        if (strcmp(j.op, "delete") == 0 || strcmp(j.op, "rename") == 0)
            tsd_rebuild_share_index();
    }
    int crc = clear_work();
    return rc < 0 ? rc : crc;
}

/* Takes a held operation back as the current one and tries it again.
 * Returns 0 when it is done (or undone), else -TSD_E_DAMAGED. */
static int retry_held(const char *dir)
{
    char *j = tsd_path("%s/journal", tsd.sdir);
    char *work = tsd_path("%s/work", tsd.sdir);
    char *hj = tsd_path("%s/journal", dir);
    char *hw = tsd_path("%s/work", dir);
    int rc = -TSD_E_DAMAGED;
    if (j && work && hj && hw && !tsd_exists(j) && !tsd_exists(work) &&
        (!tsd_exists(hw) || rename(hw, work) == 0) && rename(hj, j) == 0) {
        rmdir(dir);
        int r = recover_journal();
        rc = r == -TSD_E_DAMAGED || r == -TSD_E_RECOVERY ? -TSD_E_DAMAGED : 0;
    }
    free(j);
    free(work);
    free(hj);
    free(hw);
    return rc;
}

/* Tries the held operations again: all of them, or with `name` those on
 * that box. Returns -TSD_E_DAMAGED when one on `name` is still held. */
int tsd_retry_held(const char *name)
{
    char *held = tsd_path("%s/held", tsd.sdir);
    if (!held)
        return -ENOMEM;
    struct stat st;
    if (lstat(held, &st) < 0) {
        free(held);
        return 0; /* the usual case: nothing held */
    }
    int rc = 0;
    DIR *d = opendir(held);
    struct dirent *e;
    while (d && (e = readdir(d))) {
        if (e->d_name[0] == '.')
            continue;
        char *dir = tsd_path("%s/%s", held, e->d_name);
        char *hj = dir ? tsd_path("%s/journal", dir) : NULL;
        int concerns = 1;
        if (name && hj) {
            FILE *f = fopen(hj, "re");
            concerns = 0;
            if (f) {
                char line[1100];
                for (int n = 0; n < 3 && fgets(line, sizeof line, f); n++) {
                    line[strcspn(line, "\n")] = 0;
                    if (n > 0 && strcmp(line, name) == 0)
                        concerns = 1;
                }
                fclose(f);
            }
        }
        if (dir && concerns && retry_held(dir) < 0 && name) {
            tsd_set_detail("%s/%s", tsd.udir, name);
            rc = -TSD_E_DAMAGED;
        }
        free(dir);
        free(hj);
    }
    if (d)
        closedir(d);
    rmdir(held); /* once empty */
    free(held);
    return rc;
}

int tsd_recover(int mode)
{
    int rc = recover_journal();
    if (mode == TSD_RECOVER_COMMIT)
        return rc;
    /* A leftover of an earlier call that failed concerns its own box
     * alone (set aside as damaged when it must be); this call goes on. */
    if (mode == TSD_RECOVER_INIT) {
        /* The journal's own temporary file, should a kill have left it. */
        char *journal_tmp = tsd_path("%s/journal.tmp", tsd.sdir);
        if (journal_tmp)
            unlink(journal_tmp);
        free(journal_tmp);
        tsd_retry_held(NULL);
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
            /* A password change that failed (a full disk, a kill) leaves
             * gocryptfs' new config half written; gocryptfs would refuse
             * every later change while it is there. */
            char *conf_tmp = tsd_path("%s/%s/gocryptfs.conf.tmp", cdir, e->d_name);
            if (conf_tmp)
                unlink(conf_tmp);
            free(conf_tmp);
            char *box = tsd_path("%s/%s", tsd.udir, e->d_name);
            int fd = box ? open(box, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
            if (fd >= 0 && writable_by_anyone(fd) && tsd_mount_state_now(box, NULL) == TSD_MNT_NONE)
                tsd_lock_mount_point(fd);
            if (fd >= 0)
                close(fd);
            free(box);
        }
        if (d)
            closedir(d);
        free(cdir);
    }
    return rc == -ENOMEM ? rc : 0;
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

/* Recipients cannot watch the shares folder (they may pass it, not read
 * it), so a change of our shares is announced where everyone can see it:
 * the user folder's attributes, in the listable box root. Its times are set
 * to what they are, so only its change time moves. */
static void announce_share_change(void)
{
    struct stat st;
    if (stat(tsd.udir, &st) < 0)
        return;
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    utimensat(AT_FDCWD, tsd.udir, times, 0);
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
    announce_share_change();
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
