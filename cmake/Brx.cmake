# Helpers shared by every folder of the build.

# Deliverables land in bin/ under their installed names; the platform layer in system/.
set(BRX_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(BRX_SYSTEM_DIR ${CMAKE_BINARY_DIR}/system)
set(BRX_TEST_DIR ${CMAKE_BINARY_DIR}/tests)

# brx_deliverable(<target> <installed file name> SHARED|EXECUTABLE <sources...>)
# Builds a deliverable as an ELF file named as it is installed (SONAME = file name)
# with an RPATH that finds its siblings and the platform layer.
function(brx_deliverable target file kind)
  get_filename_component(base ${file} NAME_WLE)
  get_filename_component(ext ${file} LAST_EXT)
  if(kind STREQUAL "SHARED")
    add_library(${target} SHARED ${ARGN})
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX "${ext}" OUTPUT_NAME "${base}"
      LIBRARY_OUTPUT_DIRECTORY ${BRX_BIN_DIR} CXX_VISIBILITY_PRESET hidden)
  elseif(kind STREQUAL "EXECUTABLE")
    add_executable(${target} ${ARGN})
    set_target_properties(${target} PROPERTIES SUFFIX "${ext}" OUTPUT_NAME "${base}"
      RUNTIME_OUTPUT_DIRECTORY ${BRX_BIN_DIR})
  else()
    message(FATAL_ERROR "brx_deliverable: kind must be SHARED or EXECUTABLE")
  endif()
  set_target_properties(${target} PROPERTIES
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN:$ORIGIN/../system")
endfunction()

# brx_system_library(<target> <sources...>): a shared library of the platform or
# framework layer, placed in system/.
function(brx_system_library target)
  add_library(${target} SHARED ${ARGN})
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${BRX_SYSTEM_DIR}
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN:$ORIGIN/../bin")
endfunction()

# brx_test(<name> [GUI] SOURCES <files...> LIBS <targets...>): one GoogleTest program
# registered with CTest. Tests run on Qt's offscreen platform with a private
# system root, so they never touch the user's own settings.
function(brx_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  set(support brx_testsupport)
  if(T_GUI)
    set(support brx_testsupport_gui)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock ${support})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${BRX_TEST_DIR}
    BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "${BRX_BIN_DIR}:${BRX_SYSTEM_DIR}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${BRX_TEST_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;BRX_BIN_DIR=${BRX_BIN_DIR};BRX_SOURCE_DIR=${CMAKE_SOURCE_DIR};BRX_FIXTURES=${BRX_FIXTURES_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()
