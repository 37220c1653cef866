/* OS-type library (libvenmoraos-type.so). */
#ifndef VAULTRANE_VENMORAOS_TYPE_H
#define VAULTRANE_VENMORAOS_TYPE_H
#ifdef __cplusplus
extern "C" {
#endif
/* Non-zero on a desktop edition (only the low byte is meaningful). */
int venmora_os_check_is_desktop(void);
#ifdef __cplusplus
}
#endif
#endif
