#!/bin/sh
# The demo: builds the release launcher and the publisher tools, publishes a
# sample game with make_update, serves it from a local product server on
# 127.0.0.1, brands a copy of the launcher with that server's address and
# installs it portably in an empty folder ("/auto /portable"), publishes a
# second version and updates the installed client from its folder. It prints the
# launcher's log and what the server was asked.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh release
bin="$(pwd)/build/release"
scratch="$(pwd)/demo-run"
update_path=/skyward-tides/updates/
rm -rf "$scratch"
mkdir -p "$scratch/client" "$scratch/game-v1/data" "$scratch/content"

# Keep the demo's settings store, menus and window bus out of the user's own.
export XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_HOME="$scratch/data"
export LAUNCHER_MACHINE_SETTINGS="$scratch/machine"
export LAUNCHER_RUNTIME_DIR="$scratch/run"

echo "== Publishing version 1 of the sample game"
cp "$bin/server/sample_game" "$scratch/game-v1/SkywardTides.exe"
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "tile %06d of the sample world\n", i }' \
  > "$scratch/game-v1/data/world.txt"
"$bin/make_update" --client "$scratch/game-v1" --out "$scratch/content$update_path" --client-version 1

echo "== Starting the product server"
"$bin/server/product_server" --root "$scratch/content" > "$scratch/server.log" 2>&1 &
server=$!
launcher=
cleanup() {
  [ -n "$launcher" ] && kill "$launcher" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
}
trap cleanup EXIT
port=
for i in $(seq 1 100); do
  port="$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$scratch/server.log")"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the product server did not start:"; cat "$scratch/server.log"; exit 1; }
url="http://127.0.0.1:$port"
echo "   serving $scratch/content at $url"

echo "== Branding a copy of the launcher with $url"
"$bin/launcher_stamp" "$bin/Launcher.exe" "$scratch/client/Launcher.exe" \
  --server-url "$url" --update-path "$update_path"

# The sample game ends by itself a little after it has started.
export SAMPLE_GAME_TIMEOUT_MS=1500
export LAUNCHER_PROGRAM_FILES="$scratch/programs"
client="$scratch/programs/Skyward Tides"

# Runs a launcher (in its folder, without a display) and waits for it; a
# launcher that is still running after a minute is asked to end.
run_launcher() {
  folder="$1"; shift
  (cd "$folder" && exec env DISPLAY= ./Launcher.exe "$@") &
  launcher=$!
  for i in $(seq 1 600); do
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$launcher" 2>/dev/null || true
  set +e
  wait "$launcher"
  code=$?
  set -e
  launcher=
  echo "   Launcher.exe exited with code $code"
}

show_log() {
  log="$(ls -t "$1"/*.log 2>/dev/null | head -n 1)"
  if [ -n "$log" ]; then
    echo "== $log"
    cat "$log"
  else
    echo "== No log file was written in $1."
  fi
}

echo "== Installing: Launcher.exe /auto /portable in the empty folder $scratch/client"
run_launcher "$scratch/client" /auto /portable
show_log "$scratch/client"

echo "== Publishing version 2 (a changed world file, an increment beside the full package)"
cp -r "$scratch/game-v1" "$scratch/game-v2"
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "tile %06d of the sample world, season 2\n", i }' \
  > "$scratch/game-v2/data/world.txt"
rm -rf "$scratch/content$update_path"
"$bin/make_update" --client "$scratch/game-v2" --previous "$scratch/game-v1" \
  --out "$scratch/content$update_path" --client-version 2
sleep 2  # the game of the first run has ended; a new log name for the second run

echo "== Updating: Launcher.exe started from the client folder $client"
run_launcher "$client"
show_log "$client"
sleep 2  # the game the update started ends by itself

echo "== The installed client"
ls -l "$client" "$client/data"
if cmp -s "$scratch/game-v2/data/world.txt" "$client/data/world.txt"; then
  echo "   data/world.txt is version 2, byte for byte"
else
  echo "   data/world.txt differs from version 2"
  exit 1
fi
echo "== Requests the product server answered"
grep -v '^listening' "$scratch/server.log" || true
echo "== Everything is in $scratch"
