#!/bin/bash
# Lets a machine whose kernel runs no 32-bit x86 programs run them anyway, Wine's 32-bit
# loader among them: qemu's user-mode emulator for i386, registered for 32-bit x86 ELF
# files in binfmt_misc under one entry of our own, "korvalex-i386". Run as root.
#
#   scripts/setup-i386-emulator.sh            set up (nothing is done where 32-bit
#                                             programs run natively)
#   scripts/setup-i386-emulator.sh --force    register the emulator even so
#   scripts/setup-i386-emulator.sh --status   tell how 32-bit programs run here
#   scripts/setup-i386-emulator.sh --remove   remove the entry and the cached emulator
#
# The emulator is qemu-i386 from Debian's qemu-user package in bookworm-backports: qemu 8
# or newer is needed (older ones ignore MAP_FIXED_NOREPLACE, and Wine fails to reserve its
# address space: "failed to map the shared user data: c0000018"). The package is fetched
# through a private apt source list (scripts/apt-private.sh); only its statically linked
# qemu-i386 is kept, in $KORVALEX_CACHE_DIR/qemu-VERSION/ (default /var/cache/korvalex).
# The entry lasts until --remove or the next reboot. It needs the wine32:i386 package
# (scripts/install-deps.sh), whose loader serves to try whether 32-bit programs start.
set -euo pipefail
shopt -s inherit_errexit  # failures inside $(...) stop the script too
scripts=$(cd "$(dirname "$0")" && pwd)
source "$scripts/apt-private.sh"

cache_dir=${KORVALEX_CACHE_DIR:-/var/cache/korvalex}
binfmt=/proc/sys/fs/binfmt_misc
entry_name=korvalex-i386
entry=$binfmt/$entry_name
# A 32-bit little-endian ELF executable or shared object for the 386 (machine 3); the mask
# lets the OS/ABI byte, the padding and the low bit of the file type vary.
elf_i386_magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
elf_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
elf_i386_magic_hex=7f454c4601010100000000000000000002000300
min_qemu_major=8
# A 32-bit program every machine with Wine's 32-bit half has.
probe=/usr/lib/wine/wine

say() { echo "i386 emulator: $*"; }
die() { echo "i386 emulator: $*" >&2; exit 1; }

# "10.0.2" from "qemu-i386 version 10.0.2 (Debian ...)"; empty if it does not run.
qemu_version() { "$1" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9][0-9.]*\).*/\1/p'; }
qemu_usable() {
    local version; version=$(qemu_version "$1")
    [ -n "$version" ] && [ "${version%%.*}" -ge "$min_qemu_major" ]
}

runs_32bit() { [ -x "$probe" ] && "$probe" --version >/dev/null 2>&1; }
binfmt_mounted() { [ -e "$binfmt/register" ]; }
registered_interpreter() { sed -n 's/^interpreter //p' "$entry" 2>/dev/null; }
# Other enabled binfmt_misc entries for 32-bit x86 programs (an emulator the system set up).
other_i386_entries() {
    local e
    binfmt_mounted || return 0
    for e in "$binfmt"/*; do
        case "${e##*/}" in register|status|"$entry_name") continue ;; esac
        grep -qx enabled "$e" 2>/dev/null && grep -qx "magic $elf_i386_magic_hex" "$e" && echo "${e##*/}"
    done
    return 0
}

status() {
    if [ -e "$entry" ]; then
        local interpreter; interpreter=$(registered_interpreter)
        say "entry $entry_name: $(head -n1 "$entry"), interpreter $interpreter" \
            "(qemu $(qemu_version "$interpreter" || true))"
    else
        say "entry $entry_name: not registered"
    fi
    local others; others=$(other_i386_entries)
    [ -z "$others" ] || say "other binfmt_misc entries for 32-bit x86 programs: $others"
    if ! [ -x "$probe" ]; then
        say "cannot tell whether 32-bit programs run: $probe (package wine32:i386) is missing"
    elif runs_32bit; then
        if [ -e "$entry" ] || [ -n "$others" ]; then say "32-bit programs run, through binfmt_misc"
        else say "32-bit programs run natively"; fi
    else
        say "32-bit programs do not run here"
    fi
}

