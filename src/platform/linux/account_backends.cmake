# What the account needs of the real desktop, as small libraries without the
# display so its tests link them alone: the Secret Service over libsecret,
# and posting results from worker threads to the Qt main loop.
pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)
add_library(mivo_platform_secret STATIC ${CMAKE_CURRENT_LIST_DIR}/libsecret_secret_store.cpp)
target_link_libraries(mivo_platform_secret PUBLIC mivo_platform PRIVATE PkgConfig::LIBSECRET)

find_package(Qt6 REQUIRED COMPONENTS Core)
add_library(mivo_platform_qt_main_loop STATIC ${CMAKE_CURRENT_LIST_DIR}/qt/qt_main_loop_post.cpp)
target_link_libraries(mivo_platform_qt_main_loop PUBLIC mivo_platform Qt6::Core)

# The composition root gets both with the rest of the desktop.
target_link_libraries(mivo_platform_linux PUBLIC mivo_platform_secret mivo_platform_qt_main_loop)
