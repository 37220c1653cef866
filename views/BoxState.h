#pragma once

#include "BoxTypes.h"

// The views keep one picture per box state. A state is the four state fields
// of a BoxInfo; boxStateKey() numbers the combinations for a lookup table.
constexpr int kBoxStateCount = 16;

inline int boxStateKey(const BoxInfo &box)
{
    return (box.fromOther ? 8 : 0) | (box.encrypted ? 4 : 0) | (box.shared ? 2 : 0) | (box.mounted ? 1 : 0);
}
