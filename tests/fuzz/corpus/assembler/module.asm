* a small module
	.global _tick, _count
	.ref _main
	.bss _count, 2
	.text
_tick:	MOV #1, A ; comment
	CALL _main
	RTS
	.sect ".vectors"
	.word _tick, 0FFFFh
	.byte 1, 2, "ab"
	.string "text"
label	.set 10
	.data
	.space 4
	.end
