# Zip packages for the update tests, made with minizip's zip API.
add_library(ziptestsupport STATIC support/ZipMaker.cpp support/ZipMaker.h)
target_include_directories(ziptestsupport PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(ziptestsupport PUBLIC Qt5::Core PRIVATE PkgConfig::MINIZIP ZLIB::ZLIB)

add_qt_test(TestPackageInstaller update ziptestsupport)
add_qt_test(TestFtpThread update ziptestsupport)
add_qt_test(TestFtpDownloadView update ziptestsupport)
add_qt_test(TestGameView update)

set_tests_properties(TestPackageInstaller PROPERTIES LABELS unit)
# Against a real FTP server (pyftpdlib) on loopback.
set_tests_properties(TestFtpThread PROPERTIES LABELS net)
set_tests_properties(TestFtpDownloadView PROPERTIES LABELS "gui;net")
set_tests_properties(TestGameView PROPERTIES LABELS gui)
