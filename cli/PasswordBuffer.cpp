#include "PasswordBuffer.h"

#include "box_service_ext.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

const std::size_t PasswordBuffer::kMaxLength = BOX_PASSPHRASE_MAX;

namespace {

// Room for the longest password and its terminating NUL.
const std::size_t kCapacity = BOX_PASSPHRASE_MAX + 1;

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot
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

PasswordBuffer::PasswordBuffer()
    : m_data(static_cast<char *>(std::calloc(kCapacity, 1)))
{
    if (!m_data)
        throw std::bad_alloc();
    m_locked = mlock(m_data, kCapacity) == 0;
}

PasswordBuffer::~PasswordBuffer()
{
    explicit_bzero(m_data, kCapacity);
    if (m_locked)
        munlock(m_data, kCapacity);
    std::free(m_data);
}

bool PasswordBuffer::append(char byte)
{
    if (m_size >= kMaxLength)
        return false;
    m_data[m_size++] = byte;
    return true;
}

long PasswordBuffer::readFrom(int fd)
{
    clear();
    const ssize_t got = read(fd, m_data, kMaxLength);
    const int error = errno;
    if (got > 0)
        m_size = std::size_t(got);
    errno = error;
    return long(got);
}

void PasswordBuffer::clear()
{
    explicit_bzero(m_data, kCapacity);
    m_size = 0;
}

void PasswordBuffer::takeFrom(PasswordBuffer &other)
{
    clear();
    std::memcpy(m_data, other.m_data, other.m_size);
    m_size = other.m_size;
    other.clear();
}

bool PasswordBuffer::sameAs(const PasswordBuffer &other) const
{
    unsigned char difference = m_size == other.m_size ? 0 : 1;
    for (std::size_t i = 0; i < kMaxLength; ++i)
        difference |= static_cast<unsigned char>(m_data[i] ^ other.m_data[i]);
    return difference == 0;
}

bool PasswordBuffer::isValidText() const
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(m_data);
    std::size_t i = 0;
    while (i < m_size) {
        if (bytes[i] == 0)
            return false;
        const int length = sequenceLength(bytes[i]);
        if (length == 0 || i + std::size_t(length) > m_size)
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
