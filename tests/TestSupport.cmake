# lyrebox_add_test(NAME name SOURCES ... LIBS ... [LABELS ...])
# Builds a GoogleTest executable and registers its tests with ctest. Tests run
# with the build tree as their working directory and GST_REGISTRY kept inside it.
function(lyrebox_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE
    LYREBOX_BUILD_DIR="${CMAKE_BINARY_DIR}" LYREBOX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${T_NAME}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    TEST_LIST ${T_NAME}_TESTS
    PROPERTIES ENVIRONMENT "GST_REGISTRY=${CMAKE_BINARY_DIR}/gst-registry.bin"
    DISCOVERY_TIMEOUT 60)
  # A list of labels does not survive gtest_discover_tests' PROPERTIES (the
  # semicolons split it), so the labels are set by a file ctest includes after
  # the discovered tests.
  if(T_LABELS)
    set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake)
    file(WRITE ${labels_file}
      "if(DEFINED ${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
  endif()
  # The ThreadSanitizer tree builds only these (target threaded-tests).
  if("threaded" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY LYREBOX_THREADED_TESTS ${T_NAME})
  endif()
endfunction()
