# shellcheck shell=bash
# Sourced by the host test scripts: timings, and a private home for the host under test.

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

# A private HOME with its XDG folders under WORK/home (and WORK/run), so that a host run
# neither reads nor changes the user's set-up and writes nothing outside WORK.
private_home() {
  local work=$1
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  export HOME=$work/home
  export XDG_CONFIG_HOME=$work/home/.config
  export XDG_CACHE_HOME=$work/home/.cache
  export XDG_DATA_HOME=$work/home/.local/share
  export XDG_RUNTIME_DIR=$work/run
}
