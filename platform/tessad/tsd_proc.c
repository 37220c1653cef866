/* Starting gocryptfs and fusermount3, and reading the mount table. */
#define _GNU_SOURCE
#include "box_service_ext.h"
#include "tsd_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static const char *find_program(const char *prog, char *buf, size_t size)
{
    static const char *const dirs[] = { "/usr/bin", "/bin", "/usr/sbin",
                                        "/sbin", "/usr/local/bin", NULL };
    for (int i = 0; dirs[i]; i++) {
        snprintf(buf, size, "%s/%s", dirs[i], prog);
        if (access(buf, X_OK) == 0)
            return buf;
    }
    return NULL;
}

char *tsd_secret_lines(const char *k1, size_t l1, const char *k2, size_t l2,
                       size_t *len, int *err)
{
    *err = 0;
    if (!k1 || l1 == 0 || (k2 && l2 == 0)) {
        *err = -TSD_E_EMPTYPASS;
        return NULL;
    }
    /* gocryptfs gives up on longer ones (and says so only by its exit
     * status, the one it also uses for an empty password). */
    if (l1 > BOX_PASSPHRASE_MAX || (k2 && l2 > BOX_PASSPHRASE_MAX)) {
        *err = -TSD_E_PASSLONG;
        return NULL;
    }
    /* gocryptfs reads one line per password: a line break or NUL inside
     * would silently cut the password short. */
    if (memchr(k1, '\n', l1) || memchr(k1, '\r', l1) || memchr(k1, 0, l1) ||
        (k2 && (memchr(k2, '\n', l2) || memchr(k2, '\r', l2) || memchr(k2, 0, l2)))) {
        *err = -TSD_E_PASSCHARS;
        return NULL;
    }
    size_t n = l1 + 1 + (k2 ? l2 + 1 : 0);
    char *s = malloc(n + 1);
    if (!s) {
        *err = -ENOMEM;
        return NULL;
    }
    memcpy(s, k1, l1);
    s[l1] = '\n';
    if (k2) {
        memcpy(s + l1 + 1, k2, l2);
        s[l1 + 1 + l2] = '\n';
    }
    s[n] = 0;
    *len = n;
    return s;
}

void tsd_secret_free(char *s, size_t len)
{
    if (s) {
        explicit_bzero(s, len);
        free(s);
    }
}

int tsd_run(const char *prog, const char *const args[], const char *input,
            size_t input_len, char **out, size_t *out_len)
{
    char pathbuf[256];
    const char *path = find_program(prog, pathbuf, sizeof pathbuf);
    if (!path)
        return -TSD_E_TOOL;

    const char *argv[32];
    int argc = 0;
    argv[argc++] = prog;
    for (int i = 0; args[i] && argc < 31; i++)
        argv[argc++] = args[i];
    argv[argc] = NULL;

    int in[2] = { -1, -1 }, outp[2] = { -1, -1 };
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) < 0)
        return -errno;
    if (out && pipe2(outp, O_CLOEXEC) < 0) {
        int e = errno;
        close(in[0]);
        close(in[1]);
        return -e;
    }
    int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);

    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        close(in[0]);
        close(in[1]);
        if (out) {
            close(outp[0]);
            close(outp[1]);
        }
        if (devnull >= 0)
            close(devnull);
        return -e;
    }
    if (pid == 0) {
        /* Only async-signal-safe calls from here: the caller may have
         * threads. Standard error goes to /dev/null, never to a pipe of
         * ours: the gocryptfs daemon keeps its standard descriptors, and a
         * pipe it holds would never reach end-of-file. */
        if (dup2(in[0], 0) < 0 || dup2(out ? outp[1] : devnull, 1) < 0 ||
            dup2(devnull, 2) < 0)
            _exit(127);
        close_range(3, ~0U, 0);
        execve(path, (char *const *)argv, environ);
        _exit(127);
    }
    close(in[0]);
    if (out)
        close(outp[1]);
    if (devnull >= 0)
        close(devnull);

    size_t done = 0;
    while (input && done < input_len) {
        ssize_t w = send(in[1], input + done, input_len - done, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            break; /* the program went away; its exit status tells why */
        }
        done += (size_t)w;
    }
    shutdown(in[1], SHUT_WR);

    int rc = 0;
    if (out) {
        size_t cap = 256, len = 0;
        char *buf = malloc(cap);
        for (;;) {
            if (buf && len + 1 >= cap) {
                char *nb = malloc(cap * 2);
                if (nb)
                    memcpy(nb, buf, len);
                explicit_bzero(buf, cap);
                free(buf);
                buf = nb;
                cap *= 2;
            }
            char tmp[256];
            ssize_t r = read(outp[0], buf ? buf + len : tmp,
                             buf ? cap - len - 1 : sizeof tmp);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            if (buf)
                len += (size_t)r;
            else
                explicit_bzero(tmp, sizeof tmp);
        }
        close(outp[0]);
        if (buf)
            buf[len] = 0;
        else
            rc = -ENOMEM;
        *out = buf;
        *out_len = len;
    }
    close(in[1]);

    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -errno;
    }
    if (rc < 0)
        return rc;
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 127)
            return -TSD_E_TOOL;
        return WEXITSTATUS(status);
    }
    return -TSD_E_TOOL;
}

