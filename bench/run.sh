#!/usr/bin/env bash
# Runs the benchmarks side by side and prints tables of ratios. Usage: bench/run.sh BUILD_DIR
# Needs nginx, wget and GNU time (make bench installs them). Starts its own nginx on 127.0.0.1:80
# and [::1]:80 with its own configuration and stops it by its PID at the end.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bin="$build/bin"
work="$build/bench-work"
main_site="www.mymainsite.com"
sizes=(${BENCH_SIZES:-2000 20000})

rm -rf "$work"
mkdir -p "$work/www" "$work/logs" "$work/tmp" "$work/app"
cp "$build/bin/filetypes.txt" "$work/app/" 2>/dev/null || true

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
trap 'kill "$(cat "$work/nginx.pid")" 2>/dev/null || true' EXIT
sleep 0.3

pages_in_log() { wc -l < "$work/logs/access.log"; }
reset_log() { : > "$work/logs/access.log"; kill -USR1 "$(cat "$work/nginx.pid")"; sleep 0.2; : > "$work/logs/access.log"; }
now() { date +%s.%N; }

declare -A scan_pps limit_pps wget_pps scan_per_page scan_rss stall
for n in "${sizes[@]}"; do
    prj="$work/p$n.prj"
    printf '%s\r\nlocalhost/s%s/index.htm|1\r\nHTML01:\r\nHTML02:\r\nHTML03:\r\n\r\n' "$main_site" "$n" > "$prj"

    reset_log
    t0=$(now)
    /usr/bin/time -f '%M' -o "$work/rss-$n.txt" "$bin/corvane-cli" scan "$prj" --app-dir "$work/app" \
        --set cmbAdvance=9 --set txtTimeout=10 --stall-report > "$work/scan-$n.out" 2> "$work/scan-$n.err" || true
    t1=$(now)
    pages=$(pages_in_log)
    secs=$(echo "$t1 - $t0" | bc -l)
    scan_pps[$n]=$(echo "$pages / $secs" | bc -l)
    scan_per_page[$n]=$(echo "$secs / $pages * 1000000" | bc -l)
    scan_rss[$n]=$(cat "$work/rss-$n.txt")
    stall[$n]=$(grep -o 'stall: [0-9]*' "$work/scan-$n.err" | grep -o '[0-9]*$' || echo "?")
    grep -q "Direct Link" "$work/scan-$n.out" || echo "warning: the scan of s$n found no link"
    awk '{print $7}' "$work/logs/access.log" | sed "s|^|localhost|" > "$work/urls-$n.txt"

    reset_log
    read -r lpages lsecs < <("$bin/fetch_loop" < "$work/urls-$n.txt")
    limit_pps[$n]=$(echo "$lpages / $lsecs" | bc -l)

    reset_log
    rm -rf "$work/wget"
    t0=$(now)
    (cd "$work" && wget --spider -r -l inf -nd -q -e robots=off -P "$work/wget" "http://localhost/s$n/index.htm" || true)
    t1=$(now)
    wpages=$(pages_in_log)
    wsecs=$(echo "$t1 - $t0" | bc -l)
    wget_pps[$n]=$(echo "$wpages / $wsecs" | bc -l)
    echo "s$n: corvane $pages pages in ${secs}s; fetch loop $lpages in ${lsecs}s; wget $wpages in ${wsecs}s"
done

echo
echo "== Crawl (pages per second, one run, side by side) =="
printf '%-8s %12s %12s %12s %14s %14s\n' "site" "corvane" "fetch loop" "wget" "vs loop (>=0.5)" "vs wget (>=1)"
for n in "${sizes[@]}"; do
    printf '%-8s %12.0f %12.0f %12.0f %14.2f %14.2f\n' "$n" "${scan_pps[$n]}" "${limit_pps[$n]}" "${wget_pps[$n]}" \
        "$(echo "${scan_pps[$n]} / ${limit_pps[$n]}" | bc -l)" "$(echo "${scan_pps[$n]} / ${wget_pps[$n]}" | bc -l)"
done

echo
echo "== Growth (20,000 pages against 2,000) =="
printf '%-22s %12s %12s %8s %8s\n' "" "2,000" "20,000" "ratio" "target"
printf '%-22s %12.1f %12.1f %8.2f %8s\n' "per-page time (us)" "${scan_per_page[2000]}" "${scan_per_page[20000]}" \
    "$(echo "${scan_per_page[20000]} / ${scan_per_page[2000]}" | bc -l)" "<= 1.3"
printf '%-22s %12s %12s %8.2f %8s\n' "peak memory (KiB)" "${scan_rss[2000]}" "${scan_rss[20000]}" \
    "$(echo "${scan_rss[20000]} / ${scan_rss[2000]}" | bc -l)" "<= 1.5"

echo
echo "== Responsiveness (longest event-loop stall during the crawl, target <= 50 ms) =="
for n in "${sizes[@]}"; do echo "s$n: ${stall[$n]} ms"; done

echo
echo "== Page analysis =="
"$bin/analysis_bench" "$work/app"
echo
echo "== Report and project files =="
"$bin/files_bench"
echo
echo "== Site import =="
"$bin/import_bench"
