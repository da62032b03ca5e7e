# Third-party code is never committed: TinyXML comes from Debian's source package (with
# Debian's security fixes applied), GoogleTest from Debian's googletest package.
set(KIVO_TINYXML_DIR "${CMAKE_SOURCE_DIR}/third_party/tinyxml" CACHE PATH
    "TinyXML 2.6.2 sources as unpacked by 'apt-get source tinyxml' (scripts/setup)")
set(KIVO_GOOGLETEST_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources (Debian googletest)")

if(NOT EXISTS "${KIVO_TINYXML_DIR}/tinyxml.cpp")
  message(FATAL_ERROR "TinyXML sources not found in ${KIVO_TINYXML_DIR}; run scripts/setup")
endif()
# The patched source carries debian/patches; refuse an unpatched tree.
if(NOT EXISTS "${KIVO_TINYXML_DIR}/.pc/applied-patches")
  message(FATAL_ERROR "${KIVO_TINYXML_DIR} has no applied Debian patches; run scripts/setup")
endif()
file(STRINGS "${KIVO_TINYXML_DIR}/.pc/applied-patches" KIVO_TINYXML_PATCHES)
message(STATUS "TinyXML patches applied: ${KIVO_TINYXML_PATCHES}")

add_library(tinyxml STATIC
  ${KIVO_TINYXML_DIR}/tinyxml.cpp
  ${KIVO_TINYXML_DIR}/tinyxmlerror.cpp
  ${KIVO_TINYXML_DIR}/tinyxmlparser.cpp
  ${KIVO_TINYXML_DIR}/tinystr.cpp)
target_include_directories(tinyxml SYSTEM PUBLIC ${KIVO_TINYXML_DIR})
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
# TinyXML is C++98 code; its warnings are not ours to fix.
target_compile_options(tinyxml PRIVATE -w)

if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${KIVO_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