int tsd_spawn_detached(const char *prog, const char *const args[])
{
    char pathbuf[256];
    const char *path = find_program(prog, pathbuf, sizeof pathbuf);
    if (!path)
        return -TSD_E_TOOL;
    const char *argv[16];
    int argc = 0;
    argv[argc++] = prog;
    for (int i = 0; args[i] && argc < 15; i++)
        argv[argc++] = args[i];
    argv[argc] = NULL;

    /* The grandchild reports a failed exec through this pipe; a successful
     * one closes it (close-on-exec), which we read as end-of-file. */
    int st[2];
    if (pipe2(st, O_CLOEXEC) < 0)
        return -errno;
    int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devnull < 0) {
        int e = errno;
        close(st[0]);
        close(st[1]);
        return -e;
    }
    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        close(st[0]);
        close(st[1]);
        close(devnull);
        return -e;
    }
    if (pid == 0) {
        /* Async-signal-safe calls only, as in tsd_run. A session of its
         * own keeps the terminal's signals to the program away from it;
         * the middle process exits at once so that nobody has to reap
         * the grandchild, which init adopts. */
        if (setsid() < 0 || dup2(devnull, 0) < 0 || dup2(devnull, 1) < 0 ||
            dup2(devnull, 2) < 0 || dup2(st[1], 3) < 0 || fcntl(3, F_SETFD, FD_CLOEXEC) < 0)
            _exit(127);
        close_range(4, ~0U, 0);
        pid_t g = fork();
        if (g != 0)
            _exit(g < 0 ? 127 : 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, NULL);
        /* Background work: yield the processor and the disk to the user. */
        setpriority(PRIO_PROCESS, 0, 10);
        syscall(SYS_ioprio_set, 1 /* IOPRIO_WHO_PROCESS */, 0,
                (2 << 13) | 7 /* best effort, lowest */);
        execve(path, (char *const *)argv, environ);
        int e = errno;
        ssize_t w = write(3, &e, sizeof e);
        (void)w;
        _exit(127);
    }
    close(st[1]);
    close(devnull);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
        ;
    int rc = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -TSD_E_TOOL;
    int e = 0;
    ssize_t r;
    while ((r = read(st[0], &e, sizeof e)) < 0 && errno == EINTR)
        ;
    if (rc == 0 && r > 0)
        rc = e > 0 ? -e : -TSD_E_TOOL;
    close(st[0]);
    return rc;
}

/* ---- the mount table ---- */

struct tsd_mount {
    char *point;
    char *source; /* for gocryptfs: its cipher folder */
    int gocryptfs;
    uid_t owner;
};
struct tsd_mounts {
    struct tsd_mount *v;
    size_t n;
};

static void unescape(char *s)
{
    char *d = s;
    while (*s) {
        if (s[0] == '\\' && s[1] >= '0' && s[1] <= '3' && s[2] >= '0' &&
            s[2] <= '7' && s[3] >= '0' && s[3] <= '7') {
            *d++ = (char)((s[1] - '0') * 64 + (s[2] - '0') * 8 + (s[3] - '0'));
            s += 4;
        } else {
            *d++ = *s++;
        }
    }
    *d = 0;
}

