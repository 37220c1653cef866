#pragma once

#include "VaultranerProxy.h"

// The views keep one picture per box state. A state is the four 0/1 fields
// of a BoxInfo; boxStateKey() numbers the combinations for a lookup table.
constexpr int kBoxStateCount = 16;

inline int boxStateKey(const BoxInfo &box)
{
    return (box.fromOther != 0 ? 8 : 0) | (box.encrypted != 0 ? 4 : 0) | (box.shared != 0 ? 2 : 0)
           | (box.mounted != 0 ? 1 : 0);
}
