#!/usr/bin/env bash
# Runs the benchmarks side by side and prints tables of ratios. Usage: bench/run.sh BUILD_DIR
#   BENCH_SIZES="2000 20000"  partner-site sizes for the crawl (a quick run: BENCH_SIZES=2000)
#   BENCH_RUNS=5              rounds of the crawl tools; the fastest run of each is compared
#   BENCH_BASELINE=DIR        also crawl with DIR/corvane-cli (another build) in the same rounds,
#                             so a change is measured before and after in one run
# Needs nginx, wget and GNU time (make bench installs them). Starts its own nginx with its own
# configuration on 127.0.0.1:80 and [::1]:80 and stops it by its PID at the end. Run as root, the
# whole crawl part runs in a private network namespace of its own (a loopback of its own), so an
# nginx or anything else on this machine's port 80 neither disturbs it nor is disturbed.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ "$(id -u)" = 0 ] && [ -z "${BENCH_IN_NAMESPACE:-}" ] && command -v unshare > /dev/null \
    && command -v ip > /dev/null && unshare -n true 2> /dev/null; then
    exec env BENCH_IN_NAMESPACE=1 unshare -n -- bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build"
fi

for tool in nginx wget; do
    if ! command -v "$tool" > /dev/null; then
        echo "$tool is missing: make deps-bench installs it" >&2
        exit 1
    fi
done

bin="$build/bin"
work="$build/bench-work"
main_site="www.mymainsite.com"
sizes=(${BENCH_SIZES:-2000 20000})
runs=${BENCH_RUNS:-5}
baseline=${BENCH_BASELINE:+$(cd "$BENCH_BASELINE" && pwd)}

rm -rf "$work"
mkdir -p "$work/www" "$work/logs" "$work/tmp" "$work/app"
cp "$bin/filetypes.txt" "$work/app/" 2> /dev/null || cp "$here/../data/filetypes.txt" "$work/app/"

echo "Generating partner sites..."
for n in "${sizes[@]}"; do
    python3 "$here/gen_site.py" "$work/www" "s$n" "$n" "$main_site" > "$work/bfs-$n.txt"
done

cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 1024; }
http {
  access_log $work/logs/access.log;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  default_type text/html;
  server { listen 127.0.0.1:80; listen [::1]:80; server_name localhost; root $work/www; }
}
CONF
nginx -c "$work/nginx.conf"
trap 'kill "$(cat "$work/nginx.pid")" 2> /dev/null || true' EXIT
sleep 0.3

# Pages are the pages downloaded: GET requests answered 200. wget's spider also sends a HEAD
# request for every URL before it downloads a page, and for every image; those are requests,
# not pages.
pages_in_log() { grep -c '"GET [^"]*" 200 ' "$work/logs/access.log" || true; }
requests_in_log() { wc -l < "$work/logs/access.log"; }
reset_log() { : > "$work/logs/access.log"; kill -USR1 "$(cat "$work/nginx.pid")"; sleep 0.2; : > "$work/logs/access.log"; }
now() { date +%s.%N; }
calc() { echo "$1" | bc -l; }

