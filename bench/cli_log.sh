#!/usr/bin/env bash
# Times `tessa-cli log --json` on a 100 000-record month log next to `cat` of the same file.
# Needs the bench preset built (cmake --preset bench && cmake --build --preset bench).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bench/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/201801CallLogBK.dat"
"$bin/bench_decode" --write-month-log "$log"
ls -l "$log"
cat "$log" >/dev/null # warm the page cache
for run in 1 2 3; do
  /usr/bin/time -f "cat:       %e s  %M KB" cat "$log" >/dev/null
  /usr/bin/time -f "tessa-cli: %e s  %M KB" "$bin/tessa-cli" log "$log" --json >"$work/out.json"
done
echo "records listed: $(grep -c '"index"' "$work/out.json")"
