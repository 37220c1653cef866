/* Security framework library (libzavrit.so.0). */
#ifndef VAULTRANE_ZAVRIT_H
#define VAULTRANE_ZAVRIT_H
#ifdef __cplusplus
extern "C" {
#endif
/* Non-zero when the security function `id` is switched on. */
int zavrit_get_func_status(int id);
#ifdef __cplusplus
}
#endif
#endif