# Each tool is timed as a whole command from outside, start-up included, the same way for all.
# The tools take turns, round after round, so that whatever the machine is doing meanwhile (and
# the closed connections the kernel still keeps from earlier rounds) weighs on all of them alike;
# of BENCH_RUNS rounds the fastest run of each tool counts.
declare -A secs_of pages_of scan_rss stall wget_requests whole_requests whole_pages
timed() { # timed NAME COMMAND...: runs it, keeps the fastest time and the pages it fetched
    local name=$1 t0 t1 secs
    shift
    reset_log
    t0=$(now)
    "$@"
    t1=$(now)
    secs=$(calc "$t1 - $t0")
    if [ -z "${secs_of[$name]:-}" ] || [ "$(calc "$secs < ${secs_of[$name]}")" = 1 ]; then
        secs_of[$name]=$secs
        pages_of[$name]=$(pages_in_log)
        [ "${name%%-*}" = wget ] && wget_requests[$name]=$(requests_in_log)
    fi
    return 0
}
scan() { # under GNU time for its peak memory (a fork more, about a millisecond)
    /usr/bin/time -f '%M' -o "$work/rss-$1.txt" "$bin/corvane-cli" scan "$work/p$1.prj" --app-dir "$work/app" \
        --set cmbAdvance=9 --set txtTimeout=10 --stall-report > "$work/scan-$1.out" 2> "$work/scan-$1.err" || true
}
baseline_scan() {
    "$baseline/corvane-cli" scan "$work/p$1.prj" --app-dir "$work/app" --set cmbAdvance=9 \
        --set txtTimeout=10 > /dev/null 2>&1 || true
}
spider() {
    (cd "$work" && wget --spider -r -l inf -nd -q -e robots=off -P "$work/wget" "http://localhost/s$1/index.htm" || true)
}
for n in "${sizes[@]}"; do
    printf '%s\r\nlocalhost/s%s/index.htm|1\r\nHTML01:\r\nHTML02:\r\nHTML03:\r\n\r\n' "$main_site" "$n" > "$work/p$n.prj"
    scan_rss[$n]=0
    stall[$n]=0
    for ((r = 1; r <= runs; r++)); do
        timed "scan-$n" scan "$n"
        grep -q "Direct Link" "$work/scan-$n.out" || echo "warning: the scan of s$n found no link"
        # The largest over the rounds: memory and the longest stall are bounds, not speeds.
        rss=$(grep -o '^[0-9]*$' "$work/rss-$n.txt" | tail -1)
        gap=$(grep -o 'stall: [0-9]*' "$work/scan-$n.err" | grep -o '[0-9]*$' || echo 0)
        [ "$rss" -gt "${scan_rss[$n]}" ] && scan_rss[$n]=$rss
        [ "$gap" -gt "${stall[$n]}" ] && stall[$n]=$gap
        # The loops request what the scan requested, in the same order (every round the same).
        [ "$r" = 1 ] && awk '{print $7}' "$work/logs/access.log" | sed "s|^|localhost|" > "$work/urls-$n.txt"
        timed "loop-$n" "$bin/fetch_loop" < "$work/urls-$n.txt" > /dev/null
        # The same requests through Qt's event loop and QTcpSocket, with nothing else done: what
        # the event-driven fetch itself costs (a reference, not a target).
        timed "qt-$n" "$bin/qt_fetch_loop" < "$work/urls-$n.txt" > /dev/null
        rm -rf "$work/wget"
        timed "wget-$n" spider "$n"
        [ -n "$baseline" ] && timed "base-$n" baseline_scan "$n"
    done
    echo "s$n: corvane ${pages_of[scan-$n]} pages; fetch loop ${pages_of[loop-$n]} pages; qt loop ${pages_of[qt-$n]} pages;" \
        "wget ${pages_of[wget-$n]} pages in ${wget_requests[wget-$n]} requests (fastest of $runs rounds)"
    # A whole crawl of the site: the Linking Site expects two links (the site has one), so the
    # scan visits every page it can reach. Every request counts, whatever its answer.
    printf '%s\r\nlocalhost/s%s/index.htm|2\r\nHTML01:\r\nHTML02:\r\nHTML03:\r\n\r\n' "$main_site" "$n" > "$work/w$n.prj"
    reset_log
    "$bin/corvane-cli" scan "$work/w$n.prj" --app-dir "$work/app" --set cmbAdvance=10 --set txtTimeout=10 \
        > /dev/null 2>&1 || true
    whole_requests[$n]=$(requests_in_log)
    whole_pages[$n]=$(grep '"GET [^"]*" 200 ' "$work/logs/access.log" | awk '{print $7}' | sort -u | wc -l)
done
declare -A scan_pps limit_pps qt_pps wget_pps scan_per_page base_pps
for n in "${sizes[@]}"; do
    scan_pps[$n]=$(calc "${pages_of[scan-$n]} / ${secs_of[scan-$n]}")
    scan_per_page[$n]=$(calc "${secs_of[scan-$n]} / ${pages_of[scan-$n]} * 1000000")
    limit_pps[$n]=$(calc "${pages_of[loop-$n]} / ${secs_of[loop-$n]}")
    qt_pps[$n]=$(calc "${pages_of[qt-$n]} / ${secs_of[qt-$n]}")
    wget_pps[$n]=$(calc "${pages_of[wget-$n]} / ${secs_of[wget-$n]}")
    [ -n "$baseline" ] && base_pps[$n]=$(calc "${pages_of[base-$n]} / ${secs_of[base-$n]}")
done

verdict() { [ "$(calc "$1")" = 1 ] && echo "ok" || echo "MISSED"; }

