# Helpers shared by every folder: one library per area, one test program per area.
#
#   velmaro_core_area(<area> [DIR <subdir>] [NAME <lib>] [DEPS <area libs...>])
#     Builds core_<area> (or NAME) from every .cpp in the folder. Core libraries link no Qt.
#   velmaro_ui_area(<area> [DEPS ...])
#     Builds ui_<area> from every .cpp in the folder, with moc, linked to Qt Widgets.
#   velmaro_test(<name> [LIBS ...] [LABELS ...])
#     Builds test_<name> from every .cpp in the folder and registers its GoogleTest cases.

set(VELMARO_SRC ${PROJECT_SOURCE_DIR}/src)

function(_velmaro_area_lib lib)
  cmake_parse_arguments(A "" "" "DEPS;QT" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  file(GLOB _hdr CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(_src)
    add_library(${lib} STATIC ${_src} ${_hdr})
    target_include_directories(${lib} PUBLIC ${VELMARO_SRC})
    target_link_libraries(${lib} PUBLIC ${A_DEPS} ${A_QT} Threads::Threads)
  else()
    add_library(${lib} INTERFACE)
    target_include_directories(${lib} INTERFACE ${VELMARO_SRC})
    target_link_libraries(${lib} INTERFACE ${A_DEPS} ${A_QT})
  endif()
endfunction()

function(velmaro_core_area area)
  cmake_parse_arguments(A "" "NAME" "DEPS" ${ARGN})
  set(lib core_${area})
  if(A_NAME)
    set(lib ${A_NAME})
  endif()
  _velmaro_area_lib(${lib} DEPS ${A_DEPS})
  set_property(GLOBAL APPEND PROPERTY VELMARO_CORE_LIBS ${lib})
endfunction()

function(velmaro_ui_area area)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  set(CMAKE_AUTOMOC ON)
  _velmaro_area_lib(ui_${area} DEPS ${A_DEPS} QT Qt6::Widgets Qt6::PrintSupport)
  set_property(GLOBAL APPEND PROPERTY VELMARO_UI_LIBS ui_${area})
endfunction()

include(GoogleTest)
function(velmaro_test name)
  cmake_parse_arguments(A "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _src)
    return()
  endif()
  set(CMAKE_AUTOMOC ON)
  add_executable(test_${name} ${_src})
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${VELMARO_SRC})
  target_link_libraries(test_${name} PRIVATE ${A_LIBS} velmaro_fakes GTest::gtest GTest::gmock GTest::gtest_main)
  # Test programs need no heavy optimisation, and every one of their files parses GoogleTest:
  # -O1 and a precompiled header keep a clean build within the CI's minutes on two cores.
  target_compile_options(test_${name} PRIVATE -O1)
  target_precompile_headers(test_${name} PRIVATE <gtest/gtest.h> <string> <vector> <memory> <functional> <filesystem>)
  target_compile_definitions(test_${name} PRIVATE
    VELMARO_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    VELMARO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST)
  # The labels and the environment are lists, which gtest_discover_tests' PROPERTIES hand
  # on flattened (a second label or variable was lost): a file of our own sets them on the
  # discovered tests (the list test_<name>_TESTS), read by ctest right after them.
  set(_labels ${name} ${A_LABELS})
  set(_environment QT_QPA_PLATFORM=offscreen ${VELMARO_TEST_ENVIRONMENT})
  set(_properties ${CMAKE_CURRENT_BINARY_DIR}/test_${name}_properties.cmake)
  file(WRITE ${_properties} "if(test_${name}_TESTS)\n  set_tests_properties(\${test_${name}_TESTS} PROPERTIES\n"
       "    LABELS [==[${_labels}]==]\n    ENVIRONMENT [==[${_environment}]==])\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_properties})
endfunction()
