#pragma once
// The same job done by every parser of the comparison: the texts of the
// "th" cells inside "thead" and of the "td" cells inside "tbody", as rows.
// The peers write UTF-8; the saver's rows are ISO 8859-1 and are converted
// before they are compared.

#include <cstddef>
#include <string>
#include <vector>

using TextRows = std::vector<std::vector<std::string>>;

// One row per "tr" of the table's head and body: the text of each cell
// (inner tags' texts joined, white space trimmed, a header cell's sort
// marker "span" left out), empty cells skipped.
TextRows LibxmlSaxRows(const std::string& page);
TextRows GumboRows(const std::string& page);

// The saver's job: tokenizer and extractor, rows left in theStandings.
void SaverRows(const std::string& page);

// Every start tag's attribute values read (the saver never does this);
// returns the total length of the values.
std::size_t ReadAttributes(const std::string& page);

// The tokenizer alone, under a handler that is called for everything and
// keeps nothing; returns the number of events.
std::size_t TokenizeOnly(const std::string& page);

// The plain scan: how many "<" the page holds.
std::size_t CountMarkupStarts(const std::string& page);

// The longest text, comment or tag name the tokenizer hands over for `page`.
std::size_t LongestText(const std::string& page);

// The longest attribute value in double quotes: the bytes between a '="'
// and the next '"'.
std::size_t LongestQuotedValue(const std::string& page);

// theStandings written the peers' way: header row without its empty trend
// cell, body rows without the cell the extractor leaves free, UTF-8.
TextRows SaverRowsAsText();

// Empty when the rows agree, else what differs first.
std::string CompareRows(const TextRows& saver, const TextRows& peer);
