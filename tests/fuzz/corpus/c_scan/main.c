/* main.c - runs a light along the LEDs, four steps a second */
#include <string.h>
#include "demo.h"

static const char banner[] = "Halyard demo";
static unsigned char pattern = 0x01;

void main(void)
{
    unsigned int last;

    leds_init();
    timer_init();
    leds_show((unsigned char)strlen(banner));
    last = ticks;
    for (;;) {
        if (timer_elapsed(last) >= TICKS_PER_SECOND / 4) {
            last = ticks;
            pattern = (unsigned char)((pattern << 1) | (pattern >> 7));
            leds_show(pattern);
        }
    }
}
