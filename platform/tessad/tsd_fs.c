/* File tree work: copying with all metadata, removal, sizes and ACLs.
 *
 * A box tree is not ours alone: a read-write sharee can rename, replace
 * and create entries in it while we work, and swap a folder for a symlink
 * to somewhere else between two of our calls. So every walk here goes by
 * descriptors: each entry is opened by its one name relative to the
 * descriptor of the folder it is in, never through a symlink, checked
 * with fstat, and then read or changed only through that descriptor (or
 * through /proc/self/fd/N, which names exactly the inode we opened and
 * cannot be redirected). A swapped entry makes an open fail or yields the
 * symlink itself, which is never followed and never changed. Nothing
 * outside the tree can be reached. */
#define _GNU_SOURCE
#include "tsd_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/acl.h>
#include <acl/libacl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

/* ---- opening without following ---- */

static int g_no_openat2;

int tsd_open_at(int dirfd, const char *name, int flags)
{
    flags |= O_NOFOLLOW | O_CLOEXEC;
#ifdef SYS_openat2
    if (!g_no_openat2) {
        /* No symlink anywhere in the name, and below `dirfd` (a name from
         * a folder listing has one component, so this is the same rule as
         * O_NOFOLLOW; for a whole path it refuses symlinks on the way). */
        struct open_how how = { .flags = (uint64_t)flags,
                                .resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS };
        if (dirfd != AT_FDCWD)
            how.resolve |= RESOLVE_BENEATH;
        long fd = syscall(SYS_openat2, dirfd, name, &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS)
            return (int)fd;
        g_no_openat2 = 1; /* an older kernel: the descriptor walk alone */
    }
#endif
    return openat(dirfd, name, flags);
}

/* The /proc name of an open descriptor: the inode it holds, for the calls
 * that have no descriptor form (chmod of an O_PATH descriptor, default
 * ACLs, access checks). */
#define FD_PATH_LEN 32
static const char *fd_path(char *buf, int fd)
{
    snprintf(buf, FD_PATH_LEN, "/proc/self/fd/%d", fd);
    return buf;
}

/* A folder opened for listing through its O_PATH descriptor: "." cannot
 * be a symlink, so this is the very folder that was checked. */
