# Writes a document in the compressed form a Debian package carries it in:
#   -DMODE=man        a man page, its @PROJECT_VERSION@ filled in
#   -DMODE=changelog  CHANGELOG.md as a Debian changelog, whose newest entry
#                     must be this build's version
# and -DIN, -DOUT (ending in .gz), -DVERSION, -DMAINTAINER.
file(READ ${IN} text)
if(MODE STREQUAL "man")
  string(REPLACE "@PROJECT_VERSION@" "${VERSION}" text "${text}")
else()
  # "## 1.2.3 (YYYY-MM-DD)" opens an entry, "- " a change, two blanks go on
  # with it; other lines (the title, HTML comments) are for the Markdown only.
  string(REPLACE ";" "\\;" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(out "")
  set(trailer "")
  set(newest "")
  set(in_comment FALSE)
  foreach(line IN LISTS lines)
    if(in_comment OR line MATCHES "^<!--")
      set(in_comment TRUE)
      if(line MATCHES "-->")
        set(in_comment FALSE)
      endif()
    elseif(line MATCHES "^## ([0-9][0-9.]*) \\(([0-9-]+)\\)$")
      set(version ${CMAKE_MATCH_1})
      execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2} 12:00" OUTPUT_VARIABLE date
                      OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      if(newest STREQUAL "")
        set(newest ${version})
      endif()
      string(APPEND out "${trailer}scorvane (${version}) unstable; urgency=medium\n\n")
      set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
    elseif(line MATCHES "^- (.*)")
      string(APPEND out "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  (.*)")
      string(APPEND out "    ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  if(NOT newest STREQUAL VERSION)
    message(FATAL_ERROR "${IN}: the newest entry is '${newest}', the build's version is ${VERSION}")
  endif()
  set(text "${out}${trailer}")
  string(REGEX REPLACE "\n\n$" "\n" text "${text}")
endif()
string(REGEX REPLACE "\\.gz$" "" plain ${OUT})
file(WRITE ${plain} "${text}")
# -n: no name or time stamp inside, so that the same text gives the same bytes.
execute_process(COMMAND gzip -9nf ${plain} COMMAND_ERROR_IS_FATAL ANY)
