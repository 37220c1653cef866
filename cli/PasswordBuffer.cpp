#include "PasswordBuffer.h"

#include "SecretString.h"
#include "Utf8.h"
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
    SecretString::wipe(m_data, kCapacity);
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
    SecretString::wipe(m_data, kCapacity);
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
    return Utf8::isValid(m_data, m_size);
}
