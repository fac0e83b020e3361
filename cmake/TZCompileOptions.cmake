# Warnings, sanitizers and the helpers that every subsystem's CMakeLists uses.

add_compile_options(-Wall -Wextra -Wpedantic -Wno-unused-parameter)
# Hardware faults are translated into C++ exceptions on threads that ask for it; the
# compiler must allow an exception to leave any instruction that can fault.
add_compile_options(-fnon-call-exceptions)
add_compile_definitions(BOOST_BIND_GLOBAL_PLACEHOLDERS BOOST_ALLOW_DEPRECATED_HEADERS)

if(TZ_FUZZ)
  # Coverage for libFuzzer in every library the fuzz targets link; the targets add the driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(TZ_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(TZ_SANITIZE_ADDRESS=1)
elseif(TZ_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(TZ_SANITIZE_THREAD=1)
elseif(NOT TZ_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TZ_SANITIZE must be empty, 'address' or 'thread'")
endif()

# tz_add_gtest(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s] [TSAN])
# One GoogleTest executable; each of its tests becomes a CTest test with the given labels.
# TSAN marks threading tests: the test script also builds and runs them under ThreadSanitizer
# (target tz_tsan_tests, label "tsan").
function(tz_add_gtest)
  cmake_parse_arguments(T "TSAN" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE
    TZ_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TZ_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(T_TSAN)
    list(APPEND T_LABELS tsan)
    add_dependencies(tz_tsan_tests ${T_NAME})
  endif()
  # Tests keep their temporary files (and the session folders the code under test makes) in the
  # build tree rather than in the machine's temporary folder.
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/test-tmp)
  gtest_discover_tests(${T_NAME}
    PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT TMPDIR=${PROJECT_BINARY_DIR}/test-tmp
    DISCOVERY_TIMEOUT 60)
  # gtest_discover_tests cannot pass a list of labels through PROPERTIES; label the discovered
  # tests from an include file that CTest reads after the discovery's own.
  set(label_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake)
  file(WRITE ${label_file}
    "if(${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_file})
endfunction()
add_custom_target(tz_tsan_tests)
