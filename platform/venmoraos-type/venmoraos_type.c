#include "venmoraos_type.h"

#include <stdlib.h>

/* A desktop is present when a graphical session is: an X11 or Wayland
 * display is set for the process. */
int venmora_os_check_is_desktop(void)
{
    const char *x11 = getenv("DISPLAY");
    const char *wayland = getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland) ? 1 : 0;
}
