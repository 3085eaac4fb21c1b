# The standings site as a visitor walks it from /: every link, image, icon
# and style sheet answers 200, every page has the accessible basics
# (site_crawl.py), on scorvane serve with the bundled results, with made-up
# leagues beside them and with a --data folder; pages no longer linked
# answer 404; the leagues' names as the site shows them.
source "$(dirname "$0")/lib.sh"
here=$(dirname "$0")

crawl() {
    timeout 60 python3 "$here/site_crawl.py" "$@" 2>"$WORK/crawl.err" || fail "crawl of $1: $(cat "$WORK/crawl.err")"
}
site() { echo "http://127.0.0.1:$PORT$1"; }

# The bundled results: the front page, and for each of the 18 leagues its
# association's page, standings and fixtures.
start_serve
expect_eq "$(crawl "$(site /)" --list "$WORK/pages")" "56 pages, 2 other files, 2 links out, 22 colour pairs" \
    "crawl of the bundled results"
expect_eq "$(sed 's|.*/association=[a-z]*/||' "$WORK/pages" | sort | uniq -c | tr -s ' ')" \
    " 1 http://127.0.0.1:$PORT/
 1 http://127.0.0.1:$PORT/index.html
 18 index.html
 18 nationalleague/fixtures.html
 18 nationalleague/standings.html" "pages reached"
cmp -s <(curl -s "$(site /)") <(curl -s "$(site /index.html)") || fail "/ and /index.html differ"
cmp -s <(curl -s "$(site /associations/association=eng/)") \
    <(curl -s "$(site /associations/association=eng/index.html)") || fail "an association's folder is not its page"
expect_eq "$(curl -s -o /dev/null -w '%{http_code} %{content_type}' "$(site /static/site.css)")" \
    "200 text/css; charset=utf-8" "the style sheet"
expect_eq "$(curl -s -o /dev/null -w '%{http_code} %{content_type}' "$(site /static/logo.svg)")" \
    "200 image/svg+xml" "the logo"
expect_eq "$(http_status "$(standings_url eng)?from=a-link")" 200 "a page asked for with a query"
# What the pages linked to before, and the pages of an association without
# results, do not exist.
for path in /static/logo.gif /static/trend-up.gif /imprint.html /privacy.html \
    /associations/association=eng/nationalleague/scorers.html /associations/association=eng/clubs/club=1/overview.html \
    /associations/association=pol/index.html /associations/association=pol/nationalleague/fixtures.html \
    /associations/association=xyz/index.html /associations/; do
    expect_eq "$(http_status "$(site "$path")")" 404 "status of $path"
done
page=$(curl -s "$(standings_url eng)")
grep -qF '<title>English Premier League - Standings</title>' <<<"$page" || fail "title of the eng page"
grep -qF 'football.json</a> project (<a href="https://creativecommons.org/publicdomain/zero/1.0/">CC0 1.0</a>).' \
    <<<"$page" || fail "no source and licence in the footer of the eng page"
stop_serve

# Made-up leagues: linked from the front page, their standings alone.
start_serve --made-up
expect_eq "$(crawl "$(site /)")" "205 pages, 2 other files, 2 links out, 22 colour pairs" "crawl with made-up leagues"
expect_eq "$(http_status "$(site /associations/association=pol/index.html)")" 404 "association page of a made-up league"
expect_eq "$(http_status "$(site /associations/association=pol/nationalleague/fixtures.html)")" 404 \
    "fixtures of a made-up league"
grep -qF 'A made-up league for demonstrations: its clubs and figures are invented.' <<<"$(curl -s "$(standings_url pol)")" ||
    fail "a made-up league's page does not say so"
stop_serve

# A --data folder: its front page links the leagues whose file reads as a
# table, not a broken one.
mkdir "$WORK/data"
cp "$FIXTURES/ger.csv" "$FIXTURES/bel.csv" "$WORK/data/"
cp "$FIXTURES/ger.csv" "$WORK/data/eng.csv"
start_serve --data "$WORK/data"
expect_eq "$(crawl "$(site /)" --list "$WORK/pages")" "4 pages, 2 other files, 0 links out, 22 colour pairs"     "crawl of a --data folder"
expect_eq "$(grep -c '/standings.html$' "$WORK/pages")" 2 "pages of a --data folder"
stop_serve

# Every league's name without its season, the awkward ones replaced; a
# league the built-in names do not know loses its season and separators.
"$TOOL" publish --results "$FIXTURES/../../../data/football.json" --out "$WORK/site" >"$WORK/publish.out" ||
    fail "publish of the bundled results"
expect_eq "$(cut -f1,2 "$WORK/publish.out" | tr '\t' ' ')" "eng English Premier League
ger German Bundesliga
esp Spanish La Liga
ita Italian Serie A
fra French Ligue 1
ned Dutch Eredivisie
por Portuguese Primeira Liga
aut Austrian Bundesliga
bel Belgian Pro League
sco Scottish Premiership
tur Turkish Süper Lig
gre Greek Super League
bra Brazilian Série A
arg Argentine Primera División
chn Chinese Super League
jpn Japanese J1 League
col Colombian Primera A
usa Major League Soccer" "the leagues' names"
mkdir -p "$WORK/other/2025"
sed 's/"name": *"[^"]*"/"name": "Ruritania | First League 2025\/26"/' \
    "$FIXTURES/../../../data/football.json/2025/cn.1.json" >"$WORK/other/2025/ru.1.json"
printf 'chn,ru.1\n' >"$WORK/leagues.csv"
"$TOOL" publish --results "$WORK/other" --leagues "$WORK/leagues.csv" --out "$WORK/other-site" >"$WORK/other.out" ||
    fail "publish of another league"
expect_eq "$(cut -f1,2 "$WORK/other.out" | tr '\t' ' ')" "chn Ruritania First League" "the name of another league"
grep -qF '<footer class="site-footer"><div class="wrap"><p>Tables computed from match results in the football.json format.</p>' \
    "$WORK/other-site/index.html" || fail "results of another source are credited to the football.json project"
echo "site_crawl: ok"
