#include "CoreDumps.h"

#include <sys/prctl.h>

bool CoreDumps::disable()
{
    // Not dumpable: no core file, /proc/<pid> belongs to root, and only root
    // may attach. Programs we start (gocryptfs, the file manager) are not
    // affected: exec makes them dumpable again.
    return prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
}
