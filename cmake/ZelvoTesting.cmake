# zelvo_add_test(<unit> LIBS <targets...>) turns <unit>_test.cpp in the calling
# folder into one executable and one CTest test named after the folder and unit.
function(zelvo_add_test unit)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(target ${folder}_${unit}_test)
  add_executable(${target} ${unit}_test.cpp)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${folder}.${unit} COMMAND ${target})
  set_tests_properties(${folder}.${unit} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1"
    LABELS "${folder};${ARG_LABELS}")
endfunction()
