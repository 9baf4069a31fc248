# oxbrook_test(NAME LABEL label SOURCES ... [LIBS ...] [TIMEOUT s])
# One GoogleTest executable, its cases registered with CTest under a folder label.
function(oxbrook_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "OXBROOK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  # Only one ENVIRONMENT entry survives test discovery, so GUI tests pick the offscreen
  # platform themselves (testing/widget_test_support.h) before the application starts.
endfunction()
