#!/usr/bin/env bash
# The scale bench: the same scan of a small and a large project, to see whether a partner costs
# the same whatever the project's size. Every partner is the same three-page site (the link back
# on the third page), named by an address of its own on the loopback network (127.A.B.C), so no
# name is looked up and the scan's own work is what grows. Usage: bench/scale.sh BUILD_DIR
#   BENCH_SIZES="1000 10000"   the project sizes
#   BENCH_PARALLEL=32          ParallelSites
# Needs root, unshare, ip and python3 (a private network namespace, a server on port 80 there).
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${BENCH_IN_NAMESPACE:-}" ]; then
    if [ "$(id -u)" != 0 ] || ! unshare -n -m true 2> /dev/null; then
        echo "the scale bench needs root and unshare (a private network namespace)" >&2
        exit 1
    fi
    exec env BENCH_IN_NAMESPACE=1 unshare -n -m -- bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build"
fi

sizes=${BENCH_SIZES:-1000 10000}
parallel=${BENCH_PARALLEL:-32}
main_site="www.mymainsite.com"
cli="$build/bin/corvane-cli"
work="$build/bench-scale"
rm -rf "$work"
mkdir -p "$work/app"
cp "$here/../data/filetypes.txt" "$work/app/"

python3 "$here/scale_server.py" 0.0.0.0 "$main_site" > "$work/server.out" 2>&1 &
server=$!
trap 'kill $server 2> /dev/null || true' EXIT
for _ in $(seq 50); do grep -q ready "$work/server.out" 2> /dev/null && break; sleep 0.1; done

echo "== One scan of N partners, three pages each, ParallelSites=$parallel (start-up included) =="
printf '%-10s %10s %14s %12s %14s %16s\n' partners seconds "ms a partner" "x smallest" "peak MB" "KB a partner"
first=""
for n in $sizes; do
    project="$work/p$n.prj"
    {
        printf '%s\r\n' "$main_site"
        for ((i = 0; i < n; i++)); do
            printf '127.%d.%d.%d|1|||\r\n' $((i / 62500 + 1)) $((i / 250 % 250 + 1)) $((i % 250 + 1))
        done
    } > "$project"
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/mem$n" "$cli" scan "$project" --app-dir "$work/app" --quiet \
        --set ParallelSites="$parallel" --set txtTimeout=20 > "$work/out$n" 2>&1 || true
    end=$(date +%s.%N)
    secs=$(echo "$end - $start" | bc -l)
    per=$(echo "$secs * 1000 / $n" | bc -l)
    [ -n "$first" ] || first=$per
    kb=$(cat "$work/mem$n")
    printf '%-10s %10.1f %14.2f %12.2f %14.0f %16.1f\n' "$n" "$secs" "$per" "$(echo "$per / $first" | bc -l)" \
        "$(echo "$kb / 1024" | bc -l)" "$(echo "$kb / $n" | bc -l)"
    tail -1 "$work/out$n" | sed 's/^/           /'
done
