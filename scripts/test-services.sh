# Sourced by the test and demo scripts: a virtual display and a sound server with a null sink,
# so that GUI and audio tests run on a machine without either. Both stop when the caller exits.
start_test_services() {
  if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    local n=99
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    KALDER_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  if command -v pulseaudio >/dev/null && ! pulseaudio --check 2>/dev/null; then
    pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false \
      -n --load=module-null-sink --load=module-native-protocol-unix >/dev/null 2>&1 || true
    KALDER_PULSE_STARTED=1
  fi
  trap stop_test_services EXIT
}

stop_test_services() {
  if [ -n "${KALDER_XVFB_PID:-}" ]; then kill "$KALDER_XVFB_PID" 2>/dev/null || true; fi
  if [ -n "${KALDER_PULSE_STARTED:-}" ]; then pulseaudio --kill 2>/dev/null || true; fi
}
