#!/bin/bash
# Runs a command as on a machine whose kernel runs 64-bit programs only (IA-32 emulation off),
# on a machine that runs 32-bit programs too: in a mount namespace of its own, the 32-bit
# programs that wine starts (its 32-bit loader and server) and the i386 dynamic linker, which
# every other dynamically linked 32-bit program needs, are each covered by a copy whose ELF
# header names no machine. The kernel refuses to start those copies with "Exec format error",
# as that machine refuses every 32-bit program. The rest of the machine keeps the real files.
# Needs the right to make a mount namespace (root).
#
#   without_32bit.sh COMMAND [ARGUMENT...]
set -euo pipefail

covered=(/usr/lib/wine/wine /usr/lib/wine/wineserver32 /lib/ld-linux.so.2)

if [ "${1:-}" != --inside ]; then
    [ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGUMENT...]" >&2; exit 2; }
    exec unshare --mount --propagation private bash "$0" --inside "$@"
fi
shift

work=$(mktemp -d)
for file in "${covered[@]}"; do
    [ -e "$file" ] || continue
    real=$(readlink -f "$file")
    copy="$work/$(basename "$real")"
    cp "$real" "$copy"
    # e_machine, the 16 bits at offset 18 of the ELF header: 0, no machine.
    printf '\0\0' | dd of="$copy" bs=1 seek=18 conv=notrunc status=none
    mount --bind "$copy" "$real"
done
# The mounts keep the copies.
rm -rf "$work"
exec "$@"
