# A published site served by Debian's nginx, as the README's server block
# has it: every page and file a visitor reaches answers 200, each standings
# page gives the rows scorvane serve gives for the same results, and the
# Linux saver reads its table from nginx.
# site_nginx.sh SCORVANE FIXTURES VEMO
source "$(dirname "$0")/lib.sh"
vemo=$3
here=$(dirname "$0")
results=$FIXTURES/../../../data/football.json
NGINX_PID=

nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || fail "no nginx (scripts/install-deps installs it)"

"$TOOL" publish --results "$results" --out "$WORK/site" >"$WORK/publish.out" 2>"$WORK/publish.err" ||
    fail "publish: $(cat "$WORK/publish.err")"
mkdir "$WORK/nginx"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# The workers read the pages as the user of the test, wherever its folder
# is; nginx started by another user than root ignores the line.
cat >"$WORK/nginx/nginx.conf" <<EOF
user $(id -un) $(id -gn);
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
events { worker_connections 64; }
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    access_log $WORK/nginx/access.log;
    client_body_temp_path $WORK/nginx;
    proxy_temp_path $WORK/nginx;
    fastcgi_temp_path $WORK/nginx;
    uwsgi_temp_path $WORK/nginx;
    scgi_temp_path $WORK/nginx;
    server {
        listen 127.0.0.1:$port;
        root $WORK/site;
        index index.html;
    }
}
EOF
"$nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf" -g "daemon off;" </dev/null >/dev/null 2>&1 &
NGINX_PID=$!
trap 'if [ -n "$NGINX_PID" ]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi; cleanup' EXIT
for _ in $(seq 100); do
    [ "$(http_status "http://127.0.0.1:$port/")" = 200 ] && break
    kill -0 "$NGINX_PID" 2>/dev/null || fail "nginx exited at start: $(cat "$WORK/nginx/error.log")"
    sleep 0.05
done

# The whole site through nginx, folder addresses included.
timeout 60 python3 "$here/site_crawl.py" "http://127.0.0.1:$port/" --list "$WORK/pages" >"$WORK/crawl.out" \
    2>"$WORK/crawl.err" || fail "crawl through nginx: $(cat "$WORK/crawl.err")"
expect_eq "$(cat "$WORK/crawl.out")" "56 pages, 2 other files, 2 links out, 22 colour pairs" "crawl through nginx"
expect_eq "$(http_status "http://127.0.0.1:$port/associations/association=eng/")" 200 "an association's folder"

# Each standings page as the saver reads it, through nginx and through
# serve, from the same results.
start_serve --results "$results"
codes=$(cut -f1 "$WORK/publish.out")
expect_eq "$(wc -w <<<"$codes")" 18 "leagues published"
for code in $codes; do
    "$TOOL" fetch "http://127.0.0.1:$port$(standings_path "$code")" >"$WORK/$code.nginx.tsv" || fail "fetch $code from nginx"
    "$TOOL" fetch "$(standings_url "$code")" >"$WORK/$code.serve.tsv" || fail "fetch $code from serve"
    cmp -s "$WORK/$code.nginx.tsv" "$WORK/$code.serve.tsv" || fail "nginx and serve give other rows for $code"
done
stop_serve

# The saver itself, with nginx as its standings site.
status() {
    mkdir -p "$WORK/config/vemo"
    printf '[Settings]\nChampionship=%s\nServer=127.0.0.1:%s\n' "$1" "$port" >"$WORK/config/vemo/vemo.ini"
    XDG_CONFIG_HOME=$WORK/config DISPLAY= "$vemo" --print-status 2>>"$WORK/vemo.err" || true
}
expect_eq "$(status eng)" "championship: eng
server: 127.0.0.1:$port
status: 
rows: 21" "the saver's table from nginx"
grep -qF "\"GET /associations/association=eng/nationalleague/standings.html HTTP/1.0\" 200" "$WORK/nginx/access.log" ||
    fail "no request of the saver in nginx's log: $(cat "$WORK/nginx/access.log")"
# An association the results do not have: no page, and the saver says so.
expect_eq "$(status pol)" "championship: pol
server: 127.0.0.1:$port
status: Mistake of data acquisition.
rows: 0" "the saver without a page"
echo "site_nginx: ok"
