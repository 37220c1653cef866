/* File tree work: copying with all metadata, removal, sizes and ACLs. */
#define _GNU_SOURCE
#include "tsd_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/acl.h>
#include <acl/libacl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

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

static int copy_entry(struct copier *c, int sdir, int ddir, const char *name,
                      dev_t dev)
{
    struct stat st;
    if (fstatat(sdir, name, &st, AT_SYMLINK_NOFOLLOW) < 0)
        return -errno;
    int rc = 0;
    TSD_CRASH_POINT("copy-entry");
    if (S_ISDIR(st.st_mode)) {
        if (st.st_dev != dev)
            return -TSD_E_FILETYPE; /* something mounted inside the box */
        if (mkdirat(ddir, name, 0700) < 0)
            return -errno;
        int s = openat(sdir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (s < 0)
            return -errno;
        int d = openat(ddir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (d < 0) {
            rc = -errno;
            close(s);
            return rc;
        }
        rc = copy_dir(c, s, d, dev);
        if (rc == 0)
            rc = copy_meta(c, s, d, &st, NULL);
        close(s);
        close(d);
    } else if (S_ISREG(st.st_mode)) {
        int s = openat(sdir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (s < 0)
            return -errno;
        /* Created with its final permission bits where the umask allows
         * (so that no chmod follows), but never without our own read and
         * write access while the data goes in. */
        int d = openat(ddir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       (st.st_mode & 0777) | 0600);
        if (d < 0) {
            rc = -errno;
            close(s);
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
        ssize_t n = readlinkat(sdir, name, target, PATH_MAX);
        if (n < 0)
            return -errno;
        target[n] = 0;
        if (symlinkat(target, ddir, name) < 0)
            return -errno;
        if (c->as_root && fchownat(ddir, name, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) < 0)
            return -errno;
        struct timespec ts[2] = { st.st_atim, st.st_mtim };
        if (utimensat(ddir, name, ts, AT_SYMLINK_NOFOLLOW) < 0)
            return -errno;
    } else if (S_ISFIFO(st.st_mode)) {
        if (mkfifoat(ddir, name, 0600) < 0)
            return -errno;
        int s = openat(sdir, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
        int d = openat(ddir, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (s < 0 || d < 0) {
            rc = -errno;
        } else {
            if (c->as_root && fchown(d, st.st_uid, st.st_gid) < 0)
                rc = -errno;
            if (rc == 0 && fchmod(d, st.st_mode & 07777) < 0)
                rc = -errno;
            struct timespec ts[2] = { st.st_atim, st.st_mtim };
            if (rc == 0 && futimens(d, ts) < 0)
                rc = -errno;
        }
        if (s >= 0)
            close(s);
        if (d >= 0)
            close(d);
    } else {
        rc = -TSD_E_FILETYPE;
    }
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
    int s = open(src, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int d = open(dst, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
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

static int remove_dir_contents(int fd, dev_t dev)
{
    int dup_fd = dup(fd);
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
    while ((e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        /* Entries that vanish meanwhile are fine: a background remover
         * may be working on the same tree. */
        struct stat st;
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) < 0) {
            if (errno == ENOENT)
                continue;
            rc = -errno;
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            /* Never descend into another file system: a mount left in the
             * tree (a box's FUSE mount) must not be emptied through. */
            if (st.st_dev != dev) {
                rc = -TSD_E_MOUNTED;
                break;
            }
            if ((st.st_mode & 0700) != 0700)
                fchmodat(fd, e->d_name, (st.st_mode & 07777) | 0700, 0);
            int sub = openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                if (errno == ENOENT)
                    continue;
                rc = -errno;
                break;
            }
            rc = remove_dir_contents(sub, dev);
            close(sub);
            if (rc < 0)
                break;
            if (unlinkat(fd, e->d_name, AT_REMOVEDIR) < 0 && errno != ENOENT) {
                rc = -errno;
                break;
            }
        } else if (unlinkat(fd, e->d_name, 0) < 0 && errno != ENOENT) {
            rc = -errno;
            break;
        }
    }
    closedir(d);
    return rc;
}

int tsd_remove_tree(const char *path)
{
    struct stat st;
    if (lstat(path, &st) < 0)
        return errno == ENOENT ? 0 : -errno;
    if (!S_ISDIR(st.st_mode))
        return unlink(path) < 0 ? -errno : 0;
    struct stat parent;
    char *slash = strrchr(path, '/');
    if (slash) {
        char *p = strndup(path, (size_t)(slash - path) + (slash == path));
        int prc = p ? stat(p, &parent) : -1;
        free(p);
        if (prc == 0 && parent.st_dev != st.st_dev)
            return -TSD_E_MOUNTED;
    }
    if ((st.st_mode & 0700) != 0700)
        chmod(path, (st.st_mode & 07777) | 0700);
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    int rc = remove_dir_contents(fd, st.st_dev);
    close(fd);
    if (rc == 0 && rmdir(path) < 0 && errno != ENOENT)
        rc = -errno;
    return rc;
}

/* Gives every folder of ours in the tree the owner access that removing
 * its entries takes (a box may hold read-only folders), without leaving
 * the file system. Best effort: what fails here fails again, and is
 * reported, when the tree is removed. */
static void make_removable(int fd, dev_t dev, int depth)
{
    int dup_fd = dup(fd);
    DIR *d = dup_fd >= 0 ? fdopendir(dup_fd) : NULL;
    if (!d) {
        if (dup_fd >= 0)
            close(dup_fd);
        return;
    }
    struct dirent *e;
    while ((e = readdir(d))) {
        if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN)
            continue;
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st;
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) < 0 || !S_ISDIR(st.st_mode) ||
            st.st_dev != dev)
            continue;
        if ((st.st_mode & 0700) != 0700)
            fchmodat(fd, e->d_name, (st.st_mode & 07777) | 0700, 0);
        if (depth >= 128)
            continue; /* deeper folders are left to the remover's own checks */
        int sub = openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
            make_removable(sub, dev, depth + 1);
            close(sub);
        }
    }
    closedir(d);
}

/* Counts entries and bytes below a folder until either passes its limit;
 * returns 1 when the tree stays within both. */
static int within(int fd, int *entries, uint64_t *bytes, uint64_t max_bytes, int depth)
{
    int dup_fd = dup(fd);
    DIR *d = dup_fd >= 0 ? fdopendir(dup_fd) : NULL;
    if (!d) {
        if (dup_fd >= 0)
            close(dup_fd);
        return 0;
    }
    int ok = 1;
    struct dirent *e;
    while (ok && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st;
        if (--*entries < 0 || fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) < 0) {
            ok = 0;
            break;
        }
        *bytes += (uint64_t)st.st_blocks * 512;
        if (*bytes > max_bytes) {
            ok = 0;
        } else if (S_ISDIR(st.st_mode)) {
            int sub = depth < 16 ? openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
            ok = sub >= 0 && within(sub, entries, bytes, max_bytes, depth + 1);
            if (sub >= 0)
                close(sub);
        }
    }
    closedir(d);
    return ok;
}

int tsd_tree_is_small(const char *path, int max_entries, uint64_t max_bytes)
{
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR || errno == ELOOP;
    uint64_t bytes = 0;
    int ok = within(fd, &max_entries, &bytes, max_bytes, 0);
    close(fd);
    return ok;
}

void tsd_make_removable(const char *path)
{
    struct stat st;
    if (lstat(path, &st) < 0 || !S_ISDIR(st.st_mode))
        return;
    if ((st.st_mode & 0700) != 0700)
        chmod(path, (st.st_mode & 07777) | 0700);
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        make_removable(fd, st.st_dev, 0);
        close(fd);
    }
}

/* ---- sizes ---- */

static uint64_t g_bytes, g_entries;

static int size_cb(const char *p, const struct stat *st, int flag, struct FTW *f)
{
    (void)p;
    (void)flag;
    (void)f;
    g_entries++;
    /* Whole blocks, plus gocryptfs' per-block overhead of 32 bytes per
     * 4 KiB and a file header. */
    uint64_t sz = (uint64_t)st->st_size;
    sz += sz / 128 + 64;
    g_bytes += (sz + 4095) & ~(uint64_t)4095;
    return 0;
}

int tsd_tree_size(const char *path, uint64_t *bytes, uint64_t *entries)
{
    g_bytes = g_entries = 0;
    if (nftw(path, size_cb, 32, FTW_PHYS | FTW_MOUNT) < 0)
        return -errno;
    *bytes = g_bytes;
    *entries = g_entries;
    return 0;
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
    ssize_t n = getxattr(path, "system.posix_acl_access", buf, sizeof stackbuf);
    if (n < 0 && errno == ERANGE) {
        ssize_t need = getxattr(path, "system.posix_acl_access", NULL, 0);
        if (need > 0 && (buf = malloc((size_t)need)))
            n = getxattr(path, "system.posix_acl_access", buf, (size_t)need);
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

static uid_t g_acl_uid;
static int g_acl_perm;
static int g_acl_err;

static int acl_tree_cb(const char *p, const struct stat *st, int flag, struct FTW *f)
{
    (void)f;
    if (flag == FTW_SL || S_ISLNK(st->st_mode))
        return 0;
    if (st->st_uid != geteuid() && geteuid() != 0)
        return 0; /* files a sharee made: only their owner may change them */
    int isdir = S_ISDIR(st->st_mode);
    acl_t a = acl_get_file(p, ACL_TYPE_ACCESS);
    if (!a) {
        g_acl_err = -errno;
        return 0;
    }
    acl_drop_user(&a, g_acl_uid);
    if (g_acl_perm >= 0) {
        int bits = g_acl_perm & 6;
        if (isdir || (st->st_mode & S_IXUSR))
            bits |= g_acl_perm & 1;
        acl_add_user(&a, g_acl_uid, bits);
    }
    acl_fit_mask(&a);
    if (acl_set_file(p, ACL_TYPE_ACCESS, a) < 0 && !g_acl_err)
        g_acl_err = -errno;
    acl_free(a);

    if (isdir) {
        acl_t d = acl_get_file(p, ACL_TYPE_DEFAULT);
        if (!d)
            return 0;
        if (acl_entries(d) <= 0) {
            acl_free(d);
            if (g_acl_perm < 0)
                return 0;
            d = acl_from_mode(st->st_mode & 0777);
            if (!d)
                return 0;
        }
        acl_drop_user(&d, g_acl_uid);
        if (g_acl_perm >= 0) {
            acl_add_user(&d, g_acl_uid, g_acl_perm);
            /* What a sharee creates here belongs to the sharee; a named
             * entry lets the box owner keep reaching it. */
            if (st->st_uid != g_acl_uid) {
                acl_drop_user(&d, st->st_uid);
                acl_add_user(&d, st->st_uid, 7);
            }
        } else if (g_acl_uid == (uid_t)-1) {
            acl_drop_user(&d, (uid_t)-1);
        }
        if (acl_count_named(d) == 0 && g_acl_perm < 0) {
            acl_delete_def_file(p);
        } else {
            acl_calc_mask(&d);
            if (acl_set_file(p, ACL_TYPE_DEFAULT, d) < 0 && !g_acl_err)
                g_acl_err = -errno;
        }
        acl_free(d);
    }
    return 0;
}

int tsd_acl_tree(const char *path, uid_t uid, int perm)
{
    g_acl_uid = uid;
    g_acl_perm = perm;
    g_acl_err = 0;
    if (nftw(path, acl_tree_cb, 32, FTW_PHYS | FTW_MOUNT) < 0)
        return -errno;
    return g_acl_err;
}

int tsd_acl_set_owner_perm(int fd, int perm)
{
    acl_t a = acl_get_fd(fd);
    if (!a)
        return -errno;
    acl_entry_t e;
    int rc = -EINVAL;
    for (int w = ACL_FIRST_ENTRY; acl_get_entry(a, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(e, &tag) == 0 && tag == ACL_USER_OBJ) {
            acl_permset_t ps;
            acl_get_permset(e, &ps);
            acl_clear_perms(ps);
            if (perm & 4)
                acl_add_perm(ps, ACL_READ);
            if (perm & 2)
                acl_add_perm(ps, ACL_WRITE);
            if (perm & 1)
                acl_add_perm(ps, ACL_EXECUTE);
            rc = acl_set_fd(fd, a) < 0 ? -errno : 0;
            break;
        }
    }
    acl_free(a);
    return rc;
}

int tsd_acl_copy_named(const char *from, const char *to)
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
    int rc = acl_set_file(to, ACL_TYPE_ACCESS, dst) < 0 ? -errno : 0;
    acl_free(src);
    acl_free(dst);
    return rc;
}

int tsd_acl_named_uids(const char *path, uid_t *uids, int max)
{
    unsigned char buf[4096];
    ssize_t n = getxattr(path, "system.posix_acl_access", buf, sizeof buf);
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
