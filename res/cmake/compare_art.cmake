# Compares freshly drawn artwork (DRAWN) with the committed files (COMMITTED):
# the same set of files, each byte for byte the same.

file(GLOB_RECURSE drawn RELATIVE ${DRAWN} ${DRAWN}/*.bmp ${DRAWN}/*.ico)
file(GLOB committed RELATIVE ${COMMITTED} ${COMMITTED}/bitmaps/*.bmp ${COMMITTED}/*.ico)
list(SORT drawn)
list(SORT committed)
if(NOT drawn STREQUAL committed)
  message(FATAL_ERROR "The generator draws [${drawn}] but [${committed}] are committed")
endif()
set(differ)
foreach(name IN LISTS drawn)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DRAWN}/${name} ${COMMITTED}/${name}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND differ ${name})
  endif()
endforeach()
if(differ)
  message(FATAL_ERROR "Drawn differently from the committed files: ${differ}")
endif()
list(LENGTH drawn count)
message(STATUS "All ${count} artwork files reproduced byte for byte")
