# The HTTP transport over Qt Network: its own small library, because it needs
# an event loop but no display, so the web clients' tests link it without
# the rest of the desktop.
find_package(Qt6 REQUIRED COMPONENTS Core Network)
add_library(mivo_platform_qt_http STATIC
  ${CMAKE_CURRENT_LIST_DIR}/http_wire.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qt/qt_http_transport.cpp)
target_link_libraries(mivo_platform_qt_http PUBLIC mivo_platform Qt6::Core Qt6::Network
  PRIVATE mivo_platform_socket_owner)
