/*
 * Never losing a box: its recovery key (the gocryptfs master key), a new
 * password set with that key, the integrity check, and export and import
 * of the encrypted form.
 *
 * The master key travels like a password: to gocryptfs on its standard
 * input (-masterkey=stdin), from gocryptfs-xray on its standard output,
 * never on a command line, in the environment or in a file, and every
 * buffer that held it is zeroed.
 *
 * gocryptfs takes any master key it is given: -passwd -masterkey=stdin
 * with a wrong key would wrap that wrong key with the new password and
 * lock the user out of every file. So a key is proven first, against the
 * box's own encrypted names and content through a private read-only
 * mount, and the new configuration is written beside the old one and
 * proven again before it replaces it.
 */
#define _GNU_SOURCE
#include "box_service_ext.h"
#include "tsd_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

#define KEY_DIGITS BOX_RECOVERY_KEY_DIGITS

/* ---- the key as text ---- */

/* 64 hexadecimal digits, lower case, into out[65]; spaces, dashes and line
 * breaks between them are dropped (the key is shown in groups). */
static int normalise_key(const char *in, size_t len, char out[KEY_DIGITS + 1])
{
    size_t n = 0;
    for (size_t i = 0; i < len; i++) {
        char c = in[i];
        if (c == ' ' || c == '-' || c == '\t' || c == '\n' || c == '\r')
            continue;
        if (c >= 'A' && c <= 'F')
            c = (char)(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) || n == KEY_DIGITS) {
            explicit_bzero(out, KEY_DIGITS + 1);
            return -TSD_E_KEYFORMAT;
        }
        out[n++] = c;
    }
    out[n] = 0;
    if (n != KEY_DIGITS) {
        explicit_bzero(out, KEY_DIGITS + 1);
        return -TSD_E_KEYFORMAT;
    }
    return 0;
}

/* The master key of a configuration file, opened with `secret` (a
 * password line). -TSD_E_BADPASS when it does not open it. */
static int dump_key(const char *conf, const char *secret, size_t slen, char out[KEY_DIGITS + 1])
{
    const char *args[] = { "-dumpmasterkey", conf, NULL };
    char *text = NULL;
    size_t text_len = 0;
    int r = tsd_run("gocryptfs-xray", args, secret, slen, &text, &text_len);
    int rc = r < 0 ? r : r != 0 ? -TSD_E_BADPASS : 0;
    if (rc == 0 && normalise_key(text, text_len, out) < 0)
        rc = -TSD_E_CIPHER;
    tsd_secret_free(text, text_len);
    return rc;
}

/* ---- a child with streamed input and output ---- */

struct stream {
    const char *input;   /* written to standard input, then end-of-file */
    size_t input_len;
    int in_fd;           /* or: this file streamed to standard input (-1: none) */
    int out_fd;          /* standard output into this file (-1: to `line`) */
    void (*line)(char *line, void *user); /* each line of standard output */
    void (*tick)(pid_t pid, uint64_t streamed, void *user); /* now and then */
    void *user;
};

