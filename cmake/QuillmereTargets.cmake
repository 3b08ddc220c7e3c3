# quillmere_add_component(<target> <folder>... [DEPS <targets...>])
# One static library per folder of the core, made of every .cpp and .c file in that folder and in
# the sub-folders named after it (a codec's folder inside imageio/, say).
# Includes are written from the repository root: #include "core/edit/edit_params.h".
function(quillmere_add_component target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS ARG_UNPARSED_ARGUMENTS)
    file(GLOB folder_sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.c)
    list(APPEND sources ${folder_sources})
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# quillmere_add_unsanitized(<twin> <target> [DEPS <targets...>])
# A static library of the same sources as <target> (a library of the core), built without the
# sanitizers, for a program that runs without them (the photo reader, reader/CMakeLists.txt says
# why), linked with DEPS in place of <target>'s own (their unsanitized twins, or outside
# libraries).
function(quillmere_add_unsanitized twin target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  get_target_property(sources ${target} SOURCES)
  add_library(${twin} STATIC ${sources})
  target_include_directories(${twin} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${twin} PUBLIC ${ARG_DEPS})
  target_compile_options(${twin} PUBLIC -fno-sanitize=all)
  target_link_options(${twin} INTERFACE -fno-sanitize=all)
endfunction()

# quillmere_add_app_library(<target> <folder>... [DEPS <targets...>])
# One static library per folder of the application (with any sub-folders named after it), made of
# every .cpp and .h in those folders; Qt's meta-object compiler runs over the headers that declare
# QObjects.
function(quillmere_add_app_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS ARG_UNPARSED_ARGUMENTS)
    file(GLOB folder_sources CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${folder_sources})
  endforeach()
  add_library(${target} STATIC ${sources})
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# quillmere_add_test(<executable> <folder> [OWN_MAIN] [DEPS <targets...>])
# One GoogleTest executable per area, made of every .cpp in tests/<folder>. With OWN_MAIN one of
# those files holds main() (for instance to start a Qt application first) and GoogleTest's own
# main is not linked.
function(quillmere_add_test target folder)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  # Every test runs in a fixed environment. It is set by a launcher rather than the tests'
  # ENVIRONMENT property, which gtest_discover_tests of CMake 3.25 splits into separate
  # properties so that only its first variable would be set.
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_COMMAND};-E;env;TZ=UTC;LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan_suppressions.txt")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120)
  # Besides one process per test, the whole executable as one process with its tests in random
  # order (gtest prints the seed): what one test leaves behind (files, the environment, a
  # library's global state, memory another test reads) fails here instead of by chance.
  add_test(NAME ${target}.shuffled COMMAND ${target} --gtest_shuffle)
endfunction()
