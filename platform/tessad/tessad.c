/* Placeholder box service: reports that boxes are unavailable. */
#include "box_service.h"

#include <errno.h>

struct passwd *passwd = NULL;

int box_enabled(void) { return 0; }
int box_init(void) { return -ENOSYS; }
const char *box_err(int code) { (void)code; return "box service not available"; }
int box_create(const char *n) { (void)n; return -ENOSYS; }
int box_delete(const char *n) { (void)n; return -ENOSYS; }
int box_change_name(const char *a, const char *b) { (void)a; (void)b; return -ENOSYS; }
int box_crypto_create(const char *n, box_crypto_params *p) { (void)n; (void)p; return -ENOSYS; }
int box_crypto_change_passpharse(const char *n, box_passphrase *o, box_crypto_params *p) { (void)n; (void)o; (void)p; return -ENOSYS; }
int box_crypto_decrypt(const char *n, box_passphrase *k) { (void)n; (void)k; return -ENOSYS; }
int box_crypto_verify_passphrase(const char *n, box_passphrase *k) { (void)n; (void)k; return -ENOSYS; }
int box_crypto_mount(const char *o, const char *n, box_passphrase *k) { (void)o; (void)n; (void)k; return -ENOSYS; }
int box_crypto_umount(const char *o, const char *n) { (void)o; (void)n; return -ENOSYS; }
int box_get_list(int m, box_info **l) { (void)m; if (l) *l = NULL; return -ENOSYS; }
void box_info_list_destroy(box_info *l) { (void)l; }
int box_get_info(const char *o, const char *n, box_info **i) { (void)o; (void)n; if (i) *i = NULL; return -ENOSYS; }
void box_info_destroy(box_info *i) { (void)i; }
int box_clear_share(const char *n) { (void)n; return -ENOSYS; }
int box_add_share(const char *n, int p, uid_t u, int t) { (void)n; (void)p; (void)u; (void)t; return -ENOSYS; }
