#pragma once

#include <cstddef>

// A password as read from a terminal or a descriptor: a fixed heap buffer,
// kept out of swap where the system allows, zeroed whenever it is cleared
// and when it goes. Never copied.
class PasswordBuffer
{
public:
    // The longest password accepted, in bytes (what the box service takes).
    static const std::size_t kMaxLength;

    PasswordBuffer();
    ~PasswordBuffer();
    PasswordBuffer(const PasswordBuffer &) = delete;
    PasswordBuffer &operator=(const PasswordBuffer &) = delete;

    // Appends one byte; false (and nothing stored) when the buffer is full.
    bool append(char byte);
    // Replaces the content with what one read() from fd returns, at most
    // kMaxLength bytes; returns read()'s result (errno is kept).
    long readFrom(int fd);
    // Zeroes the content; the buffer is empty afterwards.
    void clear();
    // Takes over other's content; other is cleared.
    void takeFrom(PasswordBuffer &other);

    const char *data() const { return m_data; } // NUL-terminated
    std::size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    // Same bytes, compared without an early exit.
    bool sameAs(const PasswordBuffer &other) const;
    // True when the bytes hold no NUL and are well-formed UTF-8.
    bool isValidText() const;

private:
    char *m_data;
    std::size_t m_size = 0;
    bool m_locked = false;
};
