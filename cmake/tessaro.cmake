# Build helpers shared by every folder. New files are picked up by globbing, so adding a source,
# a test, a benchmark or a fuzz harness needs no CMake edit.

# The libraries of src/, in dependency order; each may use only those before it.
set(TESSARO_LAYERS winapi platform files raster drawing display controls sound effects script natives game)
set_property(GLOBAL PROPERTY TESSARO_ENGINE_LIBS "")

# tessaro_library(NAME [DEPS lib...] [PRIVATE_DEPS lib...])
# Makes the library tessaro_NAME (static unless TESSARO_SHARED_LIBS) from src/NAME/*.cpp (an interface library while empty).
function(tessaro_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  set(target tessaro_${name})
  if(sources)
    add_library(${target} ${TESSARO_LIBRARY_KIND} ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY TESSARO_ENGINE_LIBS ${target})
endfunction()

# tessaro_tests(FOLDER [LIBS lib...] [LABELS x11])
# Every tests/FOLDER/*_test.cpp becomes one GoogleTest program; ctest lists each case.
# Sources in tests/FOLDER/support/ are compiled into every program of the folder.
function(tessaro_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  foreach(test ${tests})
    get_filename_component(stem ${test} NAME_WE)
    set(target test_${folder}_${stem})
    add_executable(${target} ${test} ${support})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} tessaro_tools GTest::gtest_main GTest::gmock)
    target_compile_definitions(${target} PRIVATE
      TESSARO_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TESSARO_BINARY_DIR="${PROJECT_BINARY_DIR}")
    # Every property takes one value here: a list would be split into name-value pairs.
    # Tests on the one test X server take turns (full-screen windows and keyboard grabs of two
    # programs at once get in each other's way) and choose their host themselves.
    if("x11" IN_LIST ARG_LABELS)
      set(props RESOURCE_LOCK x11_server LABELS x11)
    else()
      set(props LABELS ${folder} ENVIRONMENT "TESSARO_HOST=headless")
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES ${props})
  endforeach()
endfunction()

# tessaro_engine_target(): one interface target that links every engine library.
function(tessaro_engine_target)
  get_property(libs GLOBAL PROPERTY TESSARO_ENGINE_LIBS)
  add_library(tessaro_engine INTERFACE)
  target_link_libraries(tessaro_engine INTERFACE ${libs})
  target_include_directories(tessaro_engine INTERFACE ${PROJECT_SOURCE_DIR}/src)
endfunction()

# Executables (engine, tests, tools, benchmarks, fuzzers) export the stand-in's local-memory calls
# to the plug-in shared objects they load, so that a plug-in's blocks are the engine's.
add_link_options("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-Wl,--dynamic-list=${CMAKE_CURRENT_LIST_DIR}/plugin_exports.list>")
