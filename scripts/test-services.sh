# Sourced by the test script: a virtual display and a sound server with a null sink, so that GUI
# and audio tests run on a machine without either. Both stop when the caller exits.
#
# A service the tests need that cannot be had ends start_test_services with a message and a
# non-zero status: without it the GUI and sound tests would skip, and a stage that skips them
# proves nothing.

test_services_fail() {
  echo "test-services: $*" >&2
  return 1
}

start_test_services() {
  trap stop_test_services EXIT

  # The display: the caller's own, or an Xvfb of ours.
  if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null ||
      { test_services_fail "Xvfb is missing (scripts/install-deps installs it)"; return 1; }
    local n=99
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    local xvfb_log
    xvfb_log=$(mktemp)
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$xvfb_log" 2>&1 &
    KALDER_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$KALDER_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if [ ! -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$KALDER_XVFB_PID" 2>/dev/null; then
      cat "$xvfb_log" >&2
      rm -f "$xvfb_log"
      test_services_fail "Xvfb did not start on display :$n"
      return 1
    fi
    rm -f "$xvfb_log"
  fi

  # The sound server: one that runs already (a desktop's, with its default sink), or ours with
  # a null sink as the default sink and its monitor as the default source.
  command -v pulseaudio >/dev/null ||
    { test_services_fail "pulseaudio is missing (scripts/install-deps installs it)"; return 1; }
  if ! pulseaudio --check 2>/dev/null; then
    local pulse_log
    pulse_log=$(mktemp)
    if pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false \
      -n --load=module-null-sink --load=module-native-protocol-unix >"$pulse_log" 2>&1; then
      KALDER_PULSE_STARTED=1
    fi
    # Another run of this script may have started one meanwhile: what counts is that one runs.
    if ! pulseaudio --check 2>/dev/null; then
      cat "$pulse_log" >&2
      rm -f "$pulse_log"
      test_services_fail "the PulseAudio sound server did not start"
      return 1
    fi
    rm -f "$pulse_log"
  fi
  if command -v pactl >/dev/null && ! pactl info 2>/dev/null | grep -q '^Default Sink: .'; then
    test_services_fail "the sound server runs but has no default sink"
    return 1
  fi

  # The screen saver test runs a session bus of its own.
  command -v dbus-daemon >/dev/null ||
    { test_services_fail "dbus-daemon is missing (scripts/install-deps installs it)"; return 1; }
  return 0
}

stop_test_services() {
  if [ -n "${KALDER_XVFB_PID:-}" ]; then kill "$KALDER_XVFB_PID" 2>/dev/null || true; fi
  if [ -n "${KALDER_PULSE_STARTED:-}" ]; then pulseaudio --kill 2>/dev/null || true; fi
}
