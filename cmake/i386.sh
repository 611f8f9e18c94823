#!/bin/sh
# Runs a 32-bit x86 program natively through its loader, so that it meets
# a 32-bit process's real limits; under qemu-i386 on a kernel that runs no
# 32-bit program (32-bit emulation switched off).
racine=/usr/i686-linux-gnu
if "$racine/lib/ld-linux.so.2" --version >/dev/null 2>&1; then
  exec "$racine/lib/ld-linux.so.2" --library-path "$racine/lib" "$@"
fi
exec qemu-i386 -L "$racine" "$@"
