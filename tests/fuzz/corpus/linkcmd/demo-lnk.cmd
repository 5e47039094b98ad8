/*********** Halyard Linker Commnad file ******/
-l rts.lib

-o C:\texassource\demo.out 
-m C:\texassource\demo.map 



MEMORY
{
    REGS    :  (RW)  origin = 0000h length = 0100h 
    RAM     :  (RW)  origin = 0100h length = 0700h 
    ROM     :  (RX)  origin = 2000h length = 5FECh 
    VECS    :  (R)  origin = 7FECh length = 0014h 

}



SECTIONS
{
    .text:   > ROM
    .const:   > ROM
    .cinit:   > ROM
    .bss:   > RAM
    .data:   > RAM

.intvecs : load = 07FECh  /*Interrupt Vectors*/
  {
   C:\texassource\intvecs.obj(.intvecs)
   endvec =.; 
  }

}
