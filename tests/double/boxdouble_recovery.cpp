// The recovery functions of the box service, for the tests of the windows
// that use them only: every other program test runs without them, as
// against a library that lacks them.
#include "boxdouble.h"

#include "box_service_ext.h"

#include <cerrno>
#include <cstring>
#include <string>


using BoxDouble::argText;
using BoxDouble::keyText;

void BoxDouble::offerRecovery() {}

extern "C" {

int box_crypto_recovery_key(const char *name, box_passphrase *password, char *buf, size_t len)
{
    const int result = BoxDouble::recordCall("box_crypto_recovery_key", {argText(name), keyText(password)});
    const std::string key = BoxDouble::kRecoveryKey;
    if (result == 0) {
        if (key.size() + 1 > len)
            return -ERANGE;
        std::memcpy(buf, key.c_str(), key.size() + 1);
    }
    return result;
}

int box_crypto_recover(const char *name, box_passphrase *recovery_key, box_crypto_params *new_password,
                       int *checked)
{
    const int result = BoxDouble::recordCall("box_crypto_recover",
                                             {argText(name), keyText(recovery_key), keyText(new_password)});
    if (checked)
        *checked = result == 0 ? 1 : 0;
    return result;
}

// A positive result: that many damaged files, "damaged-1", "damaged-2", ….
int box_crypto_check(const char *name, box_passphrase *password, box_damaged_cb cb, void *user)
{
    const int result = BoxDouble::recordCall("box_crypto_check", {argText(name), keyText(password)});
    for (int i = 1; i <= result && cb; ++i)
        cb(("damaged-" + std::to_string(i)).c_str(), user);
    return result;
}

} // extern "C"
