*********************************************************************
* intvecs.asm - interrupt vector table of the Halyard demo project
* lnk.cmd places its section at 7FECh, the top of the address space.
*********************************************************************
        .ref    _c_int00
        .ref    _timer_isr

        .sect   ".intvecs"
        .word   _c_int00        ; 7FECh  unused
        .word   _c_int00        ; 7FEEh  unused
        .word   _c_int00        ; 7FF0h  unused
        .word   _c_int00        ; 7FF2h  unused
        .word   _timer_isr      ; 7FF4h  timer 1
        .word   _c_int00        ; 7FF6h  unused
        .word   _c_int00        ; 7FF8h  unused
        .word   _c_int00        ; 7FFAh  unused
        .word   _c_int00        ; 7FFCh  unused
        .word   _c_int00        ; 7FFEh  reset
        .end
