#!/usr/bin/env bash
# The project bench: a project of many partners on a slow network, scanned one Linking Site at a
# time (ParallelSites=1) and with the default setting, side by side with the lower bound (the
# slowest single partner scanned alone). Usage: bench/partners.sh BUILD_DIR
#   BENCH_LIVE=40 BENCH_REFUSED=6 BENCH_SILENT=2  the partners: live ones of 4 pages each, hosts
#                                                 that refuse connections, hosts that accept and
#                                                 never answer
#   BENCH_DELAY_MS=60                             how long the live partners hold back each answer
#   BENCH_TIMEOUT=5                               the scan's idle timeout (txtTimeout)
# Needs root, unshare, ip and python3: the partners' host names live in a hosts file of the
# bench's own, bind-mounted over /etc/hosts in a private network and mount namespace (the
# machine's own /etc/hosts is never touched); the servers listen on loopback addresses there.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${BENCH_IN_NAMESPACE:-}" ]; then
    if [ "$(id -u)" != 0 ] || ! unshare -n -m true 2> /dev/null; then
        echo "the project bench needs root and unshare (a private network namespace)" >&2
        exit 1
    fi
    exec env BENCH_IN_NAMESPACE=1 unshare -n -m -- bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build"
fi

live=${BENCH_LIVE:-40}
refused=${BENCH_REFUSED:-6}
silent=${BENCH_SILENT:-2}
delay=${BENCH_DELAY_MS:-60}
timeout=${BENCH_TIMEOUT:-5}
main_site="www.mymainsite.com"
cli="$build/bin/corvane-cli"
work="$build/bench-partners"
rm -rf "$work"
mkdir -p "$work/app"
cp "$build/bin/filetypes.txt" "$work/app/" 2> /dev/null || cp "$here/../data/filetypes.txt" "$work/app/"

# Live partners answer on 127.0.0.2, the silent ones on 127.0.0.3; nothing listens on
# 127.0.0.4, so its hosts refuse every connection.
{
    echo "127.0.0.1 localhost"
    for ((i = 1; i <= live; i++)); do echo "127.0.0.2 live$i.bench"; done
    for ((i = 1; i <= silent; i++)); do echo "127.0.0.3 silent$i.bench"; done
    for ((i = 1; i <= refused; i++)); do echo "127.0.0.4 refused$i.bench"; done
} > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts

python3 "$here/partner_server.py" 127.0.0.2 127.0.0.3 "$main_site" "$delay" > "$work/server.out" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2> /dev/null || true' EXIT
for _ in $(seq 50); do grep -q ready "$work/server.out" 2> /dev/null && break; sleep 0.1; done

# The partners in an order a webmaster's project might have: the dead ones among the others.
project() { # project FILE HOST... : one Main Site and these Linking Sites
    local file=$1
    shift
    { printf '%s\r\n' "$main_site"; for h in "$@"; do printf '%s|1|||\r\n' "$h"; done
      printf 'HTML01:\r\nHTML02:\r\nHTML03:\r\n\r\n'; } > "$file"
}
hosts=()
for ((i = 1; i <= live; i++)); do
    hosts+=("live$i.bench")
    ((i % 7 == 3)) && ((i / 7 < refused)) && hosts+=("refused$((i / 7 + 1)).bench")
    ((i % 19 == 9)) && ((i / 19 < silent)) && hosts+=("silent$((i / 19 + 1)).bench")
done
for ((i = 1; i <= refused; i++)); do [[ " ${hosts[*]} " == *" refused$i.bench "* ]] || hosts+=("refused$i.bench"); done
for ((i = 1; i <= silent; i++)); do [[ " ${hosts[*]} " == *" silent$i.bench "* ]] || hosts+=("silent$i.bench"); done
project "$work/all.prj" "${hosts[@]}"

now() { date +%s.%N; }
calc() { echo "$1" | bc -l; }
scan() { # scan NAME PROJECT [--set ...]: the seconds it took, the verdicts in its JSON
    local name=$1 prj=$2 t0 t1
    shift 2
    t0=$(now)
    "$cli" scan "$prj" --app-dir "$work/app" --set "txtTimeout=$timeout" --set cmbAdvance=1 "$@" \
        --json "$work/$name.json" --quiet > "$work/$name.out" 2> "$work/$name.err" || true
    t1=$(now)
    calc "$t1 - $t0"
}
verdicts() { # the Linking Site and its statuses, one a line
    python3 -c 'import json,sys
for p in json.load(open(sys.argv[1]))["linkingSites"]:
    print(p["linkingSite"], "|", ", ".join(p["statuses"]))' "$1"
}
right() { # how many verdicts are what each kind of partner must give
    verdicts "$1" | awk -F' [|] ' '
        $1 ~ /^live/    && $2 == "Direct Link" { ok++ }
        $1 ~ /^silent/  && $2 == "None Found (Timeout)" { ok++ }
        $1 ~ /^refused/ && ($2 == "None Found (Connection refused)" || $2 == "None Found (Timeout)") { ok++ }
        END { print ok + 0 }'
}

echo "Project bench: ${#hosts[@]} partners ($live live of 4 pages, answers held back $delay ms;" \
    "$refused refusing connections; $silent silent), timeout $timeout s"

# The lower bound: no scan of the project can end before its slowest partner is done.
slowest=0
slowest_kind=""
for kind in live1 refused1 silent1; do
    project "$work/one-$kind.prj" "$kind.bench"
    secs=$(scan "one-$kind" "$work/one-$kind.prj" --set ParallelSites=1)
    if [ "$(calc "$secs > $slowest")" = 1 ]; then slowest=$secs; slowest_kind=$kind; fi
done

one=$(scan one "$work/all.prj" --set ParallelSites=1)
default=$(scan default "$work/all.prj")
default_n=$("$cli" help settings 2> /dev/null | awk '$1 == "ParallelSites" { gsub(/"/, "", $2); print $2 }')

total=${#hosts[@]}
ok_one=$(right "$work/one.json")
ok_default=$(right "$work/default.json")
same=no
verdicts "$work/one.json" > "$work/one.verdicts"
verdicts "$work/default.json" > "$work/default.verdicts"
cmp -s "$work/one.verdicts" "$work/default.verdicts" && same=yes
refused_reason=$(verdicts "$work/default.json" | awk -F' [|] ' '$1 ~ /^refused/ { print $2; exit }')

verdict() { [ "$(calc "$1")" = 1 ] && echo "ok" || echo "MISSED"; }
echo
echo "== Project scan (seconds, start-up included) =="
printf '%-34s %8s %10s %16s\n' "" "seconds" "x bound" "verdicts right"
printf '%-34s %8.1f %10s %16s\n' "lower bound (slowest: $slowest_kind)" "$slowest" "1.00" ""
printf '%-34s %8.1f %10.2f %16s\n' "ParallelSites=1" "$one" "$(calc "$one / $slowest")" "$ok_one of $total"
printf '%-34s %8.1f %10.2f %16s\n' "ParallelSites=$default_n (the default)" "$default" \
    "$(calc "$default / $slowest")" "$ok_default of $total"
echo
echo "default within 2 x the lower bound: $(verdict "$default <= 2 * $slowest")"
echo "every verdict right: $(verdict "$ok_one == $total && $ok_default == $total")"
echo "the same verdicts either way: $same"
echo "(a refusing host says: ${refused_reason:-?}; while it says \"None Found (Timeout)\" every"
echo " dead host costs the whole idle timeout)"
