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

# The build compiles a copy of TinyXML's parser with two bounds that no answer of the service
# comes near; the copy is made here, from Debian's source, and never committed.
# - Nested elements are parsed by recursion, one stack frame chain per level: an answer
#   nested deeply enough (a few hundred kilobytes of "<a>") would overflow a worker
#   thread's stack. Every element also walks up to its document, so the depth multiplies
#   the work too: 16 MiB nested 250 deep took 1.8 s, 60 deep 0.5 s. The service's answers
#   nest three deep.
# - Each new attribute is checked against every earlier one of its element, so an element
#   with n attributes costs n * n: 80,000 of them in under 1 MB kept the parser busy for
#   17 s, and the 16 MiB text cap would allow hours. With at most 32 per element the whole
#   document costs at most 16 comparisons per attribute, in time linear in its length.
# An element over either bound is a parse error there; what came before it is kept.
set(KIVO_TINYXML_MAX_DEPTH 64)
set(KIVO_TINYXML_MAX_ATTRIBUTES 32)
set(KIVO_TINYXML_BUILD_DIR ${CMAKE_BINARY_DIR}/tinyxml-limited)
file(READ ${KIVO_TINYXML_DIR}/tinyxmlparser.cpp KIVO_TINYXML_PARSER)

# Puts text in place of anchor in the parser's copy; the anchor must stand there once.
function(kivo_patch_tinyxml_parser what anchor text)
  string(FIND "${KIVO_TINYXML_PARSER}" "${anchor}" first)
  string(FIND "${KIVO_TINYXML_PARSER}" "${anchor}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "TinyXML's parser is not as the ${what} expects it")
  endif()
  string(REPLACE "${anchor}" "${text}" patched "${KIVO_TINYXML_PARSER}")
  set(KIVO_TINYXML_PARSER "${patched}" PARENT_SCOPE)
endfunction()

set(KIVO_ELEMENT_PARSE_HEAD
"const char* TiXmlElement::Parse( const char* p, TiXmlParsingData* data, TiXmlEncoding encoding )
{")
kivo_patch_tinyxml_parser("nesting limit" "${KIVO_ELEMENT_PARSE_HEAD}" "${KIVO_ELEMENT_PARSE_HEAD}
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
	}
	int attributes = 0;")

set(KIVO_ATTRIBUTE_PARSE_HEAD "			// Try to read an attribute:")
kivo_patch_tinyxml_parser("attribute limit" "${KIVO_ATTRIBUTE_PARSE_HEAD}"
"			// Added by the KivoAlbum build: refuse an element with more attributes than the limit.
			if ( ++attributes > ${KIVO_TINYXML_MAX_ATTRIBUTES} )
			{
				if ( document ) document->SetError( TIXML_ERROR_READING_ATTRIBUTES, p, data, encoding );
				return 0;
			}
${KIVO_ATTRIBUTE_PARSE_HEAD}")
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
