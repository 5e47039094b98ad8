        .sect ".a b"
        .usect "", x, 2
        .def a,,b
        .space 0FFFFFFFFh
        .space 0FFFFFFFFh
