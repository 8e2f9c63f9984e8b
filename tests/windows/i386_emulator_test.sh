#!/bin/bash
# Checks scripts/setup-i386-emulator.sh and the reasons scripts/wine-env.sh gives, without
# changing the machine: every case runs in a user namespace of its own with a private
# binfmt_misc instance (Linux 6.7 or newer), where a refusing entry for 32-bit x86
# programs stands in for a kernel without 32-bit support. The emulator is cached in a
# temporary folder. Needs root, util-linux's unshare and Wine's 32-bit loader.
#
#   tests/windows/i386_emulator_test.sh
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
root=$(pwd)

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null || [ ! -x /usr/lib/wine/wine ]; then
    echo "SKIPPED: needs root, unshare and /usr/lib/wine/wine"
    exit 0
fi

work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT

# Runs "bash -c SCRIPT" in a new user and mount namespace whose ids map one to one onto
# the machine's (so that apt can still drop to its own user), with binfmt_misc mounted
# afresh: a private instance that only the processes in there see.
in_sandbox() {
    unshare --user --mount --fork --kill-child bash -c '
        until [ -n "$(cat /proc/self/uid_map)" ]; do :; done
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || exit 1
        exec bash -c "$1"' sandbox "$1" &
    local pid=$! own_ns; own_ns=$(readlink /proc/self/ns/user)
    # Map the ids once the child is in its own namespace.
    while [ "$(readlink "/proc/$pid/ns/user" 2>/dev/null)" = "$own_ns" ]; do :; done
    if ! { echo '0 0 4294967295' >"/proc/$pid/gid_map" && echo '0 0 4294967295' >"/proc/$pid/uid_map"; }; then
        kill "$pid" 2>/dev/null  # it would wait for its ids for ever
    fi
    wait "$pid"
}

# The sandbox needs user namespaces and private binfmt_misc instances (Linux 6.7 or newer).
if ! probe=$(in_sandbox 'true' 2>&1); then
    echo "SKIPPED: no sandbox with a binfmt_misc of its own can be made here: $probe"
    exit 0
fi

passed=0 failed=0
check() {  # check NAME COMMAND...: the command must succeed
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); echo "ok   $name"
    else failed=$((failed + 1)); echo "FAIL $name"; fi
}

export KORVALEX_CACHE_DIR="$work/cache" WORK="$work" SCRIPTS="$root/scripts"
# An emulator too old for Wine, already in the cache.
export OLD_QEMU="$KORVALEX_CACHE_DIR/qemu-7.2.0/qemu-i386"
mkdir -p "${OLD_QEMU%/*}"
printf '#!/bin/sh\necho "qemu-i386 version 7.2.0 (Debian 1:7.2+dfsg-7)"\n' >"$OLD_QEMU"
chmod 755 "$OLD_QEMU"

in_sandbox '
    binfmt=/proc/sys/fs/binfmt_misc
    elf_i386="\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
    elf_i386+=":\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
    setup() { bash "$SCRIPTS/setup-i386-emulator.sh" "$@"; }
    # What a kernel without 32-bit support does with a 32-bit program: refuse it.
    printf "%s" ":refuse-i386:M::$elf_i386:/bin/false:" >$binfmt/register || exit 1
    source "$SCRIPTS/wine-env.sh"; wine_env_init "$WORK"
    wine_win32_check >"$WORK/why" && exit 2
    setup --status >"$WORK/status-before" 2>&1
    # A stale entry of ours, whose emulator is too old for Wine.
    printf "%s" ":korvalex-i386:M::$elf_i386:$OLD_QEMU:PF" >$binfmt/register || exit 3
    setup >"$WORK/setup-1" 2>&1 || exit 4
    cp $binfmt/korvalex-i386 "$WORK/entry-1"
    "$WINE32" --version >"$WORK/wine-version" 2>&1 || exit 5
    setup >"$WORK/setup-2" 2>&1 || exit 6
    cp $binfmt/korvalex-i386 "$WORK/entry-2"
    setup --remove >"$WORK/remove" 2>&1 || exit 7
    ls $binfmt >"$WORK/entries-after"
    ! "$WINE32" --version >/dev/null 2>&1 || exit 8
'
sandbox_status=$?
[ "$sandbox_status" = 0 ] || tail -n 20 "$work"/setup-* 2>/dev/null

check "the sandbox ran every step (status $sandbox_status)" test "$sandbox_status" = 0
check "without 32-bit support the reason names the emulator setup" \
    grep -q 'run scripts/setup-i386-emulator.sh' "$work/why"
check "--status reports that 32-bit programs do not run" \
    grep -q 'do not run' "$work/status-before"
check "setup registers a fetched emulator of qemu 8 or newer, not the cached 7.2" \
    grep -Eq "^interpreter $KORVALEX_CACHE_DIR/qemu-([89]|[1-9][0-9])\.[0-9.]+/qemu-i386$" "$work/entry-1"
check "the entry is enabled" grep -qx enabled "$work/entry-1"
check "the entry keeps argv[0] and holds the emulator open" grep -qx 'flags: PF' "$work/entry-1"
check "the entry matches 32-bit x86 ELF files" \
    grep -qx 'magic 7f454c4601010100000000000000000002000300' "$work/entry-1"
check "Wine's 32-bit loader runs through the emulator" grep -q '^wine-' "$work/wine-version"
check "a second setup keeps the entry as it is" cmp -s "$work/entry-1" "$work/entry-2"
check "a second setup says so" grep -q 'already registered' "$work/setup-2"
check "--remove takes the entry away" bash -c "! grep -qx korvalex-i386 '$work/entries-after'"
check "--remove leaves other entries alone" grep -qx refuse-i386 "$work/entries-after"
check "--remove deletes the cached emulators" test ! -e "$KORVALEX_CACHE_DIR"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
