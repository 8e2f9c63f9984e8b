# Sourced by the scripts that run the Windows programs under Wine. One private prefix,
# ROOT/build-wine/prefix, serves the 32-bit and the 64-bit programs (a 64-bit prefix with
# its 32-bit half), and one wineserver with Wine's services is kept running for the whole
# session, so that each program starts in about half a second rather than several.
#
#   wine_env_init ROOT     exports WINEPREFIX, WINEARCH, WINEDEBUG and WINEDLLOVERRIDES; sets
#                          WINE32 and WINE64 (the loaders) and WINESERVER
#   wine_loader 32|64      the loader for programs of that word size
#   wine_session_start     creates the prefix if needed, starts the wineserver and the
#                          services; they end with wine_session_stop, which it also sets
#                          to run when the calling script exits
#   wine_session_stop
#   wine_win32_check       whether 32-bit Windows programs start here; if not, prints why
#
# Windows started in the session use the DISPLAY it was started with: a headless check
# unsets DISPLAY first, one that opens windows sets it to its X server first.
# On a machine whose kernel runs no 32-bit programs, Wine's 32-bit loader runs through
# qemu's user-mode emulator (scripts/setup-i386-emulator.sh); the 64-bit wineserver and
# services run natively.

wine_env_init() {
    export WINEPREFIX="$1/build-wine/prefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogs
    # Debian installs the loaders as /usr/lib/wine/wine (32-bit) and wine64; elsewhere
    # `wine` on the path chooses.
    WINE32=/usr/lib/wine/wine
    WINE64=/usr/lib/wine/wine64
    WINESERVER=/usr/lib/wine/wineserver
    [ -x "$WINE32" ] || WINE32=$(command -v wine || echo /usr/lib/wine/wine)
    [ -x "$WINE64" ] || WINE64=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
    [ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
}

wine_loader() { if [ "$1" = 32 ]; then echo "$WINE32"; else echo "$WINE64"; fi; }

# Linux's side of 32-bit Wine: the kernel (or an emulator) runs the 32-bit loader.
wine_loader32_runs() { "$WINE32" --version >/dev/null 2>&1; }

# A prefix made while 32-bit programs could not run lacks its 32-bit half (syswow64 stays
# empty); it is made again once they can.
wine_prefix_ready() {
    [ -f "$WINEPREFIX/system.reg" ] || return 1
    ! wine_loader32_runs || [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

wine_session_start() {
    "$WINESERVER" -k 2>/dev/null || true  # one left behind by an interrupted run
    if ! wine_prefix_ready; then
        echo "wine: making the prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        "$WINE64" wineboot --init >/dev/null 2>&1 || true
        "$WINESERVER" -w
    fi
    trap wine_session_stop EXIT
    "$WINESERVER" --persistent
    # The first program starts Wine's services, which then stay with the server.
    "$WINE64" cmd /c exit >/dev/null 2>&1 || true
}

wine_session_stop() { "$WINESERVER" -k 2>/dev/null || true; }

wine_win32_check() {
    local out
    if [ ! -x "$WINE32" ]; then
        echo "Wine's 32-bit loader ($WINE32, package wine32:i386) is not installed: run scripts/install-deps.sh"
        return 1
    fi
    if ! wine_loader32_runs; then
        echo "this machine runs no 32-bit x86 programs (its kernel has no 32-bit support) and no"
        echo "emulator is registered for them: run scripts/setup-i386-emulator.sh as root"
        echo "(scripts/install-deps.sh does)"
        return 1
    fi
    out=$(timeout 300 "$WINE32" cmd /c echo win32-ok 2>&1) || true
    if ! grep -q win32-ok <<<"$out"; then
        echo "Wine's 32-bit loader runs, but 32-bit Windows programs do not start (qemu older"
        echo "than 8 emulating them?). Wine said: $(tail -n 3 <<<"$out")"
        bash "$(dirname "${BASH_SOURCE[0]}")/setup-i386-emulator.sh" --status
        return 1
    fi
}
