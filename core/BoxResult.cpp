#include "BoxResult.h"

#include "box_service_ext.h"

bool BoxResult::wrongPasswordReason() const
{
    return libraryReason == BOX_REASON_BAD_PASSWORD;
}
