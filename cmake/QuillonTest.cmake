# Registers a test with its label and time-out, and tells it where the
# programs and the sources are.
function(quillon_register_test name label timeout)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${timeout}
    ENVIRONMENT "QUILLON_BIN_DIR=${CMAKE_BINARY_DIR}/bin;QUILLON_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# One gtest executable per test file:
# quillon_add_test(SOURCE file.cpp LIBS lib... [LABEL unit] [TIMEOUT s] [WIDGETS])
# WIDGETS: the test builds widgets, on Qt's offscreen platform.
function(quillon_add_test)
  cmake_parse_arguments(T "WIDGETS" "SOURCE;LABEL;TIMEOUT" "LIBS" ${ARGN})
  get_filename_component(name ${T_SOURCE} NAME_WE)
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCE})
  if(T_WIDGETS)
    target_link_libraries(${name} PRIVATE ${T_LIBS} qt_gtest_main)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  quillon_register_test(${name} ${T_LABEL} ${T_TIMEOUT} ${name})
  if(T_WIDGETS)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# A test built with AddressSanitizer and UndefinedBehaviorSanitizer together
# with the sources it exercises, so that the normal build also proves those
# sources never touch memory outside their data:
# quillon_add_sanitized_test(SOURCE tests/x_test.cpp SOURCES a.cpp b.cpp)
function(quillon_add_sanitized_test)
  cmake_parse_arguments(T "" "SOURCE" "SOURCES" ${ARGN})
  get_filename_component(name ${T_SOURCE} NAME_WE)
  add_executable(${name} ${T_SOURCE} ${T_SOURCES})
  set(flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(${name} PRIVATE ${flags} -O1 -g)
  target_link_options(${name} PRIVATE -fsanitize=address,undefined)
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 300
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# A Python test run with Debian's interpreter, which has the python3-gammu module.
function(quillon_add_python_test)
  cmake_parse_arguments(T "" "SOURCE;LABEL" "" ${ARGN})
  get_filename_component(name ${T_SOURCE} NAME_WE)
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  quillon_register_test(${name} ${T_LABEL} 300 /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/${T_SOURCE})
endfunction()
