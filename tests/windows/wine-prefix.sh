# Sourced by the scripts that run tolvar.exe under wine.
# make_wine_prefix: creates the prefix $WINEPREFIX and waits for wine to
# settle. Now and then a fresh prefix does not come up (wineboot ends with a
# Windows status, such as a DLL not found, in its exit code); the prefix is
# then made anew, up to three times, and wineboot's output is shown.
make_wine_prefix() {
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if wineboot --init >"$log" 2>&1 && wineserver --wait; then
      rm -f "$log"
      return 0
    fi
    echo "wineboot --init did not make $WINEPREFIX (try $try of 3):" >&2
    tail -n 20 "$log" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    sleep 2
  done
  rm -f "$log"
  return 1
}
