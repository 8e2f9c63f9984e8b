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

# Starts a JACK server of our own on its dummy driver (44100 Hz, 1024 frames), which no
# client may start in our place, for at most SECONDS; sets JACK_PID. Its log goes to
# WORK/jackd.log. Fails (status 1) when it does not come up.
start_private_jack_server() {
  local work=$1 seconds=$2
  export JACK_DEFAULT_SERVER=korvalex-$$ JACK_NO_START_SERVER=1 JACK_NO_AUDIO_RESERVATION=1
  timeout -k 10 "$seconds" jackd --no-realtime --name "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 1024 \
    >"$work/jackd.log" 2>&1 &
  JACK_PID=$!
  timeout 60 jack_wait --wait --timeout 30 --server "$JACK_DEFAULT_SERVER" >"$work/jack-wait.log" 2>&1
}

stop_private_jack_server() {
  if [ -n "${JACK_PID:-}" ]; then
    kill "$JACK_PID" 2>/dev/null || true
    wait "$JACK_PID" 2>/dev/null || true
    JACK_PID=
  fi
}