static int list_fd(int pathfd)
{
    return openat(pathfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

/* Gives a folder of ours the owner access that listing and emptying it
 * take, through its descriptor. */
static void open_up_dir(int pathfd, const struct stat *st)
{
    char fp[FD_PATH_LEN];
    if (st->st_uid == geteuid() && (st->st_mode & 0700) != 0700)
        chmod(fd_path(fp, pathfd), (st->st_mode & 07777) | 0700);
}

/* ---- walking ---- */

/* A walk calls `visit` for every entry of a tree, the top first, each
 * with an O_PATH descriptor of the entry itself (a symlink stays a
 * symlink) and its fstat. `visit` returns 0 to go on, anything else to
 * stop the walk with that value; it sets `skip` to keep the walk out of a
 * folder. The walk never leaves the top's file system, and folders it
 * cannot list are passed over (a visitor that minds checks access). */
struct walk {
    int (*visit)(struct walk *w, int fd, const struct stat *st);
    int skip;
    int depth;
    dev_t dev;
    const char *top;
    char rel[PATH_MAX]; /* the entry's path below the top */
    size_t len;
    /* for the visitors */
    uid_t uid;
    int perm;
    int err;
    int for_copy;
    uint64_t bytes, entries, max_bytes, max_entries;
};

static int walk_dir(struct walk *w, int pathfd);

static int walk_entry(struct walk *w, int dirfd, const char *name)
{
    size_t old = w->len, n = strlen(name);
    if (old + n + 2 > sizeof w->rel)
        return -ENAMETOOLONG;
    if (old)
        w->rel[w->len++] = '/';
    memcpy(w->rel + w->len, name, n + 1);
    w->len += n;
    int rc = 0;
    int fd = tsd_open_at(dirfd, name, O_PATH);
    struct stat st;
    if (fd < 0) {
        rc = errno == ENOENT ? 0 : -errno; /* gone meanwhile: nothing to do */
    } else if (fstat(fd, &st) < 0) {
        rc = -errno;
    } else {
        w->skip = 0;
        rc = w->visit(w, fd, &st);
        if (rc == 0 && S_ISDIR(st.st_mode) && !w->skip) {
            w->depth++;
            rc = walk_dir(w, fd);
            w->depth--;
        }
    }
    if (fd >= 0)
        close(fd);
    w->len = old;
    w->rel[old] = 0;
    return rc;
}

static int walk_dir(struct walk *w, int pathfd)
{
    struct stat st;
    if (fstat(pathfd, &st) < 0)
        return -errno;
    if (st.st_dev != w->dev)
        return 0; /* a mount inside the tree is never entered */
    int lfd = list_fd(pathfd);
    DIR *d = lfd >= 0 ? fdopendir(lfd) : NULL;
    if (!d) {
        if (lfd >= 0)
            close(lfd);
        return 0;
    }
    int rc = 0;
    struct dirent *e;
    while (rc == 0 && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        rc = walk_entry(w, lfd, e->d_name);
    }
    closedir(d);
    return rc;
}

/* Walks the tree at `path` (the top itself is never a followed symlink). */
static int walk_tree(struct walk *w, const char *path)
{
    int fd = tsd_open_at(AT_FDCWD, path, O_PATH);
    if (fd < 0)
        return -errno;
    struct stat st;
    int rc = fstat(fd, &st) < 0 ? -errno : 0;
    if (rc == 0) {
        w->dev = st.st_dev;
        w->top = path;
        w->rel[0] = 0;
        w->len = 0;
        w->depth = 0;
        w->skip = 0;
        rc = w->visit(w, fd, &st);
        w->depth = 1;
        if (rc == 0 && S_ISDIR(st.st_mode) && !w->skip)
            rc = walk_dir(w, fd);
    }
    close(fd);
    return rc;
}

/* The size of one FUSE request (gocryptfs' max_read and max_write): with
 * sequential read-ahead the kernel fetches the next piece while we write
 * this one, where larger reads wait for each whole piece and copy out of
 * a mount at half the speed. */
#define COPY_BUF (128 * 1024)

/* ---- copying ---- */

struct copier {
    char *buf;
    char *names;
    size_t names_cap;
    char *val;
    size_t val_cap;
    int as_root;
};

/* Extended attributes we carry over: user attributes and POSIX ACLs.
 * Security and trusted attributes belong to the system, not to the box. */
static int wanted_xattr(const char *name)
{
    return strncmp(name, "user.", 5) == 0 ||
           strcmp(name, "system.posix_acl_access") == 0 ||
           strcmp(name, "system.posix_acl_default") == 0;
}

static int copy_xattrs(struct copier *c, int sfd, int dfd)
{
    ssize_t n;
    for (;;) {
        n = flistxattr(sfd, c->names, c->names_cap);
        if (n >= 0)
            break;
        if (errno == ENOTSUP)
            return 0;
        if (errno != ERANGE)
            return -errno;
        ssize_t need = flistxattr(sfd, NULL, 0);
        if (need < 0)
            return -errno;
        char *nb = realloc(c->names, (size_t)need + 64);
        if (!nb)
            return -ENOMEM;
        c->names = nb;
        c->names_cap = (size_t)need + 64;
    }
    for (ssize_t off = 0; off < n; off += (ssize_t)strlen(c->names + off) + 1) {
        const char *name = c->names + off;
        if (!wanted_xattr(name))
            continue;
        ssize_t v;
        for (;;) {
            v = fgetxattr(sfd, name, c->val, c->val_cap);
            if (v >= 0)
                break;
            if (errno == ENODATA)
                break;
            if (errno != ERANGE)
                return -errno;
            ssize_t need = fgetxattr(sfd, name, NULL, 0);
            if (need < 0)
                return -errno;
            char *nb = realloc(c->val, (size_t)need + 64);
            if (!nb)
                return -ENOMEM;
            c->val = nb;
            c->val_cap = (size_t)need + 64;
        }
        if (v < 0)
            continue;
        if (fsetxattr(dfd, name, c->val, (size_t)v, 0) < 0)
            return -errno;
    }
    return 0;
}

/* Ownership (only when running as root), mode, attributes, then times:
 * the order matters, as a change of owner clears the set-id bits, setting
 * an ACL changes the mode's group bits and every change touches ctime
 * only. `have` is what the new file already has (as created), or NULL
 * when unknown: each change it makes unnecessary is skipped, as every one
 * is a round trip through the FUSE mount. */
static int copy_meta(struct copier *c, int sfd, int dfd, const struct stat *st,
                     const struct stat *have)
{
    int chowned = 0;
    if (c->as_root && (!have || have->st_uid != st->st_uid || have->st_gid != st->st_gid)) {
        if (fchown(dfd, st->st_uid, st->st_gid) < 0)
            return -errno;
        chowned = 1;
    }
    if ((!have || chowned || (have->st_mode & 07777) != (st->st_mode & 07777)) &&
        fchmod(dfd, st->st_mode & 07777) < 0)
        return -errno;
    int rc = copy_xattrs(c, sfd, dfd);
    if (rc < 0)
        return rc;
    struct timespec ts[2] = { st->st_atim, st->st_mtim };
    if (futimens(dfd, ts) < 0)
        return -errno;
    return 0;
}

static int copy_data(struct copier *c, int sfd, int dfd)
{
    posix_fadvise(sfd, 0, 0, POSIX_FADV_SEQUENTIAL);
    for (;;) {
        ssize_t r = read(sfd, c->buf, COPY_BUF);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (r == 0)
            return 0;
        for (ssize_t off = 0; off < r;) {
            ssize_t w = write(dfd, c->buf + off, (size_t)(r - off));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return -errno;
            }
            off += w;
        }
        tsd_progress_add((uint64_t)r);
    }
}

static int copy_dir(struct copier *c, int sfd, int dfd, dev_t dev);

/* The source is opened first, by descriptor, and its type read from what
 * was opened: what a sharee swaps in meanwhile is copied as what it is
 * (a symlink as a symlink, a FIFO as a FIFO), never followed, never
 * opened for reading unless it is a regular file or a folder. */
static int copy_entry(struct copier *c, int sdir, int ddir, const char *name,
                      dev_t dev)
{
    int src = tsd_open_at(sdir, name, O_PATH);
    if (src < 0)
        return errno == ENOENT ? 0 : -errno; /* removed meanwhile by a sharee */
    struct stat st;
    if (fstat(src, &st) < 0) {
        int e = errno;
        close(src);
        return -e;
    }
    int rc = 0;
    char fp[FD_PATH_LEN];
    TSD_CRASH_POINT("copy-entry");
    if (S_ISDIR(st.st_mode)) {
        int s = -1, d = -1;
        if (st.st_dev != dev)
            rc = -TSD_E_FILETYPE; /* something mounted inside the box */
        else if ((s = list_fd(src)) < 0)
            rc = -errno;
        else if (mkdirat(ddir, name, 0700) < 0)
            rc = -errno;
        else if ((d = tsd_open_at(ddir, name, O_RDONLY | O_DIRECTORY)) < 0)
            rc = -errno;
        if (rc == 0)
            rc = copy_dir(c, s, d, dev);
        if (rc == 0)
            rc = copy_meta(c, s, d, &st, NULL);
        if (s >= 0)
            close(s);
        if (d >= 0)
            close(d);
    } else if (S_ISREG(st.st_mode)) {
        /* Reopened for reading through /proc: the same inode, whatever
         * the name points at by now. */
        int s = open(fd_path(fp, src), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        if (s < 0) {
            rc = -errno;
            close(src);
            return rc;
        }
        /* Created with its final permission bits where the umask allows
         * (so that no chmod follows), but never without our own read and
         * write access while the data goes in. */
        int d = openat(ddir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       (st.st_mode & 0777) | 0600);
        if (d < 0) {
            rc = -errno;
            close(s);
            close(src);
            return rc;
        }
        struct stat have;
        int known = fstat(d, &have) == 0;
        rc = copy_data(c, s, d);
        if (rc == 0)
            rc = copy_meta(c, s, d, &st, known ? &have : NULL);
        close(s);
        if (close(d) < 0 && rc == 0)
            rc = -errno;
    } else if (S_ISLNK(st.st_mode)) {
        char target[PATH_MAX + 1];
        ssize_t n = readlinkat(src, "", target, PATH_MAX);
        if (n < 0) {
            rc = -errno;
        } else {
            target[n] = 0;
            struct timespec ts[2] = { st.st_atim, st.st_mtim };
            if (symlinkat(target, ddir, name) < 0)
                rc = -errno;
            else if (c->as_root && fchownat(ddir, name, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) < 0)
                rc = -errno;
            else if (utimensat(ddir, name, ts, AT_SYMLINK_NOFOLLOW) < 0)
                rc = -errno;
        }
    } else if (S_ISFIFO(st.st_mode)) {
        int d = -1;
        if (mkfifoat(ddir, name, 0600) < 0)
            rc = -errno;
        else if ((d = openat(ddir, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)) < 0)
            rc = -errno;
        if (rc == 0 && c->as_root && fchown(d, st.st_uid, st.st_gid) < 0)
            rc = -errno;
        if (rc == 0 && fchmod(d, st.st_mode & 07777) < 0)
            rc = -errno;
        struct timespec ts[2] = { st.st_atim, st.st_mtim };
        if (rc == 0 && futimens(d, ts) < 0)
            rc = -errno;
        if (d >= 0)
            close(d);
    } else {
        rc = -TSD_E_FILETYPE;
    }
    close(src);
    return rc;
}

static int copy_dir(struct copier *c, int sfd, int dfd, dev_t dev)
{
    int dup_fd = dup(sfd);
    if (dup_fd < 0)
        return -errno;
    DIR *d = fdopendir(dup_fd);
    if (!d) {
        int e = errno;
        close(dup_fd);
        return -e;
    }
    int rc = 0;
    struct dirent *e;
    errno = 0;
    while (rc == 0 && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        rc = copy_entry(c, sfd, dfd, e->d_name, dev);
        errno = 0;
    }
    if (rc == 0 && errno)
        rc = -errno;
    closedir(d);
    return rc;
}

int tsd_copy_tree(const char *src, const char *dst)
{
    struct copier c = { 0 };
    c.as_root = geteuid() == 0;
    c.buf = malloc(COPY_BUF);
    /* A zero-sized buffer would make the attribute calls report sizes. */
    c.names_cap = c.val_cap = 4096;
    c.names = malloc(c.names_cap);
    c.val = malloc(c.val_cap);
    if (!c.buf || !c.names || !c.val) {
        free(c.buf);
        free(c.names);
        free(c.val);
        return -ENOMEM;
    }
    int rc = 0;
    int s = tsd_open_at(AT_FDCWD, src, O_RDONLY | O_DIRECTORY);
    int d = tsd_open_at(AT_FDCWD, dst, O_RDONLY | O_DIRECTORY);
    struct stat st;
    if (s < 0 || d < 0 || fstat(s, &st) < 0)
        rc = -errno;
    if (rc == 0)
        rc = copy_dir(&c, s, d, st.st_dev);
    if (rc == 0)
        rc = copy_meta(&c, s, d, &st, NULL);
    if (rc == 0 && fsync(d) < 0 && errno != EINVAL && errno != ENOSYS)
        rc = -errno;
    if (s >= 0)
        close(s);
    if (d >= 0)
        close(d);
    free(c.buf);
    free(c.names);
    free(c.val);
    return rc;
}

/* ---- removal ---- */

struct remover {
    dev_t dev;
    uid_t uid;
};

static int remove_contents(struct remover *r, int fd, int ours);

/* Opens the folder `name` for emptying: a folder of ours that we may not
 * list is opened up first, through its own descriptor. Returns -1 with
 * errno set; ENOTDIR or ELOOP when the name is no folder (any more). */
static int open_for_removal(int dirfd, const char *name, struct stat *st)
{
    int fd = tsd_open_at(dirfd, name, O_RDONLY | O_DIRECTORY);
    if (fd < 0 && errno == EACCES) {
        int pfd = tsd_open_at(dirfd, name, O_PATH | O_DIRECTORY);
        if (pfd < 0)
            return -1;
        if (fstat(pfd, st) == 0) {
            open_up_dir(pfd, st);
            fd = list_fd(pfd);
        }
        int e = errno;
        close(pfd);
        errno = e;
    }
    if (fd >= 0 && fstat(fd, st) < 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

/* Removes one entry of the folder `dirfd` (ours when `ours`). unlink never
 * follows a symlink; a folder is opened without following, emptied
 * through its descriptor and removed. A sharee who swaps the name between
 * a folder and something else meanwhile only makes us look again. What we
 * may not remove (entries in another account's folder that does not let
 * us delete) gives -TSD_E_FOREIGN, after everything else is gone. */
static int remove_entry(struct remover *r, int dirfd, int ours, const char *name)
{
    for (int tries = 0; tries < 8; tries++) {
        if (unlinkat(dirfd, name, 0) == 0 || errno == ENOENT)
            return 0;
        if (errno != EISDIR)
            return (errno == EACCES || errno == EPERM) && !ours ? -TSD_E_FOREIGN : -errno;
        struct stat st;
        int sub = open_for_removal(dirfd, name, &st);
        if (sub < 0) {
            if (errno == ENOENT)
                return 0;
            if (errno == ENOTDIR || errno == ELOOP)
                continue; /* swapped for a file or symlink: unlink that */
            return errno == EACCES || errno == EPERM ? -TSD_E_FOREIGN : -errno;
        }
        /* Never remove through a mount (a box's FUSE mount left in the
         * tree must not be emptied). */
        if (st.st_dev != r->dev) {
            close(sub);
            return -TSD_E_MOUNTED;
        }
        /* A folder of ours is closed to everyone else first: a sharee who
         * kept a descriptor of it could otherwise go on filling it while
         * we empty it. */
        int sub_ours = st.st_uid == r->uid;
        if (sub_ours) {
            fremovexattr(sub, "system.posix_acl_access");
            fchmod(sub, 0700);
        }
        int rc = remove_contents(r, sub, sub_ours || r->uid == 0);
        close(sub);
        if (rc < 0 && rc != -TSD_E_FOREIGN)
            return rc;
        if (unlinkat(dirfd, name, AT_REMOVEDIR) == 0 || errno == ENOENT)
            return rc;
        if (errno == ENOTDIR)
            continue;
        if (rc == -TSD_E_FOREIGN)
            return rc;
        if (errno == EACCES || errno == EPERM)
            return ours ? -errno : -TSD_E_FOREIGN;
        if (errno != ENOTEMPTY && errno != EEXIST)
            return -errno;
        /* Filled again meanwhile (through a descriptor a sharee kept
         * open): empty it once more. */
    }
    return -TSD_E_FOREIGN;
}

static int remove_contents(struct remover *r, int fd, int ours)
{
    int dup_fd = dup(fd);
    DIR *d = dup_fd >= 0 ? fdopendir(dup_fd) : NULL;
    if (!d) {
        int e = errno;
        if (dup_fd >= 0)
            close(dup_fd);
        return -e;
    }
    int rc = 0;
    struct dirent *e;
    while ((e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        /* Entries that vanish meanwhile are fine: a background remover
         * may be working on the same tree. */
        int r2 = remove_entry(r, fd, ours, e->d_name);
        if (r2 == -TSD_E_FOREIGN) {
            rc = r2; /* go on: remove all that we can */
        } else if (r2 < 0) {
            rc = r2;
            break;
        }
    }
    closedir(d);
    return rc;
}

/* Splits a path into its folder, opened without following, and its last
 * name (pointing into `path`). */
static int open_parent(const char *path, const char **base)
{
    const char *slash = strrchr(path, '/');
    if (!slash || !slash[1]) {
        errno = EINVAL;
        return -1;
    }
    *base = slash + 1;
    char *p = strndup(path, (size_t)(slash - path) + (slash == path));
    if (!p)
        return -1;
    int fd = tsd_open_at(AT_FDCWD, p, O_RDONLY | O_DIRECTORY);
    free(p);
    return fd;
}

int tsd_remove_tree(const char *path)
{
    const char *base;
    int pfd = open_parent(path, &base);
    if (pfd < 0)
        return errno == ENOENT ? 0 : -errno;
    struct stat st;
    int rc = fstat(pfd, &st) < 0 ? -errno : 0;
    if (rc == 0) {
        struct remover r = { .dev = st.st_dev, .uid = geteuid() };
        rc = remove_entry(&r, pfd, st.st_uid == r.uid || r.uid == 0, base);
    }
    close(pfd);
    return rc;
}

/* Gives every folder of ours in the tree the owner access that removing
 * its entries takes (a box may hold read-only folders) and closes it to
 * everyone else (a sharee who kept a descriptor of it could go on filling
 * it), through each folder's own descriptor and without leaving the file
 * system. Best effort: what fails here fails again, and is reported, when
 * the tree is removed. */
static int removable_visit(struct walk *w, int fd, const struct stat *st)
{
    (void)w;
    char fp[FD_PATH_LEN];
    if (S_ISDIR(st->st_mode) && st->st_uid == geteuid()) {
        removexattr(fd_path(fp, fd), "system.posix_acl_access");
        chmod(fp, 0700);
    }
    return 0;
}

void tsd_make_removable(const char *path)
{
    struct walk w = { .visit = removable_visit };
    walk_tree(&w, path);
}

/* ---- sizes ---- */

/* Counts entries and bytes below the top until either passes its limit. */
static int small_visit(struct walk *w, int fd, const struct stat *st)
{
    (void)fd;
    if (w->len == 0)
        return 0; /* the top itself */
    w->bytes += (uint64_t)st->st_blocks * 512;
    if (++w->entries > w->max_entries || w->bytes > w->max_bytes)
        return 1;
    return S_ISDIR(st->st_mode) && w->depth >= 16 ? 1 : 0;
}

int tsd_tree_is_small(const char *path, int max_entries, uint64_t max_bytes)
{
    struct stat st;
    if (lstat(path, &st) < 0 || !S_ISDIR(st.st_mode))
        return 1; /* nothing, or one entry */
    struct walk w = { .visit = small_visit, .max_entries = (uint64_t)max_entries,
                      .max_bytes = max_bytes };
    return walk_tree(&w, path) == 0;
}

static int size_visit(struct walk *w, int fd, const struct stat *st)
{
    (void)fd;
    w->entries++;
    /* Whole blocks, plus gocryptfs' per-block overhead of 32 bytes per
     * 4 KiB and a file header. */
    uint64_t sz = (uint64_t)st->st_size;
    sz += sz / 128 + 64;
    w->bytes += (sz + 4095) & ~(uint64_t)4095;
    return 0;
}

int tsd_tree_size(const char *path, uint64_t *bytes, uint64_t *entries)
{
    struct walk w = { .visit = size_visit };
    int rc = walk_tree(&w, path);
    if (rc < 0)
        return rc;
    *bytes = w.bytes;
    *entries = w.entries;
    return 0;
}

/* ---- entries of other accounts ---- */

static int access_fd(int fd, int mode)
{
    char fp[FD_PATH_LEN];
    return faccessat(AT_FDCWD, fd_path(fp, fd), mode, AT_EACCESS) == 0;
}

static int blocked(struct walk *w, int code)
{
    tsd_set_detail("%s%s%s", w->top, w->len ? "/" : "", w->rel);
    return code;
}

static int check_visit(struct walk *w, int fd, const struct stat *st)
{
    int mine = st->st_uid == w->uid || w->uid == 0;
    if (w->for_copy && (S_ISSOCK(st->st_mode) || S_ISCHR(st->st_mode) || S_ISBLK(st->st_mode)))
        return blocked(w, -TSD_E_FILETYPE);
    if (S_ISDIR(st->st_mode) && st->st_dev != w->dev)
        return blocked(w, -TSD_E_BUSY); /* something mounted inside */
    if (w->uid == 0 || S_ISLNK(st->st_mode))
        return 0;
    /* Copying reads every file and folder. Our own we could open up, but
     * the copy does not change the source, so say which it is. */
    if (w->for_copy && (S_ISREG(st->st_mode) || S_ISDIR(st->st_mode)) &&
        !access_fd(fd, S_ISDIR(st->st_mode) ? R_OK | X_OK : R_OK))
        return blocked(w, mine ? -EACCES : -TSD_E_FOREIGN);
    if (!S_ISDIR(st->st_mode) || mine)
        return 0;
    /* Another account's folder: removing what it holds takes read, write
     * and search access to it, which only its owner can give. An empty one
     * is removed through its parent. */
    if (access_fd(fd, R_OK | W_OK | X_OK))
        return 0;
    int lfd = list_fd(fd);
    DIR *d = lfd >= 0 ? fdopendir(lfd) : NULL;
    int empty = d != NULL;
    struct dirent *e;
    while (d && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) {
            empty = 0;
            break;
        }
    }
    if (d)
        closedir(d);
    else if (lfd >= 0)
        close(lfd);
    w->skip = 1;
    return empty ? 0 : blocked(w, -TSD_E_FOREIGN);
}

int tsd_check_tree(const char *path, int for_copy)
{
    struct walk w = { .visit = check_visit, .uid = geteuid(), .for_copy = for_copy };
    int rc = walk_tree(&w, path);
    return rc == -ENOENT && w.len == 0 ? 0 : rc;
}

int tsd_dir_empty(const char *path)
{
    DIR *d = opendir(path);
    if (!d)
        return -errno;
    struct dirent *e;
    int empty = 1;
    while ((e = readdir(d))) {
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) {
            empty = 0;
            break;
        }
    }
    closedir(d);
    return empty;
}

int tsd_mkdir_p(const char *path, mode_t mode)
{
    if (mkdir(path, mode) == 0) {
        chmod(path, mode); /* the umask must not narrow it */
        return 0;
    }
    if (errno != EEXIST)
        return -errno;
    struct stat st;
    if (lstat(path, &st) < 0)
        return -errno;
    return S_ISDIR(st.st_mode) ? 0 : -ENOTDIR;
}

int tsd_fsync_dir(const char *path)
{
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    int rc = fsync(fd) < 0 ? -errno : 0;
    close(fd);
    return rc;
}

int tsd_write_file_atomic(const char *path, const char *data, size_t len, mode_t mode)
{
    char *tmp = tsd_path("%s.tmp", path);
    if (!tmp)
        return -ENOMEM;
    int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    int rc = 0;
    if (fd < 0) {
        rc = -errno;
    } else {
        size_t off = 0;
        while (off < len) {
            ssize_t w = write(fd, data + off, len - off);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                rc = -errno;
                break;
            }
            off += (size_t)w;
        }
        if (rc == 0 && fchmod(fd, mode) < 0)
            rc = -errno;
        if (rc == 0 && fsync(fd) < 0)
            rc = -errno;
        close(fd);
        if (rc == 0 && rename(tmp, path) < 0)
            rc = -errno;
        if (rc < 0)
            unlink(tmp);
    }
    free(tmp);
    return rc;
}

/* ---- ACLs ---- */

#define XATTR_ACL_VERSION 2
#define XTAG_USER 0x02

int tsd_acl_scan(const char *path, int *named, uid_t uid, int *perm)
{
    unsigned char stackbuf[1024];
    unsigned char *buf = stackbuf;
    ssize_t n = lgetxattr(path, "system.posix_acl_access", buf, sizeof stackbuf);
    if (n < 0 && errno == ERANGE) {
        ssize_t need = lgetxattr(path, "system.posix_acl_access", NULL, 0);
        if (need > 0 && (buf = malloc((size_t)need)))
            n = lgetxattr(path, "system.posix_acl_access", buf, (size_t)need);
    }
    *named = 0;
    if (perm)
        *perm = 0;
    if (n < 0) {
        int e = errno;
        if (buf != stackbuf)
            free(buf);
        return (e == ENODATA || e == ENOTSUP) ? 0 : -e;
    }
    for (ssize_t off = 4; off + 8 <= n; off += 8) {
        unsigned tag = buf[off] | (buf[off + 1] << 8);
        unsigned p = buf[off + 2] | (buf[off + 3] << 8);
        uint32_t id = (uint32_t)buf[off + 4] | ((uint32_t)buf[off + 5] << 8) |
                      ((uint32_t)buf[off + 6] << 16) | ((uint32_t)buf[off + 7] << 24);
        if (tag == XTAG_USER) {
            *named = 1;
            if (perm && id == uid)
                *perm = (int)p;
        }
    }
    if (buf != stackbuf)
        free(buf);
    return 0;
}

/* Removes the named-user entry for `uid` (every named user with -1). */
static void acl_drop_user(acl_t *acl, uid_t uid)
{
    for (;;) {
        acl_entry_t e, hit = NULL;
        for (int w = ACL_FIRST_ENTRY; acl_get_entry(*acl, w, &e) == 1; w = ACL_NEXT_ENTRY) {
            acl_tag_t tag;
            if (acl_get_tag_type(e, &tag) == 0 && tag == ACL_USER) {
                uid_t *q = acl_get_qualifier(e);
                int match = q && (uid == (uid_t)-1 || *q == uid);
                acl_free(q);
                if (match) {
                    hit = e;
                    break;
                }
            }
        }
        if (!hit)
            return;
        /* Deleting invalidates the walk, so start over. */
        acl_delete_entry(*acl, hit);
    }
}

static int acl_add_user(acl_t *acl, uid_t uid, int bits)
{
    acl_entry_t e;
    if (acl_create_entry(acl, &e) < 0)
        return -errno;
    acl_set_tag_type(e, ACL_USER);
    acl_set_qualifier(e, &uid);
    acl_permset_t ps;
    acl_get_permset(e, &ps);
    acl_clear_perms(ps);
    if (bits & 4)
        acl_add_perm(ps, ACL_READ);
    if (bits & 2)
        acl_add_perm(ps, ACL_WRITE);
    if (bits & 1)
        acl_add_perm(ps, ACL_EXECUTE);
    return 0;
}

static int acl_count_named(acl_t acl)
{
    acl_entry_t e;
    int n = 0;
    for (int w = ACL_FIRST_ENTRY; acl_get_entry(acl, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(e, &tag) == 0 && (tag == ACL_USER || tag == ACL_GROUP))
            n++;
    }
    return n;
}

/* With named entries the mask covers them; without, the mask goes, so
 * that the ACL folds back into plain mode bits. */
static void acl_fit_mask(acl_t *acl)
{
    if (acl_count_named(*acl) > 0) {
        acl_calc_mask(acl);
        return;
    }
    acl_entry_t e;
    for (int w = ACL_FIRST_ENTRY; acl_get_entry(*acl, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(e, &tag) == 0 && tag == ACL_MASK) {
            acl_delete_entry(*acl, e);
            return;
        }
    }
}

/* Adds or removes the named user on one entry of ours, through its
 * descriptor: the access ACL, and a folder's default ACL. */
static int acl_visit(struct walk *w, int fd, const struct stat *st)
{
    if (S_ISLNK(st->st_mode))
        return 0; /* never changed, never followed */
    if (st->st_uid != geteuid() && geteuid() != 0)
        return 0; /* files a sharee made: only their owner may change them */
    char fp[FD_PATH_LEN];
    fd_path(fp, fd);
    int isdir = S_ISDIR(st->st_mode);
    acl_t a = acl_get_file(fp, ACL_TYPE_ACCESS);
    if (!a) {
        if (!w->err)
            w->err = -errno;
        return 0;
    }
    acl_drop_user(&a, w->uid);
    if (w->perm >= 0) {
        int bits = w->perm & 6;
        if (isdir || (st->st_mode & S_IXUSR))
            bits |= w->perm & 1;
        acl_add_user(&a, w->uid, bits);
    }
    acl_fit_mask(&a);
    if (acl_set_file(fp, ACL_TYPE_ACCESS, a) < 0 && !w->err)
        w->err = -errno;
    acl_free(a);

    if (isdir) {
        acl_t d = acl_get_file(fp, ACL_TYPE_DEFAULT);
        if (!d)
            return 0;
        if (acl_entries(d) <= 0) {
            acl_free(d);
            if (w->perm < 0)
                return 0;
            d = acl_from_mode(st->st_mode & 0777);
            if (!d)
                return 0;
        }
        acl_drop_user(&d, w->uid);
        if (w->perm >= 0) {
            acl_add_user(&d, w->uid, w->perm);
            /* What a sharee creates here belongs to the sharee; a named
             * entry lets the box owner keep reaching it. */
            if (st->st_uid != w->uid) {
                acl_drop_user(&d, st->st_uid);
                acl_add_user(&d, st->st_uid, 7);
            }
        } else if (w->uid == (uid_t)-1) {
            acl_drop_user(&d, (uid_t)-1);
        }
        if (acl_count_named(d) == 0 && w->perm < 0) {
            acl_delete_def_file(fp);
        } else {
            acl_calc_mask(&d);
            if (acl_set_file(fp, ACL_TYPE_DEFAULT, d) < 0 && !w->err)
                w->err = -errno;
        }
        acl_free(d);
    }
    return 0;
}

int tsd_acl_tree(const char *path, uid_t uid, int perm)
{
    struct walk w = { .visit = acl_visit, .uid = uid, .perm = perm };
    int rc = walk_tree(&w, path);
    return rc < 0 ? rc : w.err;
}

int tsd_acl_copy_named(const char *from, const char *to, int locked)
{
    acl_t src = acl_get_file(from, ACL_TYPE_ACCESS);
    if (!src)
        return -errno;
    acl_t dst = acl_get_file(to, ACL_TYPE_ACCESS);
    if (!dst) {
        int e = errno;
        acl_free(src);
        return -e;
    }
    acl_drop_user(&dst, (uid_t)-1);
    acl_entry_t e;
    for (int w = ACL_FIRST_ENTRY; acl_get_entry(src, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(e, &tag) == 0 && tag == ACL_USER) {
            acl_entry_t ne;
            if (acl_create_entry(&dst, &ne) == 0)
                acl_copy_entry(ne, e);
        }
    }
    acl_fit_mask(&dst);
    for (int w = ACL_FIRST_ENTRY; locked && acl_get_entry(dst, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t ps;
        if (acl_get_tag_type(e, &tag) == 0 && (tag == ACL_MASK || tag == ACL_USER_OBJ) &&
            acl_get_permset(e, &ps) == 0)
            acl_delete_perm(ps, ACL_WRITE);
    }
    int rc = acl_set_file(to, ACL_TYPE_ACCESS, dst) < 0 ? -errno : 0;
    acl_free(src);
    acl_free(dst);
    return rc;
}

int tsd_acl_named_uids(const char *path, uid_t *uids, int max)
{
    unsigned char buf[4096];
    ssize_t n = lgetxattr(path, "system.posix_acl_access", buf, sizeof buf);
    if (n < 0)
        return (errno == ENODATA || errno == ENOTSUP) ? 0 : -errno;
    int count = 0;
    for (ssize_t off = 4; off + 8 <= n && count < max; off += 8) {
        unsigned tag = buf[off] | (buf[off + 1] << 8);
        if (tag == XTAG_USER)
            uids[count++] = (uid_t)buf[off + 4] | ((uid_t)buf[off + 5] << 8) |
                            ((uid_t)buf[off + 6] << 16) | ((uid_t)buf[off + 7] << 24);
    }
    return count;
}
