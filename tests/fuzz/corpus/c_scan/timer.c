/* timer.c - a 100 Hz tick from timer 1 */
#include "demo.h"

#define T1CTL1 (*(volatile unsigned char *)0x1049)
#define T1CTL2 (*(volatile unsigned char *)0x104A)

volatile unsigned int ticks = 0;

void timer_init(void)
{
    ticks = 0;
    T1CTL1 = 0x05;
    T1CTL2 = 0x01;
}

interrupt void timer_isr(void)
{
    ++ticks;
}

unsigned int timer_elapsed(unsigned int since)
{
    return ticks - since;
}
