# A library made of every source file in a folder, so that adding a file needs
# no edit here. A folder with no sources yet gives an interface library.
function(scorvane_folder_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS;SYSTEM_DEPS;EXCLUDE" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
    list(APPEND sources ${found})
  endforeach()
  # A program's entry point may sit beside the library it uses.
  foreach(file IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${file})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM_DEPS})
  endif()
endfunction()

# One GoogleTest binary per folder of tests/unit. Natively each test case is
# its own ctest entry labelled unit; the Windows build runs the binary under
# Wine as one entry labelled windows, the arm64 build under qemu-user as one
# labelled arm64.
function(scorvane_unit_tests name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE SCORVANE_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
  if(WIN32)
    add_test(NAME windows.${name} COMMAND ${name})
    set_tests_properties(windows.${name} PROPERTIES LABELS windows TIMEOUT 600)
  elseif(CMAKE_CROSSCOMPILING)
    # One emulator start per binary: qemu-user pays its start-up per process.
    add_test(NAME arm64.${name} COMMAND ${name})
    set_tests_properties(arm64.${name} PROPERTIES LABELS arm64 TIMEOUT 600)
  else()
    gtest_discover_tests(${name} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