static int run_streamed(const char *prog, const char *const args[], struct stream *s)
{
    static const char *const dirs[] = { "/usr/bin", "/bin", "/usr/sbin", "/sbin",
                                        "/usr/local/bin", NULL };
    char path[256];
    int found = 0;
    for (int i = 0; dirs[i] && !found; i++) {
        snprintf(path, sizeof path, "%s/%s", dirs[i], prog);
        found = access(path, X_OK) == 0;
    }
    if (!found)
        return -TSD_E_TOOL;
    const char *argv[32];
    int argc = 0;
    argv[argc++] = prog;
    for (int i = 0; args[i] && argc < 31; i++)
        argv[argc++] = args[i];
    argv[argc] = NULL;

    int in[2] = { -1, -1 }, out[2] = { -1, -1 };
    int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devnull < 0)
        return -errno;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) < 0 ||
        (s->out_fd < 0 && pipe2(out, O_CLOEXEC) < 0)) {
        int e = errno;
        close(devnull);
        if (in[0] >= 0) {
            close(in[0]);
            close(in[1]);
        }
        return -e;
    }
    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        close(devnull);
        close(in[0]);
        close(in[1]);
        if (out[0] >= 0) {
            close(out[0]);
            close(out[1]);
        }
        return -e;
    }
    if (pid == 0) {
        /* Async-signal-safe calls only: the caller may have threads. */
        if (dup2(in[0], 0) < 0 || dup2(s->out_fd >= 0 ? s->out_fd : out[1], 1) < 0 ||
            dup2(devnull, 2) < 0)
            _exit(127);
        close_range(3, ~0U, 0);
        execve(path, (char *const *)argv, environ);
        _exit(127);
    }
    close(devnull);
    close(in[0]);
    if (out[1] >= 0)
        close(out[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    char chunk[65536];
    size_t chunk_len = 0, chunk_done = 0, given = 0;
    char line[4096];
    size_t line_len = 0;
    uint64_t streamed = 0;
    int writing = s->input || s->in_fd >= 0;
    int reading = out[0] >= 0;
    if (!writing)
        shutdown(in[1], SHUT_WR);
    while (writing || reading) {
        if (writing && chunk_done == chunk_len) {
            ssize_t r = 0;
            if (s->input) {
                r = (ssize_t)(s->input_len - given);
                if (r > (ssize_t)sizeof chunk)
                    r = sizeof chunk;
                memcpy(chunk, s->input + given, (size_t)r);
                given += (size_t)r;
            } else {
                while ((r = read(s->in_fd, chunk, sizeof chunk)) < 0 && errno == EINTR)
                    ;
            }
            if (r <= 0) {
                writing = 0;
                shutdown(in[1], SHUT_WR);
                continue;
            }
            chunk_len = (size_t)r;
            chunk_done = 0;
        }
        struct pollfd p[2];
        int n = 0, wi = -1, ri = -1;
        if (writing) {
            p[n] = (struct pollfd){ .fd = in[1], .events = POLLOUT };
            wi = n++;
        }
        if (reading) {
            p[n] = (struct pollfd){ .fd = out[0], .events = POLLIN };
            ri = n++;
        }
        int pr = poll(p, (nfds_t)n, 250);
        if (pr < 0 && errno != EINTR)
            break;
        if (s->tick)
            s->tick(pid, streamed, s->user);
        if (pr <= 0)
            continue;
        if (wi >= 0 && p[wi].revents) {
            ssize_t w = send(in[1], chunk + chunk_done, chunk_len - chunk_done, MSG_NOSIGNAL);
            if (w > 0) {
                chunk_done += (size_t)w;
                if (!s->input)
                    streamed += (uint64_t)w;
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                writing = 0; /* the program went away; its status says why */
            }
        }
        if (ri >= 0 && p[ri].revents) {
            char buf[4096];
            ssize_t r = read(out[0], buf, sizeof buf);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                reading = 0;
                continue;
            }
            for (ssize_t i = 0; i < r; i++) {
                if (buf[i] == '\n' || line_len == sizeof line - 1) {
                    line[line_len] = 0;
                    if (s->line)
                        s->line(line, s->user);
                    line_len = 0;
                    if (buf[i] == '\n')
                        continue;
                }
                line[line_len++] = buf[i];
            }
        }
    }
    explicit_bzero(chunk, sizeof chunk);
    if (line_len > 0 && s->line) {
        line[line_len] = 0;
        s->line(line, s->user);
    }
    close(in[1]);
    if (out[0] >= 0)
        close(out[0]);
    /* A program writing straight into a file has told us nothing yet:
     * keep reporting until it ends. */
    int status;
    for (;;) {
        pid_t w = waitpid(pid, &status, s->tick ? WNOHANG : 0);
        if (w == pid)
            break;
        if (w < 0 && errno != EINTR)
            return -errno;
        if (w == 0) {
            poll(NULL, 0, 250);
            s->tick(pid, streamed, s->user);
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return -TSD_E_TOOL;
    return WEXITSTATUS(status);
}

/* ---- small helpers ---- */

static char *conf_of(const char *cipher)
{
    return tsd_path("%s/gocryptfs.conf", cipher);
}

static int is_cipher_folder(const char *dir)
{
    char *conf = conf_of(dir);
    struct stat st;
    int ok = conf && lstat(conf, &st) == 0 && S_ISREG(st.st_mode);
    free(conf);
    return ok;
}

/* Whether the cipher folder holds any encrypted entry (gocryptfs' own
 * files do not count; a long name's ".name" file goes with its entry). */
static int cipher_has_entries(const char *cipher)
{
    DIR *d = opendir(cipher);
    if (!d)
        return -errno;
    int found = 0;
    struct dirent *e;
    while (!found && (e = readdir(d))) {
        const char *n = e->d_name;
        if (strcmp(n, ".") == 0 || strcmp(n, "..") == 0)
            continue;
        if (strncmp(n, "gocryptfs.", 10) == 0 && strncmp(n, "gocryptfs.longname.", 19) != 0)
            continue;
        found = 1;
    }
    closedir(d);
    return found;
}

static int count_entries(const char *dir)
{
    DIR *d = opendir(dir);
    if (!d)
        return -errno;
    int n = 0;
    struct dirent *e;
    errno = 0;
    while ((e = readdir(d)))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            n++;
    int rc = errno ? -errno : n;
    closedir(d);
    return rc;
}

/* Counts the cipher folder's encrypted entries at its top. */
static int count_cipher_entries(const char *cipher)
{
    DIR *d = opendir(cipher);
    if (!d)
        return -errno;
    int n = 0;
    struct dirent *e;
    while ((e = readdir(d))) {
        const char *name = e->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        size_t len = strlen(name);
        if (strncmp(name, "gocryptfs.longname.", 19) == 0) {
            if (len > 5 && strcmp(name + len - 5, ".name") == 0)
                continue;
        } else if (strncmp(name, "gocryptfs.", 10) == 0) {
            continue;
        }
        n++;
    }
    closedir(d);
    return n;
}

/* Reads the first byte of the first non-empty file below `dir` (a private
 * mount of ours, so paths are safe), going at most `budget` entries deep.
 * 1: read (the content authenticates: gocryptfs uses GCM), 0: no such
 * file, -EIO (or another error): it could not be read. */
static int read_some_file(const char *dir, int *budget)
{
    DIR *d = opendir(dir);
    if (!d)
        return -errno;
    int rc = 0;
    struct dirent *e;
    while (rc == 0 && *budget > 0 && (e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        (*budget)--;
        char *p = tsd_path("%s/%s", dir, e->d_name);
        struct stat st;
        if (!p || lstat(p, &st) < 0) {
            free(p);
            continue;
        }
        if (S_ISREG(st.st_mode) && st.st_size > 0) {
            int fd = open(p, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            char c;
            rc = fd < 0 ? -errno : pread(fd, &c, 1, 0) == 1 ? 1 : -EIO;
            if (fd >= 0)
                close(fd);
        } else if (S_ISDIR(st.st_mode)) {
            int sub = read_some_file(p, budget);
            if (sub != 0)
                rc = sub;
        }
        free(p);
    }
    closedir(d);
    return rc;
}

/* ---- proving a key against the box ---- */

/* Mounts the cipher folder read-only with the key, privately, at `mnt`
 * and looks: 1 proven, 0 nothing to prove it against, -TSD_E_BADKEY. */
static int prove_key(const char *cipher, const char *mnt, const char *hex)
{
    int has = cipher_has_entries(cipher);
    if (has < 0)
        return has;
    if (!has)
        return 0;
    char line[KEY_DIGITS + 2];
    memcpy(line, hex, KEY_DIGITS);
    line[KEY_DIGITS] = '\n';
    line[KEY_DIGITS + 1] = 0;
    const char *args[] = { "-q", "-ro", "-masterkey=stdin", cipher, mnt, NULL };
    int rc = tsd_gocryptfs_result(tsd_run("gocryptfs", args, line, KEY_DIGITS + 1, NULL, NULL));
    explicit_bzero(line, sizeof line);
    if (rc == 0 && tsd_mount_state_now(mnt, NULL) != TSD_MNT_ALIVE)
        rc = -TSD_E_TOOL;
    if (rc < 0)
        return rc;
    /* A wrong key decrypts no name (gocryptfs leaves out what it cannot
     * decrypt) and no file content (authenticated). */
    int budget = 10000;
    int content = read_some_file(mnt, &budget);
    int names = count_entries(mnt);
    int expected = count_cipher_entries(cipher);
    if (content < 0)
        rc = -TSD_E_BADKEY;
    else if (names < 0 || names < expected || names == 0)
        rc = -TSD_E_BADKEY;
    else
        rc = 1;
    if (tsd_unmount(mnt, 0) < 0)
        tsd_unmount(mnt, 1);
    return rc;
}

static int copy_small_file(const char *from, const char *to, mode_t mode)
{
    int fd = open(from, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    char buf[65536];
    ssize_t n = read(fd, buf, sizeof buf);
    int e = errno;
    close(fd);
    if (n < 0)
        return -e;
    if (n == (ssize_t)sizeof buf)
        return -TSD_E_CIPHER; /* no configuration is that large */
    return tsd_write_file_atomic(to, buf, (size_t)n, mode);
}

/* ---- box_crypto_recovery_key ---- */

static int do_recovery_key(const char *name, box_passphrase *password, char *buf, size_t len)
{
    if (!password || !buf)
        return -TSD_E_INVAL;
    if (len < KEY_DIGITS + 1)
        return -ERANGE;
    int rc = tsd_check_name(name);
    if (rc < 0)
        return rc;
    size_t slen = 0;
    char *secret = tsd_secret_lines(password->key, password->key ? password->key_len : 0,
                                    NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    char *box = NULL, *cipher = NULL, *conf = NULL;
    int encrypted = 0;
    if ((rc = tsd_ready()) == 0 && (rc = tsd_own_box(name, &box, &cipher, &encrypted)) == 0) {
        if (!encrypted)
            rc = -TSD_E_PLAIN;
        else if (!(conf = conf_of(cipher)))
            rc = -ENOMEM;
        else
            rc = dump_key(conf, secret, slen, buf);
    }
    free(box);
    free(cipher);
    free(conf);
    tsd_secret_free(secret, slen);
    return rc;
}

int box_crypto_recovery_key(const char *name, box_passphrase *password, char *buf, size_t len)
{
    tsd_call_enter();
    int rc = do_recovery_key(name, password, buf, len);
    tsd_call_leave();
    return rc;
}

/* ---- box_crypto_recover ---- */

static int do_recover(const char *name, box_passphrase *key, box_crypto_params *fresh, int *checked)
{
    if (!key || !fresh || !checked)
        return -TSD_E_INVAL;
    *checked = 0;
    int rc = tsd_check_name(name);
    if (rc < 0)
        return rc;
    char hex[KEY_DIGITS + 1];
    if ((rc = normalise_key(key->key ? key->key : "", key->key ? key->key_len : 0, hex)) < 0)
        return rc;
    /* "key\nnew password\n" for -passwd -masterkey=stdin; the checks of a
     * password line apply to the new password. */
    size_t slen = 0, plen = 0;
    char *secret = tsd_secret_lines(hex, KEY_DIGITS, fresh->key, fresh->key ? fresh->key_len : 0,
                                    &slen, &rc);
    char *pass = secret ? tsd_secret_lines(fresh->key, fresh->key_len, NULL, 0, &plen, &rc) : NULL;
    if (!secret || !pass) {
        tsd_secret_free(secret, slen);
        explicit_bzero(hex, sizeof hex);
        return rc;
    }
    char *box = NULL, *cipher = NULL;
    char *work = NULL, *mnt = NULL, *stage = NULL, *staged_conf = NULL, *conf = NULL;
    int encrypted = 0, lk = -1;
    if ((rc = tsd_ready()) < 0)
        goto out;
    work = tsd_path("%s/work", tsd.sdir);
    mnt = tsd_path("%s/work/mnt", tsd.sdir);
    stage = tsd_path("%s/work/conf", tsd.sdir);
    staged_conf = tsd_path("%s/work/conf/gocryptfs.conf", tsd.sdir);
    if (!work || !mnt || !stage || !staged_conf) {
        rc = -ENOMEM;
        goto out;
    }
    if ((lk = tsd_lock()) < 0) {
        rc = lk;
        goto out;
    }
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0 ||
        (rc = tsd_own_box(name, &box, &cipher, &encrypted)) < 0)
        goto out;
    if (!encrypted) {
        rc = -TSD_E_PLAIN;
        goto out;
    }
    if (!(conf = conf_of(cipher))) {
        rc = -ENOMEM;
        goto out;
    }
    tsd_progress_start(name, 0);
    if ((rc = tsd_mkdir_p(work, 0700)) < 0 || (rc = tsd_mkdir_p(mnt, 0700)) < 0 ||
        (rc = tsd_mkdir_p(stage, 0700)) < 0)
        goto out;
    int proven = prove_key(cipher, mnt, hex);
    if (proven < 0) {
        rc = proven;
        goto out;
    }
    /* The new configuration is made beside the old one and must open
     * with the new password to the very key given before it replaces it. */
    if ((rc = copy_small_file(conf, staged_conf, 0400)) < 0)
        goto out;
    const char *args[] = { "-passwd", "-q", "-masterkey=stdin", stage, NULL };
    if ((rc = tsd_gocryptfs_result(tsd_run("gocryptfs", args, secret, slen, NULL, NULL))) < 0)
        goto out;
    char again[KEY_DIGITS + 1];
    rc = dump_key(staged_conf, pass, plen, again);
    if (rc == 0 && memcmp(again, hex, KEY_DIGITS) != 0)
        rc = -TSD_E_TOOL;
    explicit_bzero(again, sizeof again);
    if (rc < 0)
        goto out;
    TSD_CRASH_POINT("recover-staged");
    struct stat st;
    int have_times = stat(cipher, &st) == 0;
    if (rename(staged_conf, conf) < 0) {
        rc = -errno;
        goto out;
    }
    tsd_fsync_dir(cipher);
    if (have_times) {
        struct timespec ts[2] = { st.st_atim, st.st_mtim };
        utimensat(AT_FDCWD, cipher, ts, 0);
    }
    tsd_reapply_shares(cipher, conf);
    *checked = proven;
    tsd_progress_end();
out:
    if (lk >= 0) {
        tsd_recover(TSD_RECOVER_BEFORE); /* clears the work folder */
        tsd_unlock(lk);
    }
    explicit_bzero(hex, sizeof hex);
    tsd_secret_free(secret, slen);
    tsd_secret_free(pass, plen);
    free(box);
    free(cipher);
    free(conf);
    free(work);
    free(mnt);
    free(stage);
    free(staged_conf);
    return rc;
}

int box_crypto_recover(const char *name, box_passphrase *recovery_key,
                       box_crypto_params *new_password, int *checked)
{
    tsd_call_enter();
    int rc = do_recover(name, recovery_key, new_password, checked);
    tsd_call_leave();
    return rc;
}

/* ---- box_crypto_check ---- */

struct check_state {
    box_damaged_cb cb;
    void *user;
    int damaged;
    uint64_t total, reported;
    char last[4096];
};

/* gocryptfs -fsck names each damaged entry in a line like
 *   fsck: error reading file "dir/a.txt" (inum 42): ...
 * with the plain path quoted the way Go quotes strings. */
static void check_line(char *line, void *user)
{
    struct check_state *cs = user;
    if (strncmp(line, "fsck: ", 6) != 0 || strncmp(line, "fsck: summary", 13) == 0)
        return;
    char *q = strchr(line, '"');
    if (!q)
        return;
    char path[4096];
    size_t n = 0;
    for (char *s = q + 1; *s && *s != '"' && n < sizeof path - 1; s++) {
        if (*s == '\\' && s[1]) {
            s++;
            if (*s == 'n')
                path[n++] = '\n';
            else if (*s == 't')
                path[n++] = '\t';
            else
                path[n++] = *s;
        } else {
            path[n++] = *s;
        }
    }
    path[n] = 0;
    if (strcmp(path, cs->last) == 0)
        return; /* the same file again */
    snprintf(cs->last, sizeof cs->last, "%s", path);
    cs->damaged++;
    if (cs->cb)
        cs->cb(path, cs->user);
}

/* gocryptfs reports no progress of its own: what it has read so far
 * (each byte twice, once encrypted and once through its own mount)
 * against what there is to read. */
static void check_tick(pid_t pid, uint64_t streamed, void *user)
{
    (void)streamed;
    struct check_state *cs = user;
    char path[64];
    snprintf(path, sizeof path, "/proc/%ld/io", (long)pid);
    FILE *f = fopen(path, "re");
    if (!f)
        return;
    char line[128];
    unsigned long long rchar = 0;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "rchar: %llu", &rchar) == 1)
            break;
    fclose(f);
    uint64_t done = rchar / 2;
    if (done > cs->total)
        done = cs->total;
    if (done > cs->reported) {
        tsd_progress_add(done - cs->reported);
        cs->reported = done;
    }
}

static int do_check(const char *name, box_passphrase *password, box_damaged_cb cb, void *user)
{
    if (!password)
        return -TSD_E_INVAL;
    int rc = tsd_check_name(name);
    if (rc < 0)
        return rc;
    size_t slen = 0;
    char *secret = tsd_secret_lines(password->key, password->key ? password->key_len : 0,
                                    NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    char *box = NULL, *cipher = NULL;
    int encrypted = 0;
    struct check_state *cs = calloc(1, sizeof *cs);
    if (!cs)
        rc = -ENOMEM;
    else if ((rc = tsd_ready()) == 0 && (rc = tsd_own_box(name, &box, &cipher, &encrypted)) == 0) {
        if (!encrypted) {
            rc = -TSD_E_PLAIN;
        } else {
            uint64_t bytes = 0, entries = 0;
            tsd_tree_size(cipher, &bytes, &entries);
            cs->cb = cb;
            cs->user = user;
            cs->total = bytes;
            tsd_progress_start(name, bytes);
            const char *args[] = { "-fsck", "-q", cipher, NULL };
            struct stream s = { .input = secret, .input_len = slen, .in_fd = -1, .out_fd = -1,
                                .line = check_line, .tick = check_tick, .user = cs };
            int st = run_streamed("gocryptfs", args, &s);
            if (st == 26 && cs->damaged == 0 && cb)
                cb(".", user); /* damaged, but no entry was named: the box itself */
            if (st == 0 || st == 26)
                rc = cs->damaged > 0 ? cs->damaged : st == 26 ? 1 : 0;
            else
                rc = tsd_gocryptfs_result(st);
            if (rc >= 0)
                tsd_progress_end();
        }
    }
    free(cs);
    free(box);
    free(cipher);
    tsd_secret_free(secret, slen);
    return rc;
}

int box_crypto_check(const char *name, box_passphrase *password, box_damaged_cb cb, void *user)
{
    tsd_call_enter();
    int rc = do_check(name, password, cb, user);
    tsd_call_leave();
    return rc;
}

/* ---- box_export ---- */

struct file_progress {
    int fd;
    uint64_t reported;
};

/* tar writes the archive straight into the file: its size is the
 * progress. */
static void export_tick(pid_t pid, uint64_t streamed, void *user)
{
    (void)pid;
    (void)streamed;
    struct file_progress *fp = user;
    struct stat st;
    if (fstat(fp->fd, &st) == 0 && (uint64_t)st.st_size > fp->reported) {
        tsd_progress_add((uint64_t)st.st_size - fp->reported);
        fp->reported = (uint64_t)st.st_size;
    }
}

static int do_export(const char *name, const char *file)
{
    if (!file || !*file)
        return -TSD_E_INVAL;
    int rc = tsd_check_name(name);
    if (rc < 0 || (rc = tsd_ready()) < 0)
        return rc;
    int lk = tsd_lock();
    if (lk < 0)
        return lk;
    char *box = NULL, *cipher = NULL, *cdir = NULL, *member = NULL;
    int encrypted = 0, fd = -1;
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0 ||
        (rc = tsd_own_box(name, &box, &cipher, &encrypted)) < 0)
        goto out;
    if (!encrypted) {
        rc = -TSD_E_PLAIN;
        goto out;
    }
    /* A mounted box may be changing: its archive could mix old and new. */
    if ((rc = tsd_require_unmounted(box)) < 0)
        goto out;
    cdir = tsd_path("%s/c", tsd.sdir);
    member = tsd_path("./%s", name);
    if (!cdir || !member) {
        rc = -ENOMEM;
        goto out;
    }
    fd = open(file, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        rc = -errno;
        tsd_set_detail("%s", file);
        goto out;
    }
    fchmod(fd, 0600);
    uint64_t bytes = 0, entries = 0;
    tsd_tree_size(cipher, &bytes, &entries);
    tsd_progress_start(name, bytes + entries * 512);
    /* No owners, no ACLs (shares are of this machine's accounts): the
     * archive unpacks as its reader's own files anywhere. The user's
     * extended attributes are kept: gocryptfs stores them encrypted as
     * the cipher files' user attributes. */
    const char *args[] = { "--create", "--file=-", "--format=posix", "--numeric-owner",
                           "--owner=0", "--group=0", "--no-acls", "--xattrs",
                           "--xattrs-include=user.*", "--no-selinux", "-C", cdir, member, NULL };
    struct file_progress fp = { .fd = fd };
    struct stream s = { .in_fd = -1, .out_fd = fd, .tick = export_tick, .user = &fp };
    int st = run_streamed("tar", args, &s);
    rc = st < 0 ? st : st != 0 ? -TSD_E_TOOL : 0;
    if (rc == 0 && fsync(fd) < 0)
        rc = -errno;
    if (close(fd) < 0 && rc == 0)
        rc = -errno;
    fd = -1;
    if (rc < 0)
        unlink(file); /* ours: made with O_EXCL above */
    else
        tsd_progress_end();
out:
    if (fd >= 0)
        close(fd);
    free(box);
    free(cipher);
    free(cdir);
    free(member);
    tsd_unlock(lk);
    return rc;
}

int box_export(const char *name, const char *file)
{
    tsd_call_enter();
    int rc = do_export(name, file);
    tsd_call_leave();
    return rc;
}

/* ---- box_import ---- */

/* The gocryptfs folder an unpacked archive holds: the folder itself, or
 * its one subfolder. NULL when there is none. */
static char *find_unpacked(const char *dir)
{
    if (is_cipher_folder(dir))
        return strdup(dir);
    DIR *d = opendir(dir);
    if (!d)
        return NULL;
    char *found = NULL;
    int entries = 0;
    struct dirent *e;
    while ((e = readdir(d))) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        entries++;
        char *p = tsd_path("%s/%s", dir, e->d_name);
        struct stat st;
        if (p && !found && lstat(p, &st) == 0 && S_ISDIR(st.st_mode) && is_cipher_folder(p)) {
            found = p;
            p = NULL;
        }
        free(p);
    }
    closedir(d);
    if (entries != 1) {
        free(found);
        return NULL;
    }
    return found;
}

/* What has been fed to tar so far is the progress of an import. */
static void feed_tick(pid_t pid, uint64_t streamed, void *user)
{
    (void)pid;
    uint64_t *reported = user;
    if (streamed > *reported) {
        tsd_progress_add(streamed - *reported);
        *reported = streamed;
    }
}

/* The password must open the folder's configuration. */
static int check_import(const char *cipher, const char *secret, size_t slen)
{
    if (!is_cipher_folder(cipher))
        return -TSD_E_NOTCIPHER;
    char *conf = conf_of(cipher);
    if (!conf)
        return -ENOMEM;
    char key[KEY_DIGITS + 1];
    int rc = dump_key(conf, secret, slen, key);
    explicit_bzero(key, sizeof key);
    free(conf);
    return rc;
}

/* Makes the box: its locked mount point first, then the cipher folder
 * moved in. Undone when the second step fails. */
static int commit_import(const char *name, const char *staged, const char *box, const char *cipher)
{
    char *cdir = tsd_path("%s/c", tsd.sdir);
    int rc = cdir ? tsd_mkdir_p(cdir, 0700) : -ENOMEM;
    free(cdir);
    if (rc < 0)
        return rc;
    if (mkdir(box, 0700) < 0)
        return errno == EEXIST ? -TSD_E_EXISTS : -errno;
    int fd = open(box, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        tsd_lock_mount_point(fd);
        close(fd);
    }
    TSD_CRASH_POINT("import-mount-point");
    if (renameat2(AT_FDCWD, staged, AT_FDCWD, cipher, RENAME_NOREPLACE) < 0) {
        rc = errno == EEXIST ? -TSD_E_EXISTS : -errno;
        rmdir(box);
        return rc;
    }
    tsd_fsync_dir(tsd.udir);
    (void)name;
    return 0;
}

/* An imported cipher folder is the caller's alone: closed to everyone
 * else, without the named users it may carry from elsewhere. */
static void make_private(const char *cipher)
{
    chmod(cipher, 0700);
    tsd_acl_tree(cipher, (uid_t)-1, -1);
}

static int do_import(const char *source, const char *name, box_passphrase *password, int move)
{
    if (!source || !*source || !password)
        return -TSD_E_INVAL;
    int rc = tsd_check_name(name);
    if (rc < 0)
        return rc;
    size_t slen = 0;
    char *secret = tsd_secret_lines(password->key, password->key ? password->key_len : 0,
                                    NULL, 0, &slen, &rc);
    if (!secret)
        return rc;
    char *box = NULL, *cipher = NULL, *work = NULL, *unpack = NULL, *staged = NULL;
    char *found = NULL, *real = NULL;
    int lk = -1, archive_fd = -1;
    if ((rc = tsd_ready()) < 0)
        goto out;
    box = tsd_path("%s/%s", tsd.udir, name);
    cipher = tsd_path("%s/c/%s", tsd.sdir, name);
    work = tsd_path("%s/work", tsd.sdir);
    unpack = tsd_path("%s/work/unpack", tsd.sdir);
    staged = tsd_path("%s/work/cipher", tsd.sdir);
    if (!box || !cipher || !work || !unpack || !staged) {
        rc = -ENOMEM;
        goto out;
    }
    struct stat st;
    if (stat(source, &st) < 0) {
        rc = -errno;
        tsd_set_detail("%s", source);
        goto out;
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
        rc = -TSD_E_NOTCIPHER;
        goto out;
    }
    /* Nothing of the caller's own boxes can be imported again: moving it
     * would take it from under the box. */
    real = realpath(source, NULL);
    size_t ulen = strlen(tsd.udir);
    if (!real || (strncmp(real, tsd.udir, ulen) == 0 && (real[ulen] == '/' || real[ulen] == 0))) {
        rc = real ? -TSD_E_INVAL : -errno;
        tsd_set_detail("%s", source);
        goto out;
    }
    if ((lk = tsd_lock()) < 0) {
        rc = lk;
        goto out;
    }
    if ((rc = tsd_recover(TSD_RECOVER_BEFORE)) < 0)
        goto out;
    if (tsd_exists(box) || tsd_exists(cipher)) {
        rc = -TSD_E_EXISTS;
        goto out;
    }
    if (S_ISDIR(st.st_mode) && move) {
        /* The user's folder never goes through the work folder, which a
         * crash would clear: it is checked where it is, then moved into
         * place in one step (or copied across file systems, and removed
         * once the box is there). */
        if ((rc = check_import(real, secret, slen)) < 0)
            goto out;
        tsd_progress_start(name, 0);
        rc = commit_import(name, real, box, cipher);
        if (rc == -EXDEV) {
            uint64_t bytes = 0, entries = 0;
            if ((rc = tsd_tree_size(real, &bytes, &entries)) < 0 ||
                (rc = tsd_mkdir_p(work, 0700)) < 0 || (rc = tsd_mkdir_p(staged, 0700)) < 0)
                goto out;
            tsd_progress_start(name, bytes);
            if ((rc = tsd_copy_tree(real, staged)) < 0 ||
                (rc = check_import(staged, secret, slen)) < 0)
                goto out;
            make_private(staged);
            if ((rc = commit_import(name, staged, box, cipher)) < 0)
                goto out;
            if (tsd_remove_tree(real) < 0)
                tsd_set_detail("%s", real); /* the box is there; the original stays */
        } else if (rc == 0) {
            make_private(cipher);
        }
        if (rc == 0)
            tsd_progress_end();
        goto out;
    }
    if ((rc = tsd_mkdir_p(work, 0700)) < 0)
        goto out;
    if (S_ISDIR(st.st_mode)) {
        uint64_t bytes = 0, entries = 0;
        if (!is_cipher_folder(real)) {
            rc = -TSD_E_NOTCIPHER;
            goto out;
        }
        if ((rc = tsd_tree_size(real, &bytes, &entries)) < 0 || (rc = tsd_mkdir_p(staged, 0700)) < 0)
            goto out;
        tsd_progress_start(name, bytes);
        if ((rc = tsd_copy_tree(real, staged)) < 0)
            goto out;
    } else {
        if ((rc = tsd_mkdir_p(unpack, 0700)) < 0)
            goto out;
        archive_fd = open(real, O_RDONLY | O_CLOEXEC);
        if (archive_fd < 0) {
            rc = -errno;
            goto out;
        }
        tsd_progress_start(name, (uint64_t)st.st_size);
        /* The archive is read by us and handed to tar, which unpacks it
         * into our private work folder as our own files. */
        const char *args[] = { "--extract", "--file=-", "--no-same-owner", "--same-permissions",
                               "--no-acls", "--xattrs", "--xattrs-include=user.*", "--no-selinux",
                               "-C", unpack, NULL };
        uint64_t fed = 0;
        struct stream s = { .in_fd = archive_fd, .out_fd = -1, .tick = feed_tick, .user = &fed };
        int r = run_streamed("tar", args, &s);
        if (r != 0) {
            rc = r < 0 ? r : -TSD_E_NOTCIPHER;
            goto out;
        }
        if (!(found = find_unpacked(unpack))) {
            rc = -TSD_E_NOTCIPHER;
            goto out;
        }
        if (rename(found, staged) < 0) {
            rc = -errno;
            goto out;
        }
    }
    if ((rc = check_import(staged, secret, slen)) < 0)
        goto out;
    make_private(staged);
    if ((rc = commit_import(name, staged, box, cipher)) < 0)
        goto out;
    tsd_progress_end();
out:
    if (archive_fd >= 0)
        close(archive_fd);
    if (lk >= 0) {
        tsd_recover(TSD_RECOVER_BEFORE); /* clears the work folder */
        tsd_unlock(lk);
    }
    tsd_secret_free(secret, slen);
    free(box);
    free(cipher);
    free(work);
    free(unpack);
    free(staged);
    free(found);
    free(real);
    return rc;
}

int box_import(const char *source, const char *name, box_passphrase *password, int move)
{
    tsd_call_enter();
    int rc = do_import(source, name, password, move);
    tsd_call_leave();
    return rc;
}
