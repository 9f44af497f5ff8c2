# tarnwick_library(<name> <dir> [DEPS ...]): a static library of every .cpp in <dir>
# (globbed, so that adding a unit needs no edit here).
# EXCLUDE: a regular expression of source paths left out (a subdirectory that is a
# library of its own), matched against "/" + the path below the calling directory
# ("/gui/main/main.cpp"), never against the absolute path: a checkout may itself lie
# under a folder of any name.
function(tarnwick_library name dir)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DEPS" ${ARGN})
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(srcs)
  foreach(src IN LISTS found)
    file(RELATIVE_PATH rel ${CMAKE_CURRENT_SOURCE_DIR} ${src})
    if(NOT ARG_EXCLUDE OR NOT "/${rel}" MATCHES "${ARG_EXCLUDE}")
      list(APPEND srcs ${src})
    endif()
  endforeach()
  if(NOT srcs)  # a subsystem with headers only so far
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${TARNWICK_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# Adds a subdirectory only when it holds a CMakeLists.txt, so that subsystems can
# arrive one at a time.
function(tarnwick_optional_subdirs)
  foreach(d ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()

# tarnwick_test(<name> <dir> DEPS ...): one GoogleTest executable of every .cpp in
# <dir>, registered with CTest test by test.
function(tarnwick_test name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  if(TARNWICK_SANITIZE)
    list(APPEND srcs ${PROJECT_SOURCE_DIR}/tests/test_support/SanitizerDefaults.cpp)
  endif()
  add_executable(${name} ${srcs})
  target_compile_options(${name} PRIVATE ${TARNWICK_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Test fixtures live in tests/data; the shipped data sources in data/.
  target_compile_definitions(${name} PRIVATE
    TARNWICK_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    TARNWICK_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

function(tarnwick_benchmark name)
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${TARNWICK_WARNINGS})
  target_link_libraries(${name} PRIVATE benchmark::benchmark benchmark::benchmark_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
endfunction()
