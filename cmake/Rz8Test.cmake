# rz8_add_test(NAME name SOURCES files... LIBS libs... [TIMEOUT s] [WRAPPER program])
# A Qt Test executable registered with CTest, run offscreen (through WRAPPER if given).
function(rz8_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT;WRAPPER" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_WRAPPER} $<TARGET_FILE:${T_NAME}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()
