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

# TinyXML parses nested elements by recursion, one stack frame chain per level: an answer
# nested deeply enough (a few hundred kilobytes of "<a>") would overflow a worker thread's
# stack. The build compiles a copy of the parser with a nesting limit far beyond anything
# the service sends; the copy is made here, from Debian's source, and never committed.
set(KIVO_TINYXML_MAX_DEPTH 256)
set(KIVO_TINYXML_BUILD_DIR ${CMAKE_BINARY_DIR}/tinyxml-limited)
file(READ ${KIVO_TINYXML_DIR}/tinyxmlparser.cpp KIVO_TINYXML_PARSER)
set(KIVO_ELEMENT_PARSE_HEAD
"const char* TiXmlElement::Parse( const char* p, TiXmlParsingData* data, TiXmlEncoding encoding )
{")
string(FIND "${KIVO_TINYXML_PARSER}" "${KIVO_ELEMENT_PARSE_HEAD}" KIVO_HEAD_AT)
if(KIVO_HEAD_AT EQUAL -1)
  message(FATAL_ERROR "TinyXML's element parser is not where the nesting limit expects it")
endif()
string(REPLACE "${KIVO_ELEMENT_PARSE_HEAD}" "${KIVO_ELEMENT_PARSE_HEAD}
	// Added by the KivoAlbum build: refuse elements nested deeper than the limit.
	struct NestingGuard {
		int& depth;
		explicit NestingGuard( int& d ) : depth( d ) { ++depth; }
		~NestingGuard() { --depth; }
	};
	static thread_local int nesting = 0;
	NestingGuard guard( nesting );
	if ( nesting > ${KIVO_TINYXML_MAX_DEPTH} )
	{
		if ( GetDocument() ) GetDocument()->SetError( TIXML_ERROR_PARSING_ELEMENT, p, data, encoding );
		return 0;
	}" KIVO_TINYXML_PARSER "${KIVO_TINYXML_PARSER}")
file(WRITE ${KIVO_TINYXML_BUILD_DIR}/tinyxmlparser.cpp.new "${KIVO_TINYXML_PARSER}")
# Rewritten only when it changed, so that a new configure does not rebuild TinyXML.
file(COPY_FILE ${KIVO_TINYXML_BUILD_DIR}/tinyxmlparser.cpp.new ${KIVO_TINYXML_BUILD_DIR}/tinyxmlparser.cpp
     ONLY_IF_DIFFERENT)

add_library(tinyxml STATIC
  ${KIVO_TINYXML_DIR}/tinyxml.cpp
  ${KIVO_TINYXML_DIR}/tinyxmlerror.cpp
  ${KIVO_TINYXML_BUILD_DIR}/tinyxmlparser.cpp
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
