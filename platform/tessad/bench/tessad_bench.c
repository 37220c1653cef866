/*
 * Measures the box service library beside bare gocryptfs:
 *  - box_get_list with 1,000 own boxes and 100 boxes shared by another
 *    account (the second account needs root; without it only own boxes);
 *  - encrypting, then decrypting, a 1 GiB box and a box of 10,000 files
 *    of 4 KiB, each beside the same work done by hand with bare gocryptfs
 *    (init + mount + `cp -a` in + unmount + sync; mount + `cp -a` out +
 *    unmount + sync), also counting the background removal of the old
 *    files up to its end;
 *  - mount latency beside a bare gocryptfs mount.
 * Usage: tessad_bench [work folder [list]] (default: a new folder under
 * /tmp; "list" measures box_get_list only).
 * The benchmark password goes to gocryptfs on standard input only.
 */
#define _GNU_SOURCE
#include "box_service.h"

#include <errno.h>
#include <stdarg.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static const char *kPass = "Bench_pw_1";

static double now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int sh(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static int sh(const char *fmt, ...)
{
    char cmd[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(cmd, sizeof cmd, fmt, ap);
    va_end(ap);
    int rc = system(cmd);
    if (rc != 0)
        fprintf(stderr, "failed (%d): %s\n", rc, cmd);
    return rc;
}

/* Runs a shell command with the password on its standard input. */
static int sh_pw(const char *cmd)
{
    FILE *p = popen(cmd, "w");
    if (!p)
        return -1;
    fprintf(p, "%s\n", kPass);
    return pclose(p);
}

static void fill_big(const char *dir)
{
    sh("head -c 1073741824 /dev/urandom > '%s/big.bin'", dir);
}

static void fill_small(const char *dir)
{
    char *buf = malloc(4096);
    for (int d = 0; d < 100; d++) {
        char sub[4096];
        snprintf(sub, sizeof sub, "%s/d%03d", dir, d);
        mkdir(sub, 0755);
        for (int f = 0; f < 100; f++) {
            char p[4200];
            snprintf(p, sizeof p, "%s/f%03d", sub, f);
            for (int i = 0; i < 4096; i++)
                buf[i] = (char)(rand() & 0xff);
            int fd = open(p, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                if (write(fd, buf, 4096) != 4096)
                    perror("write");
                close(fd);
            }
        }
    }
    free(buf);
}

/* Bare gocryptfs, the same work a user would do by hand: init + mount +
 * cp -a + unmount + sync (the whole is timed; the cp -a alone too).
 * Decrypting by hand: mount + cp -a out + unmount + sync. */
static double bare_copy(const char *work, const char *src, double *whole, double *dec_whole)
{
    char cmd[8400];
    sh("rm -rf '%s/bare' && mkdir -p '%s/bare/c' '%s/bare/m' '%s/bare/out'", work, work, work, work);
    double t0 = now();
    snprintf(cmd, sizeof cmd, "gocryptfs -init -q '%s/bare/c' >/dev/null 2>&1", work);
    sh_pw(cmd);
    snprintf(cmd, sizeof cmd, "gocryptfs -q -acl '%s/bare/c' '%s/bare/m' >/dev/null 2>&1", work, work);
    sh_pw(cmd);
    double t1 = now();
    sh("cp -a '%s/.' '%s/bare/m/'", src, work);
    double t2 = now();
    sh("fusermount3 -u '%s/bare/m' && sync -f '%s'", work, work);
    double t3 = now();
    *whole = t3 - t0;
    sh_pw(cmd);
    sh("cp -a '%s/bare/m/.' '%s/bare/out/' && fusermount3 -u '%s/bare/m' && sync -f '%s'",
       work, work, work, work);
    *dec_whole = now() - t3;
    sh("rm -rf '%s/bare' && sync -f '%s'", work, work);
    return t2 - t1;
}

/* Waits until the background removal of finished work is over; returns
 * how long that took. */
static double drain_trash(const char *user, const char *work)
{
    char trash[4600];
    snprintf(trash, sizeof trash, "%s/.boxes/trash", user);
    double t0 = now();
    for (;;) {
        char cmd[4700];
        snprintf(cmd, sizeof cmd, "[ -z \"$(ls -A '%s' 2>/dev/null)\" ]", trash);
        if (system(cmd) == 0)
            break;
        usleep(20000);
    }
    sh("sync -f '%s'", work);
    return now() - t0;
}

static void encrypt_case(const char *label, const char *work, const char *user,
                         void (*fill)(const char *))
{
    char src[4096], box[8200];
    snprintf(src, sizeof src, "%s/src-%s", work, label);
    mkdir(src, 0700);
    fill(src);
    sh("sync -f '%s'", work);
    double bare_whole = 0, bare_dec = 0;
    double bare = bare_copy(work, src, &bare_whole, &bare_dec);

    box_create(label);
    snprintf(box, sizeof box, "%s/%s", user, label);
    sh("cp -a '%s/.' '%s/' && sync -f '%s'", src, box, work);
    box_crypto_params p = { BOX_CRYPTO_SETTINGS_DEFAULT, strdup(kPass), strlen(kPass) };
    double t0 = now();
    int rc = box_crypto_create(label, &p);
    double ours = now() - t0;
    double gone = ours + drain_trash(user, work);
    free(p.key);
    if (rc != 0)
        fprintf(stderr, "box_crypto_create: %s\n", box_err(-rc));
    box_passphrase k = { strdup(kPass), strlen(kPass) };
    t0 = now();
    rc = box_crypto_decrypt(label, &k);
    double dec = now() - t0;
    double dec_gone = dec + drain_trash(user, work);
    free(k.key);
    if (rc != 0)
        fprintf(stderr, "box_crypto_decrypt: %s\n", box_err(-rc));
    printf("encrypt %-9s box_crypto_create %.2f s (init, mount, copy, unmount, sync, commit); "
           "%.2f s until the plain files are removed in the background\n", label, ours, gone);
    printf("encrypt %-9s bare gocryptfs: init+mount+cp -a+unmount+sync %.2f s (cp -a alone %.2f s)\n",
           label, bare_whole, bare);
    printf("encrypt %-9s throughput ratio ours/bare: %.2f (%.2f counting the background removal; "
           "%.2f against cp -a alone)\n", label, bare_whole / ours, bare_whole / gone, bare / ours);
    printf("decrypt %-9s box_crypto_decrypt %.2f s; %.2f s until the cipher files are removed; "
           "bare mount+cp -a+unmount+sync %.2f s; ratio %.2f (%.2f)\n",
           label, dec, dec_gone, bare_dec, bare_dec / dec, bare_dec / dec_gone);
    fflush(stdout);
    box_delete(label);
    drain_trash(user, work);
    sh("rm -rf '%s'", src);
}

static void mount_latency(const char *work, const char *user)
{
    box_create("mnt");
    box_crypto_params p = { BOX_CRYPTO_SETTINGS_DEFAULT, strdup(kPass), strlen(kPass) };
    box_crypto_create("mnt", &p);
    free(p.key);
    box_passphrase k = { strdup(kPass), strlen(kPass) };
    char cmd[8400];
    sh("rm -rf '%s/bare' && mkdir -p '%s/bare/c' '%s/bare/m'", work, work, work);
    snprintf(cmd, sizeof cmd, "gocryptfs -init -q '%s/bare/c' >/dev/null 2>&1", work);
    sh_pw(cmd);
    const int rounds = 5;
    double ours = 0, bare = 0;
    for (int i = 0; i < rounds; i++) {
        double t0 = now();
        int rc = box_crypto_mount(NULL, "mnt", &k);
        ours += now() - t0;
        if (rc != 0)
            fprintf(stderr, "box_crypto_mount: %s\n", box_err(-rc));
        box_crypto_umount(NULL, "mnt");
        snprintf(cmd, sizeof cmd, "gocryptfs -q -acl '%s/bare/c' '%s/bare/m' >/dev/null 2>&1",
                 work, work);
        t0 = now();
        sh_pw(cmd);
        bare += now() - t0;
        sh("fusermount3 -u '%s/bare/m'", work);
    }
    printf("mount latency: box_crypto_mount %.3f s, bare gocryptfs %.3f s (mean of %d), "
           "ratio %.2f\n", ours / rounds, bare / rounds, rounds, ours / bare);
    free(k.key);
    (void)user;
    box_delete("mnt");
    sh("rm -rf '%s/bare'", work);
}

static void list_case(const char *work, const char *user)
{
    char p[4096];
    for (int i = 0; i < 1000; i++) {
        snprintf(p, sizeof p, "own-%04d", i);
        box_create(p);
    }
    int shared = 0;
    const char *other = "tsdbench";
    if (geteuid() == 0) {
        /* A second account owns 100 boxes shared with us. */
        system("userdel tsdbench >/dev/null 2>&1");
        if (sh("useradd -M -N -s /usr/sbin/nologin %s", other) == 0) {
            pid_t pid = fork();
            if (pid == 0) {
                struct passwd *pw = getpwnam(other);
                if (!pw || setresgid(pw->pw_gid, pw->pw_gid, pw->pw_gid) < 0 ||
                    setresuid(pw->pw_uid, pw->pw_uid, pw->pw_uid) < 0 || box_init() != 0)
                    _exit(1);
                for (int i = 0; i < 100; i++) {
                    snprintf(p, sizeof p, "shared-%03d", i);
                    if (box_create(p) != 0 || box_add_share(p, i % 2 ? 7 : 5, 0, 2) != 0)
                        _exit(2);
                }
                _exit(0);
            }
            int st = 0;
            waitpid(pid, &st, 0);
            shared = WIFEXITED(st) && WEXITSTATUS(st) == 0 ? 100 : 0;
        }
    }
    box_info *l = NULL;
    int n = box_get_list(255, &l); /* warm the caches once */
    box_info_list_destroy(l);
    const int rounds = 20;
    double best = 1e9, sum = 0;
    for (int i = 0; i < rounds; i++) {
        double t0 = now();
        n = box_get_list(255, &l);
        double dt = now() - t0;
        box_info_list_destroy(l);
        sum += dt;
        if (dt < best)
            best = dt;
    }
    printf("box_get_list: %d records (1000 own, %d shared by another account): "
           "mean %.2f ms, best %.2f ms over %d calls\n",
           n, shared, sum / rounds * 1000, best * 1000, rounds);
    for (int i = 0; i < 1000; i++) {
        snprintf(p, sizeof p, "own-%04d", i);
        box_delete(p);
    }
    if (geteuid() == 0)
        system("userdel tsdbench >/dev/null 2>&1");
    (void)work;
    (void)user;
}

int main(int argc, char **argv)
{
    char work[4096];
    if (argc > 1) {
        snprintf(work, sizeof work, "%s", argv[1]);
        mkdir(work, 0755);
    } else {
        char tmpl[] = "/tmp/tessad-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            return 1;
        snprintf(work, sizeof work, "%s", tmpl);
    }
    chmod(work, 0755);
    char root[4200];
    snprintf(root, sizeof root, "%s/box", work);
    setenv("BOX_SERVICE_ROOT", root, 1);
    if (!box_enabled() || box_init() != 0) {
        fprintf(stderr, "box service not available under %s\n", root);
        return 1;
    }
    char user[4400];
    snprintf(user, sizeof user, "%s/%s", root, passwd->pw_name);

    list_case(work, user);
    if (argc > 2 && strcmp(argv[2], "list") == 0)
        return 0;
    mount_latency(work, user);
    encrypt_case("files10k", work, user, fill_small);
    encrypt_case("big1g", work, user, fill_big);
    if (argc <= 1)
        sh("rm -rf '%s'", work);
    return 0;
}
