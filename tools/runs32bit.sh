#!/usr/bin/env bash
# Exits 0 when this machine executes 32-bit x86 programs, which decides whether the shipped
# 32-bit programs can run under wine32 here. Some kernels run no 32-bit code at all, so the
# test is to try: a 96-byte static 32-bit program, written here byte by byte so that no 32-bit
# compiler is needed, whose only work is exit(42).
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/mb-probe32.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
# ELF header (32-bit, little-endian, executable, i386, entry 0x08048054), one program header
# loading the whole file at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80.
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
printf '\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
printf '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >>"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? = 42 ]
