# scorvane extract and scorvane tokens: exact output on small inputs.
source "$(dirname "$0")/lib.sh"

# tokens: every kind of event, attributes in order, the escapes, raw CR LF.
printf '  ab<p class="x &amp; y" id=\x27q\x27 hidden>\r\nT&uuml;r\t&lt;\x7f\xfc<!-- c\\"d --><br/><br /></p></>&#x41;<!---->end  ' \
    >"$WORK/mixed.html"
expected='document-start
text "ab"
start p class="x & y" id="q" hidden=""
text "\r\nT\xFCr\t<\x7F\xFC"
comment " c\\\"d "
start br
end br
start br
end br
end p
end 
text "A"
text "end"
document-end'
expect_eq "$("$TOOL" tokens "$WORK/mixed.html")" "$expected" "tokens of mixed.html"
expect_eq "$("$TOOL" tokens - <"$WORK/mixed.html")" "$expected" "tokens from standard input"

# --no-decode leaves references in text alone, not in attribute values.
expected='document-start
start a title="&"
text "&amp;x&#65;"
end a
document-end'
expect_eq "$(printf '<a title="&amp;">&amp;x&#65;</a>' | "$TOOL" tokens --no-decode)" "$expected" "tokens --no-decode"
# Nothing at all for an empty input; only the document for blanks.
expect_eq "$("$TOOL" tokens </dev/null)" "" "tokens of an empty input"
expect_eq "$(printf ' \r\n\t ' | "$TOOL" tokens)" $'document-start\ndocument-end' "tokens of blanks"

# extract: header and team rows, CR LF removed (joining the text around
# them), references decoded, cells escaped and converted to UTF-8.
printf '<thead><th>A</th><th>B</th><th>C\\&#9;</th><th>D&#127;</th><th>&eacute;</th><th>F</th><th>G</th><th>H</th><th>I</th><th>J</th><th>K<span>v</span></th></thead>\r\n<tbody><tr><td>1</td><td>x\r\ny</td><td>3</td><td>4</td><td>5</td><td>6</td><td>7</td><td>8</td><td>9</td><td>"q"</td></tr>\r\n<tr><td>left over</td></tr></tbody>' \
    >"$WORK/table.html"
expected=$(printf 'A\t\tC\\\\\\t\tD\\x7F\t\xc3\xa9\tF\tG\tH\tI\tJ\tK\n1\t\txy\t3\t4\t5\t6\t7\t8\t9\t"q"')
expect_eq "$("$TOOL" extract "$WORK/table.html")" "$expected" "extract of table.html"
expect_eq "$("$TOOL" extract <"$WORK/table.html")" "$expected" "extract from standard input"
expected='{"rows": [
  ["A", "", "C\\\t", "D\u007f", "é", "F", "G", "H", "I", "J", "K"],
  ["1", "", "xy", "3", "4", "5", "6", "7", "8", "9", "\"q\""]
]}'
expect_eq "$("$TOOL" extract --json "$WORK/table.html")" "$expected" "extract --json of table.html"
expect_eq "$(printf '<p>no table</p>' | "$TOOL" extract)" "" "extract of a page without a table"
expect_eq "$(printf '<p>no table</p>' | "$TOOL" extract --json)" '{"rows": []}' "extract --json without a table"

# extract of a served page is what fetch makes of it (a made-up league:
# the snapshot has no Swedish one).
start_serve --made-up
curl -s -o "$WORK/swe.html" "$(standings_url swe)"
"$TOOL" fetch "$(standings_url swe)" >"$WORK/swe.fetch" || fail "fetch swe"
"$TOOL" extract "$WORK/swe.html" >"$WORK/swe.extract" || fail "extract swe"
cmp -s "$WORK/swe.fetch" "$WORK/swe.extract" || fail "extract and fetch differ on the same page"
# The served page really has CRLF line ends and the parts around the table.
LC_ALL=C grep -q $'\r$' "$WORK/swe.html" || fail "served page without CRLF"
"$TOOL" tokens "$WORK/swe.html" >"$WORK/swe.tokens"
for event in 'start nav class="crumbs" aria-label="Breadcrumb"' 'start caption' \
             'start span class="sort-marker" aria-hidden="true"' 'start footer class="site-footer"'; do
    grep -qF "$event" "$WORK/swe.tokens" || fail "served page has no '$event'"
done
stop_serve
echo "extract_tokens: ok"