remove() {
    if [ -e "$entry" ]; then
        echo -1 >"$entry"
        say "removed the binfmt_misc entry $entry_name"
    fi
    if [ -d "$cache_dir" ]; then
        rm -rf "$cache_dir"/qemu-*
        rmdir "$cache_dir" 2>/dev/null || true
        say "removed the cached emulator from $cache_dir"
    fi
}

# Prints the path of a cached qemu-i386 of a usable version, fetching it if needed.
cached_emulator() {
    local qemu
    for qemu in "$cache_dir"/qemu-*/qemu-i386; do
        if [ -x "$qemu" ] && qemu_usable "$qemu"; then echo "$qemu"; return; fi
    done
    local work; work=$(mktemp -d)
    chmod 755 "$work"  # apt downloads as its own unprivileged user
    # shellcheck disable=SC2064  # the folder is known now
    trap "rm -rf '$work'" EXIT  # this runs in a subshell of its own: $(cached_emulator)
    say "fetching qemu-user from $(debian_codename)-backports" >&2
    private_apt_init "$work/apt" "deb $KORVALEX_DEBIAN_MIRROR $(debian_codename)-backports main"
    (cd "$work/apt/downloads" && private_apt "$work/apt" apt-get -qq download "qemu-user/$(debian_codename)-backports")
    local deb; deb=$(echo "$work"/apt/downloads/qemu-user_*.deb)
    [ -f "$deb" ] || die "the qemu-user package could not be fetched"
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" ./usr/bin/qemu-i386 ||
        die "$deb has no usr/bin/qemu-i386"
    qemu="$work/usr/bin/qemu-i386"
    local version; version=$(qemu_version "$qemu")
    qemu_usable "$qemu" || die "the fetched qemu-i386 (version '${version:-unknown}') is older than $min_qemu_major or does not run"
    mkdir -p "$cache_dir/qemu-$version"
    install -m 755 "$qemu" "$cache_dir/qemu-$version/qemu-i386"
    echo "$cache_dir/qemu-$version/qemu-i386"
}

register() {
    local qemu=$1
    if ! binfmt_mounted; then
        mount -t binfmt_misc binfmt_misc "$binfmt" || die "cannot mount binfmt_misc on $binfmt"
    fi
    [ ! -e "$entry" ] || echo -1 >"$entry"
    # P: the program sees its own argv[0]; F: the kernel opens the emulator now, so that it
    # is found from any mount namespace and keeps working if its file goes.
    printf '%s' ":$entry_name:M::$elf_i386_magic:$elf_i386_mask:$qemu:PF" >"$binfmt/register" ||
        die "the kernel refused the binfmt_misc entry"
}

setup() {
    local force=$1
    [ -x "$probe" ] || die "$probe is missing: install wine32:i386 first (scripts/install-deps.sh)"
    [ "$(id -u)" -eq 0 ] || die "registering an emulator needs root"
    if [ -e "$entry" ]; then
        local interpreter; interpreter=$(registered_interpreter)
        if grep -qx enabled "$entry" && qemu_usable "$interpreter" && runs_32bit; then
            say "already registered: $interpreter (qemu $(qemu_version "$interpreter"))"
            return
        fi
        echo -1 >"$entry"  # stale: its emulator is gone or too old
    fi
    if [ "$force" = 0 ] && [ -z "$(other_i386_entries)" ] && runs_32bit; then
        say "32-bit programs run natively here; no emulator needed"
        return
    fi
    local qemu; qemu=$(cached_emulator)
    register "$qemu"
    runs_32bit || die "registered $qemu, but 32-bit programs still do not start" \
        "(binfmt_misc $(cat "$binfmt/status" 2>/dev/null || echo unavailable))"
    say "registered $qemu (qemu $(qemu_version "$qemu")) for 32-bit x86 programs as binfmt_misc entry $entry_name"
}

case "${1:-}" in
    "") setup 0 ;;
    --force) setup 1 ;;
    --status) status ;;
    --remove) remove ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//' ;;
    *) echo "setup-i386-emulator: unexpected argument $1" >&2; exit 2 ;;
esac