struct tsd_mounts *tsd_mounts_read(void)
{
    FILE *f = fopen("/proc/self/mountinfo", "re");
    if (!f)
        return NULL;
    struct tsd_mounts *m = calloc(1, sizeof *m);
    size_t cap = 0;
    char *line = NULL;
    size_t lcap = 0;
    while (m && getline(&line, &lcap, f) > 0) {
        /* id parent major:minor root mountpoint options [optional...] - fstype source superopts */
        char *save = NULL, *tok;
        int field = 0;
        char *point = NULL, *fstype = NULL, *source = NULL, *super = NULL;
        int after_dash = 0, post = 0;
        for (tok = strtok_r(line, " \n", &save); tok; tok = strtok_r(NULL, " \n", &save)) {
            if (!after_dash) {
                if (field == 4)
                    point = tok;
                if (field >= 6 && strcmp(tok, "-") == 0)
                    after_dash = 1;
                field++;
            } else {
                if (post == 0)
                    fstype = tok;
                else if (post == 1)
                    source = tok;
                else if (post == 2)
                    super = tok;
                post++;
            }
        }
        if (!point || !fstype)
            continue;
        if (m->n == cap) {
            cap = cap ? cap * 2 : 64;
            struct tsd_mount *nv = realloc(m->v, cap * sizeof *nv);
            if (!nv)
                break;
            m->v = nv;
        }
        unescape(point);
        struct tsd_mount *e = &m->v[m->n];
        e->point = strdup(point);
        e->source = NULL;
        if (source) {
            unescape(source);
            e->source = strdup(source);
        }
        if (!e->point || (source && !e->source)) {
            free(e->point);
            free(e->source);
            break;
        }
        e->gocryptfs = strcmp(fstype, "fuse.gocryptfs") == 0;
        e->owner = (uid_t)-1;
        const char *u = super ? strstr(super, "user_id=") : NULL;
        if (u)
            e->owner = (uid_t)strtoul(u + 8, NULL, 10);
        m->n++;
    }
    free(line);
    fclose(f);
    return m;
}

void tsd_mounts_free(struct tsd_mounts *m)
{
    if (!m)
        return;
    for (size_t i = 0; i < m->n; i++) {
        free(m->v[i].point);
        free(m->v[i].source);
    }
    free(m->v);
    free(m);
}

int tsd_mount_state(const struct tsd_mounts *m, const char *path, uid_t *owner)
{
    if (!m)
        return TSD_MNT_NONE;
    /* The last entry for a point is the one on top. */
    for (size_t i = m->n; i-- > 0;) {
        if (strcmp(m->v[i].point, path) != 0)
            continue;
        if (owner)
            *owner = m->v[i].owner;
        if (!m->v[i].gocryptfs)
            return TSD_MNT_FOREIGN;
        struct stat st;
        /* A daemon that died leaves a mount that answers ENOTCONN; other
         * users' mounts answer EACCES and are alive. */
        if (stat(path, &st) < 0 && errno == ENOTCONN)
            return TSD_MNT_STALE;
        return TSD_MNT_ALIVE;
    }
    return TSD_MNT_NONE;
}

int tsd_mount_state_now(const char *path, uid_t *owner)
{
    struct tsd_mounts *m = tsd_mounts_read();
    int s = tsd_mount_state(m, path, owner);
    tsd_mounts_free(m);
    return s;
}

int tsd_unmount(const char *path, int lazy)
{
    const char *args[] = { lazy ? "-uz" : "-u", "-q", path, NULL };
    int rc = tsd_run("fusermount3", args, NULL, 0, NULL, NULL);
    if (rc < 0)
        return rc;
    return tsd_mount_state_now(path, NULL) == TSD_MNT_NONE ? 0 : -TSD_E_BUSY;
}

int tsd_mounts_of(const struct tsd_mounts *m, const char *cipher, uid_t except, uid_t *uids,
                  int max)
{
    int n = 0;
    for (size_t i = 0; m && i < m->n; i++) {
        const struct tsd_mount *e = &m->v[i];
        if (!e->gocryptfs || !e->source || strcmp(e->source, cipher) != 0 || e->owner == except)
            continue;
        /* A dead daemon's mount reaches nothing any more. */
        if (tsd_mount_state(m, e->point, NULL) != TSD_MNT_ALIVE)
            continue;
        if (n < max)
            uids[n] = e->owner;
        n++;
    }
    return n;
}
