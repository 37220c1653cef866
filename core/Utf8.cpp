#include "Utf8.h"

namespace {

// The length of the sequence a lead byte starts, 0 for a byte that cannot
// start one.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

bool Utf8::isValid(const char *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    std::size_t i = 0;
    while (i < size) {
        if (bytes[i] == 0)
            return false;
        const int length = sequenceLength(bytes[i]);
        if (length == 0 || i + std::size_t(length) > size)
            return false;
        for (int k = 1; k < length; ++k)
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
        // Overlong three- and four-byte forms, surrogates, and code points
        // beyond U+10FFFF.
        if (length == 3 && ((bytes[i] == 0xE0 && bytes[i + 1] < 0xA0) || (bytes[i] == 0xED && bytes[i + 1] >= 0xA0)))
            return false;
        if (length == 4 && ((bytes[i] == 0xF0 && bytes[i + 1] < 0x90) || (bytes[i] == 0xF4 && bytes[i + 1] >= 0x90)))
            return false;
        i += std::size_t(length);
    }
    return true;
}
