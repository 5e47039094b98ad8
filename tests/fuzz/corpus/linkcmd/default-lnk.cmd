/* Default link command file of the TMS370 tool chain (Halyard stand-in). */
/* Halyard copies it into the compiler folder when a project has none.    */
-l rts.lib

MEMORY
{
    REGS (RW)  : origin = 0000h, length = 0100h
    RAM  (RW)  : origin = 0100h, length = 0700h
    ROM  (RX)  : origin = 2000h, length = 5FECh
    VECS (R)   : origin = 7FECh, length = 0014h
}

SECTIONS
{
    .text    > ROM
    .const   > ROM
    .cinit   > ROM
    .bss     > RAM
    .data    > RAM
    .stack   > RAM
    .sysmem  > RAM
    .hstack  > REGS
    .intvecs > VECS
}
