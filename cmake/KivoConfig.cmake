# Hosts and addresses the program talks to. They are build settings, never read at run
# time; the defaults sit under the reserved .test domain, which the stand-in service plays.
set(KIVO_MEMBER_CARD_HOST "card.kivo.test" CACHE STRING "Host of the member card request")
set(KIVO_ROUTE_HOST "route.kivo.test" CACHE STRING "Host of the route server")
set(KIVO_LOGIN_HOST "login.kivo.test" CACHE STRING "Host of the login server (verification picture)")
set(KIVO_ALBUM_VIEW_HOST "view.kivo.test" CACHE STRING "Host of the protected-album view request")
set(KIVO_SPACE_DOMAIN "space.kivo.test" CACHE STRING "Domain of the members' spaces (uin.<domain>)")
set(KIVO_UPDATE_URL "http://blog.kivo.test/article/kivoalbum-update.html" CACHE STRING "Address of the update page")

# Signed updates: with a public key (128 hex digits, X then Y of the P-256 point, as
# tools/updatesign prints it) a new version is installed only when its signature, served
# beside it with ".sig" appended, verifies. Empty: updates are not signed.
set(KIVO_UPDATE_PUBLIC_KEY "" CACHE STRING "Public key that update downloads must be signed with (empty: unsigned)")
string(STRIP "${KIVO_UPDATE_PUBLIC_KEY}" KIVO_UPDATE_PUBLIC_KEY_TEXT)
if(NOT KIVO_UPDATE_PUBLIC_KEY_TEXT STREQUAL "" AND NOT KIVO_UPDATE_PUBLIC_KEY_TEXT MATCHES "^[0-9A-Fa-f]+$")
  message(FATAL_ERROR "KIVO_UPDATE_PUBLIC_KEY must be 128 hex digits")
endif()
string(LENGTH "${KIVO_UPDATE_PUBLIC_KEY_TEXT}" key_length)
if(NOT key_length EQUAL 0 AND NOT key_length EQUAL 128)
  message(FATAL_ERROR "KIVO_UPDATE_PUBLIC_KEY must be 128 hex digits, not ${key_length}")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/../src/base/build_config.h.in
               ${CMAKE_BINARY_DIR}/generated/build_config.h @ONLY)
