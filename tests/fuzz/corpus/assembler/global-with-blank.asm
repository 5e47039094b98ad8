        .global _co MOV
