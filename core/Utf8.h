#pragma once

#include <cstddef>

// Strict UTF-8: what names and passwords that arrive as bytes must be.
class Utf8
{
public:
    // Well-formed UTF-8 without NUL bytes: no stray or cut sequences, no
    // overlong forms, no surrogates, nothing beyond U+10FFFF.
    static bool isValid(const char *bytes, std::size_t size);
};
