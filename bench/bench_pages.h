#pragma once
// The inputs of the parsing benchmarks, generated here so that every run
// parses the same bytes. Pages are given as the tokenizer sees them: the
// download has already removed every CR and LF.

#include <cstddef>
#include <string>

#include "acquire/standings_table.h"

// What `scorvane serve` sends for "ger", line breaks removed.
std::string TypicalPage();

// About `bytes` long: thousands of standings rows (the site's row markup)
// between heavy navigation menus, inline scripts and comments, with a
// comment every few rows inside the table.
std::string LargePage(std::size_t bytes);

// `pattern` repeated until the page is `bytes` long (the last copy cut).
std::string RepeatedPage(const std::string& pattern, std::size_t bytes);

// A small page whose one attribute value is `valueBytes` of character
// references. With `distinct` every reference has a text of its own (the
// decimal forms wrap at 256, so &#65; &#321; &#577; ... all stand for "A"),
// the worst case of the value decoder's replace-all; without it the value
// cycles through the few hundred forms a page really uses (every name of the
// reference table, &#32; to &#255;, &#x20; to &#xff;).
std::string AttributePage(std::size_t valueBytes, bool distinct);

// The rows the saver takes from `page` (tokenizer and extractor, as the
// download runs them), left in theStandings.
void ExtractStandings(const std::string& page);
