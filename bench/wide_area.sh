#!/usr/bin/env bash
# The wide-area bench: one partner of 31 pages (the link back on the last one) behind a relay that
# adds a 50 ms round trip, over http and over https, scanned by corvane-cli and fetched by wget -r,
# side by side with the lower bound (one round trip a page, plus the connection's handshakes). The
# relay counts the connections each run opened. Usage: bench/wide_area.sh BUILD_DIR
#   BENCH_RTT_MS=50   the round trip the relay adds
#   BENCH_RUNS=3      runs of each; the fastest is shown
# Needs root, unshare, ip, nginx, wget, openssl and python3. Everything runs in a private network
# and mount namespace: the partner's name lives in a hosts file of the bench's own and the test
# certificate authority in a certificate folder of its own, both bind-mounted there (the
# machine's own /etc/hosts and /etc/ssl/certs are never touched).
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
relay_py=${BENCH_RELAY:-$here/../../shared/tools/latency_proxy.py}

if [ -z "${BENCH_IN_NAMESPACE:-}" ]; then
    if [ "$(id -u)" != 0 ] || ! unshare -n -m true 2> /dev/null; then
        echo "the wide-area bench needs root and unshare (a private network namespace)" >&2
        exit 1
    fi
    exec env BENCH_IN_NAMESPACE=1 unshare -n -m -- bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$build"
fi
if [ ! -f "$relay_py" ]; then
    echo "the relay is missing: $relay_py (BENCH_RELAY names another)" >&2
    exit 1
fi

rtt=${BENCH_RTT_MS:-50}
runs=${BENCH_RUNS:-3}
pages=31
main_site="www.mymainsite.com"
cli="$build/bin/corvane-cli"
work="$build/bench-wide"
rm -rf "$work"
mkdir -p "$work/www" "$work/logs" "$work/tmp" "$work/app" "$work/certs"
cp "$build/bin/filetypes.txt" "$work/app/" 2> /dev/null || cp "$here/../data/filetypes.txt" "$work/app/"

# The site: the home page links to every other page; the last one links back.
{
    echo "<html><head><title>Partner</title></head><body><h1>Friends</h1>"
    for i in $(seq 1 $((pages - 1))); do echo "<p><a href=\"p$i.html\">Page $i</a></p>"; done
    echo "</body></html>"
} > "$work/www/index.html"
filler=$(head -c 6000 /dev/zero | tr '\0' 'x')
for i in $(seq 1 $((pages - 1))); do
    back=""
    [ "$i" = $((pages - 1)) ] && back="<a href=\"http://$main_site/\">My site</a>"
    echo "<html><body><p>Page $i</p><p>$filler</p>$back</body></html>" > "$work/www/p$i.html"
done

# A certificate authority of the bench's own, trusted inside the namespace only.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=partner.test" \
    -addext "subjectAltName=DNS:partner.test" -keyout "$work/partner.key" \
    -out "$work/partner.crt" 2> /dev/null
cp "$work/partner.crt" "$work/certs/"
openssl rehash "$work/certs" 2> /dev/null || c_rehash "$work/certs" > /dev/null
mount --bind "$work/certs" /etc/ssl/certs
printf '127.0.0.1 localhost\n127.0.0.2 partner.test\n' > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts

cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log $work/logs/access.log;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  default_type text/html;
  keepalive_requests 1000;
  server { listen 127.0.0.1:8080; server_name partner.test; root $work/www; }
  server {
    listen 127.0.0.1:8443 ssl; server_name partner.test; root $work/www;
    ssl_certificate $work/partner.crt; ssl_certificate_key $work/partner.key;
  }
}
CONF
nginx -c "$work/nginx.conf"
relays=()
cleanup() {
    for p in "${relays[@]}"; do kill "$p" 2> /dev/null || true; done
    kill "$(cat "$work/nginx.pid")" 2> /dev/null || true
}
trap cleanup EXIT
python3 "$relay_py" 127.0.0.2:80 127.0.0.1:8080 --rtt-ms "$rtt" --log "$work/logs/relay80.log" &
relays+=($!)
python3 "$relay_py" 127.0.0.2:443 127.0.0.1:8443 --rtt-ms "$rtt" --log "$work/logs/relay443.log" &
relays+=($!)
sleep 1

printf 'http://%s\r\n' "$main_site" > "$work/http.prj"
printf 'partner.test|1\r\n' >> "$work/http.prj"
printf 'http://%s\r\n' "$main_site" > "$work/https.prj"
printf 'https://partner.test|1\r\n' >> "$work/https.prj"

connections() {
    local n
    n=$(grep -c '^conn' "$1" 2> /dev/null) || true
    echo "${n:-0}"
}

# Prints "seconds connections" of the fastest of the runs of a command, for the relay log given.
measure() {
    local log=$1
    shift
    local best="" best_conn=0
    for _ in $(seq 1 "$runs"); do
        local before after start end secs
        before=$(connections "$log")
        start=$(date +%s.%N)
        "$@" > "$work/out.txt" 2>&1 || true
        end=$(date +%s.%N)
        after=$(connections "$log")
        secs=$(echo "$end - $start" | bc)
        if [ -z "$best" ] || [ "$(echo "$secs < $best" | bc)" = 1 ]; then
            best=$secs
            best_conn=$((after - before))
        fi
    done
    printf '%s %s\n' "$best" "$best_conn"
}

scan() {
    "$cli" scan "$work/$1.prj" --app-dir "$work/app" --quiet --set txtTimeout=10 \
        --set cmbAdvance=4 --set Proxy=none
}
fetch() {
    rm -rf "$work/wget"
    wget -q -r -l inf -P "$work/wget" --ca-certificate="$work/partner.crt" "$1://partner.test/"
}

echo "== One partner of $pages pages behind a ${rtt} ms round trip (seconds, fastest of $runs) =="
printf '%-8s %10s %8s %10s %8s %12s %10s %10s\n' scheme corvane conns wget conns "bound" "x wget" "x bound"
for scheme in http https; do
    log="$work/logs/relay80.log"
    handshakes=1
    if [ "$scheme" = https ]; then
        log="$work/logs/relay443.log"
        handshakes=2
    fi
    read -r c_secs c_conn < <(measure "$log" scan "$scheme")
    "$cli" scan "$work/$scheme.prj" --app-dir "$work/app" --quiet --set Proxy=none \
        > "$work/verdict-$scheme.txt" 2>&1 || true
    read -r w_secs w_conn < <(measure "$log" fetch "$scheme")
    bound=$(echo "scale=3; ($pages + $handshakes) * $rtt / 1000" | bc)
    printf '%-8s %10.2f %8d %10.2f %8d %12.2f %10.2f %10.2f\n' "$scheme" "$c_secs" "$c_conn" \
        "$w_secs" "$w_conn" "$bound" "$(echo "scale=3; $c_secs / $w_secs" | bc)" \
        "$(echo "scale=3; $c_secs / $bound" | bc)"
    grep -q "1 link back" "$work/verdict-$scheme.txt" || echo "  $scheme: the link back was NOT found"
done
