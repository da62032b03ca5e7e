# Hosts and addresses the program talks to. They are build settings, never read at run
# time; the defaults sit under the reserved .test domain, which the stand-in service plays.
set(KIVO_MEMBER_CARD_HOST "card.kivo.test" CACHE STRING "Host of the member card request")
set(KIVO_ROUTE_HOST "route.kivo.test" CACHE STRING "Host of the route server")
set(KIVO_LOGIN_HOST "login.kivo.test" CACHE STRING "Host of the login server (verification picture)")
set(KIVO_ALBUM_VIEW_HOST "view.kivo.test" CACHE STRING "Host of the protected-album view request")
set(KIVO_SPACE_DOMAIN "space.kivo.test" CACHE STRING "Domain of the members' spaces (uin.<domain>)")
set(KIVO_UPDATE_URL "http://blog.kivo.test/article/kivoalbum-update.html" CACHE STRING "Address of the update page")

configure_file(${CMAKE_CURRENT_LIST_DIR}/../src/base/build_config.h.in
               ${CMAKE_BINARY_DIR}/generated/build_config.h @ONLY)
