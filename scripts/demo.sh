#!/bin/sh
# The demo: builds the release launcher, copies it into a scratch folder,
# starts it there and shows what it did.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh release
scratch="$(pwd)/demo-run"
rm -rf "$scratch"
mkdir -p "$scratch/client"
cp build/release/Launcher.exe "$scratch/client/"
# Keep the demo's settings store and window bus out of the user's own.
export XDG_CONFIG_HOME="$scratch/config"
export LAUNCHER_MACHINE_SETTINGS="$scratch/machine"
export LAUNCHER_RUNTIME_DIR="$scratch/run"
echo "== Starting Launcher.exe in $scratch/client"
set +e
(cd "$scratch/client" && DISPLAY= ./Launcher.exe)
code=$?
set -e
echo "== Launcher.exe exited with code $code"
for log in "$scratch"/client/*.log; do
  [ -f "$log" ] || continue
  echo "== $log"
  cat "$log"
done
ls "$scratch"/client/*.log >/dev/null 2>&1 || echo "== No log file was written."
