#include "tools/site_assets.h"

#include "tools/league_site.h"

namespace {

// One sheet for every page, no script: the colours are variables, so that
// the dark scheme is one block, and every pair of text and ground they make
// keeps WCAG AA contrast (4.5:1) in both schemes. The standings table is
// styled through its classes only, since its markup belongs to the savers'
// reader.
constexpr std::string_view kStyleSheet = R"css(/* The standings site */
:root {
  color-scheme: light dark;
  --ground: #f4f6f9;
  --surface: #ffffff;
  --stripe: #f0f3f7;
  --hover: #e2ecf7;
  --text: #16202b;
  --muted: #4b5868;
  --line: #d5dce5;
  --accent: #0a58a6;
  --bar: #0d2f52;
  --bar-text: #ffffff;
}
@media (prefers-color-scheme: dark) {
  :root {
    --ground: #0e1319;
    --surface: #151c25;
    --stripe: #1a232e;
    --hover: #223142;
    --text: #e6ebf1;
    --muted: #a4b0bf;
    --line: #2a3542;
    --accent: #7fb8ff;
    --bar: #081a2e;
    --bar-text: #ffffff;
  }
}
*, *::before, *::after { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }
body {
  margin: 0;
  background: var(--ground);
  color: var(--text);
  font: 1rem/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "DejaVu Sans", "Liberation Sans", sans-serif;
}
a { color: var(--accent); text-underline-offset: .15em; }
a:hover { text-decoration-thickness: 2px; }
:focus-visible { outline: 3px solid var(--accent); outline-offset: 2px; }
.wrap { max-width: 62rem; margin: 0 auto; padding: 0 1rem; }
.skip { position: absolute; left: -100vw; }
.skip:focus { left: .5rem; top: .5rem; z-index: 1; padding: .5rem .75rem; background: var(--surface); }

.site-header { background: var(--bar); }
.site-header .wrap { padding-top: .65rem; padding-bottom: .65rem; }
.brand {
  display: inline-flex; align-items: center; gap: .6rem;
  color: var(--bar-text); font-weight: 700; font-size: 1.125rem; text-decoration: none;
}
.brand img { display: block; }
.brand:focus-visible { outline-color: var(--bar-text); }

main.wrap { padding-top: 1.25rem; padding-bottom: 2.5rem; }
h1 { font-size: 1.875rem; line-height: 1.2; margin: .75rem 0 .25rem; letter-spacing: -.01em; }
h2 { font-size: 1.25rem; line-height: 1.3; margin: 2rem 0 .75rem; }
.lead { color: var(--muted); margin: 0 0 1rem; }
.results-date, .note { color: var(--muted); font-size: .875rem; margin: .25rem 0 1rem; }

.crumbs ol { list-style: none; margin: 0; padding: 0; display: flex; flex-wrap: wrap; font-size: .875rem; }
.crumbs li + li::before { content: "\203A"; padding: 0 .5rem; color: var(--muted); }
.tabs ul {
  list-style: none; display: flex; flex-wrap: wrap; gap: .25rem;
  margin: 1rem 0 1.25rem; padding: 0; border-bottom: 1px solid var(--line);
}
.tabs a {
  display: block; padding: .5rem .9rem; margin-bottom: -1px;
  color: var(--text); text-decoration: none; border-bottom: 3px solid transparent;
}
.tabs a:hover { color: var(--accent); }
.tabs a[aria-current="page"] { border-bottom-color: var(--accent); font-weight: 600; }

/* Tables: the standings and the matches of a round */
.table-scroll {
  overflow-x: auto; margin: 0 0 1rem;
  background: var(--surface); border: 1px solid var(--line); border-radius: .5rem;
}
table { border-collapse: collapse; width: 100%; font-variant-numeric: tabular-nums; }
caption { text-align: left; padding: .75rem .75rem .5rem; font-weight: 600; }
th, td { padding: .5rem .6rem; text-align: right; border-top: 1px solid var(--line); white-space: nowrap; }
thead th {
  font-size: .8125rem; font-weight: 600; color: var(--muted);
  text-transform: uppercase; letter-spacing: .03em;
}
abbr[title] { text-decoration: none; cursor: help; }

.standings .rank { width: 3rem; color: var(--muted); }
.standings .trend { display: none; }
.standings .club { text-align: left; white-space: normal; font-weight: 600; min-width: 9rem; width: 100%; }
.standings .sorted, .standings td:last-child { font-weight: 700; }
.standings .sort-marker { font-size: .625rem; margin-left: .25rem; vertical-align: .1em; }
.standings tr.even { background: var(--stripe); }
.standings tbody tr:hover { background: var(--hover); }

/* Fixed columns, so that the rounds of a page line up one under another */
.matches { table-layout: fixed; }
.matches .date, .matches .time { text-align: left; color: var(--muted); }
.matches th.date { width: 9.5rem; }
.matches th.time { width: 5.5rem; }
.matches th.score { width: 5.5rem; }
.matches .home { text-align: right; white-space: normal; }
.matches .away { text-align: left; white-space: normal; }
.matches .score { text-align: center; font-weight: 700; }
.matches .state { display: block; font-size: .75rem; font-weight: 400; color: var(--muted); }
.matches tbody tr:hover { background: var(--hover); }

/* The front page and an association's page */
.leagues {
  list-style: none; margin: 0 0 1.5rem; padding: 0;
  display: grid; grid-template-columns: repeat(auto-fill, minmax(17rem, 1fr)); gap: .75rem;
}
.leagues > li { background: var(--surface); border: 1px solid var(--line); border-radius: .5rem; padding: .75rem 1rem; }
.leagues h3 { font-size: 1.0625rem; margin: 0 0 .15rem; }
.leagues p { margin: .15rem 0; color: var(--muted); font-size: .875rem; }
.leagues .links a { margin-right: .75rem; }
.uncovered { columns: 13rem; column-gap: 1.5rem; margin: 0; padding: 0; list-style: none; font-size: .9375rem; }
.facts {
  display: grid; grid-template-columns: max-content 1fr; gap: .5rem 1.5rem; margin: 0 0 1.5rem;
  background: var(--surface); border: 1px solid var(--line); border-radius: .5rem; padding: 1rem;
}
.facts dt { font-weight: 600; }
.facts dd { margin: 0; }

.site-footer { border-top: 1px solid var(--line); color: var(--muted); font-size: .875rem; }
.site-footer .wrap { padding-top: 1rem; padding-bottom: 2rem; }
.site-footer a { color: inherit; }

/* A phone: the essentials of each table, tighter cells */
@media (max-width: 36rem) {
  h1 { font-size: 1.5rem; }
  .wrap { padding-left: .75rem; padding-right: .75rem; }
  .tabs a { padding: .5rem .6rem; }
  table { font-size: .875rem; }
  th, td { padding: .45rem .25rem; }
  thead th { font-size: .6875rem; letter-spacing: 0; white-space: normal; }
  .standings .rank { width: 2rem; }
  .standings th:nth-child(8), .standings td:nth-child(8),
  .standings th:nth-child(9), .standings td:nth-child(9) { display: none; }
  .standings .club { min-width: 0; }
  .matches { font-size: .8125rem; table-layout: auto; }
  .matches th.date, .matches th.time, .matches th.score { width: auto; }
  .matches .weekday, .matches .year { display: none; }
  .matches .time { white-space: normal; }
  .matches .home, .matches .away { overflow-wrap: anywhere; }
  .facts { grid-template-columns: 1fr; gap: .15rem; }
  .facts dd { margin-bottom: .5rem; }
}
)css";

// A ball on a pitch-green tile, drawn for the site.
constexpr std::string_view kLogo = R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 32 32" width="32" height="32">
<rect width="32" height="32" rx="7" fill="#1f7a48"/>
<circle cx="16" cy="16" r="10.4" fill="#ffffff" stroke="#0d2f52" stroke-width="1.2"/>
<path d="M16 11.2 20.57 14.52 18.82 19.88 13.18 19.88 11.43 14.52Z" fill="#0d2f52"/>
<path d="M16 11.2V5.6M20.57 14.52 25.89 12.79M18.82 19.88 22.11 24.41M13.18 19.88 9.89 24.41M11.43 14.52 6.11 12.79" stroke="#0d2f52" stroke-width="1.2" fill="none"/>
</svg>
)svg";

}  // namespace

const std::vector<SiteAsset>& SiteAssets() {
    static const std::vector<SiteAsset> assets = {
        {kSiteStyleSheetPath, "text/css; charset=utf-8", kStyleSheet},
        {kSiteLogoPath, "image/svg+xml", kLogo},
    };
    return assets;
}
