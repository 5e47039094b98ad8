-c
-heap 0x200
-stack 0x100
-l rts.lib
-o demo.out
C:\texassource\main.obj
MEMORY
{
  PAGE 0: RAM (RW) : origin = 0100h, length = 0F00h
  PAGE1: ROM (RX) : o = 8000h, l = 7FE0h, fill = 0FFh
}
SECTIONS
{
  .text: > ROM run = > 8000h, fill =00000010h
  .const : > ROM align(0010h) PAGE1
  .data : load = ROM, run = RAM { main.obj(.data) C:\lib\io.obj() }
  UNION : > RAM { .bss: .sysmem: }
  GROUP 0200h : { .a: .b: }
  .intvecs : load = 0FFD0h
  {
     endvec = . + (2 * 10h) - 1;
  }
}
/* unclosed comment