echo
echo "== Crawl (pages per second, the fastest of $runs rounds for each, side by side) =="
printf '%-8s %10s %10s %10s %10s %10s %6s %10s %6s %10s\n' "site" "corvane" "fetch loop" "qt loop" "wget" \
    "vs loop" "" "vs wget" "" "vs qt loop"
for n in "${sizes[@]}"; do
    vl=$(calc "${scan_pps[$n]} / ${limit_pps[$n]}")
    vw=$(calc "${scan_pps[$n]} / ${wget_pps[$n]}")
    vq=$(calc "${scan_pps[$n]} / ${qt_pps[$n]}")
    printf '%-8s %10.0f %10.0f %10.0f %10.0f %10.2f %6s %10.2f %6s %10.2f\n' "$n" "${scan_pps[$n]}" \
        "${limit_pps[$n]}" "${qt_pps[$n]}" "${wget_pps[$n]}" "$vl" "$(verdict "$vl >= 0.5")" "$vw" \
        "$(verdict "$vw >= 1")" "$vq"
done
if [ -n "$baseline" ]; then
    for n in "${sizes[@]}"; do
        vl=$(calc "${base_pps[$n]} / ${limit_pps[$n]}")
        vw=$(calc "${base_pps[$n]} / ${wget_pps[$n]}")
        vq=$(calc "${base_pps[$n]} / ${qt_pps[$n]}")
        printf '%-8s %10.0f %10.0f %10.0f %10.0f %10.2f %6s %10.2f %6s %10.2f\n' "$n base" "${base_pps[$n]}" \
            "${limit_pps[$n]}" "${qt_pps[$n]}" "${wget_pps[$n]}" "$vl" "$(verdict "$vl >= 0.5")" "$vw" \
            "$(verdict "$vw >= 1")" "$vq"
    done
    echo "(base: $baseline/corvane-cli, crawled in the same rounds)"
fi
echo "(targets: >= 0.5 x the fetch loop, >= 1 x wget; the qt loop is a reference: the same fetches"
echo " through Qt's event loop and QTcpSocket with no analysis)"

echo
echo "== Requests (a whole crawl of each site; its pages as wget's spider found them) =="
printf '%-8s %10s %10s %10s %12s %6s %12s\n' "site" "requests" "pages" "site pages" "per page" "" "every page"
for n in "${sizes[@]}"; do
    per=$(calc "${whole_requests[$n]} / ${whole_pages[$n]}")
    printf '%-8s %10s %10s %10s %12.3f %6s %12s\n' "$n" "${whole_requests[$n]}" "${whole_pages[$n]}" \
        "${pages_of[wget-$n]}" "$per" "$(verdict "$per <= 1.02")" \
        "$(verdict "${whole_pages[$n]} >= ${pages_of[wget-$n]}")"
done
echo "(targets: <= 1.02 requests per page, every page of the site fetched)"

if [ -n "${scan_per_page[2000]:-}" ] && [ -n "${scan_per_page[20000]:-}" ]; then
    echo
    echo "== Growth (20,000 pages against 2,000) =="
    printf '%-22s %12s %12s %8s %8s\n' "" "2,000" "20,000" "ratio" "target"
    ratio=$(calc "${scan_per_page[20000]} / ${scan_per_page[2000]}")
    printf '%-22s %12.1f %12.1f %8.2f %8s %s\n' "per-page time (us)" "${scan_per_page[2000]}" \
        "${scan_per_page[20000]}" "$ratio" "<= 1.3" "$(verdict "$ratio <= 1.3")"
    ratio=$(calc "${scan_rss[20000]} / ${scan_rss[2000]}")
    printf '%-22s %12s %12s %8.2f %8s %s\n' "peak memory (KiB)" "${scan_rss[2000]}" "${scan_rss[20000]}" \
        "$ratio" "<= 1.5" "$(verdict "$ratio <= 1.5")"
fi

echo
echo "== Responsiveness (longest event-loop stall during the crawl, target <= 50 ms) =="
for n in "${sizes[@]}"; do
    echo "s$n: ${stall[$n]} ms $(verdict "${stall[$n]} <= 50")"
done

echo
echo "== Page analysis (a measurement, no target) =="
"$bin/analysis_bench" "$work/app"
echo
echo "== Report and project files =="
"$bin/files_bench"
echo
echo "== Site import =="
"$bin/import_bench"
echo
echo "== Scan history =="
"$bin/history_bench"
