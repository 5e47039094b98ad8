        .global start, sub
COUNT   .equ    R10
        .text
start:  MOV     #0,A
        MOV     #10,B
loop:   ADD     B,A
        DJNZ    B,loop
        MOV     A,COUNT
        MOV     1234h,A
        MOV     @R10,A
        MOV     2(R10),A
        MOV     table(B),A
        BTJO    #1,P021,start
        CALL    sub
        TRAP    3
        EINT
        MOVW    #table,R5
        JMP     far
        IDLE
sub:    RTS
        .data
table:  .byte   1,2,3,"ab"
        .word   start, 1234h
far     .equ    0F000h
