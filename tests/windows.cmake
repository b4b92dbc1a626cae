# The Qt-free core cross-built for Windows with mingw-w64 (tools/windows) and its driver's
# checks run under Wine, label "windows". Each says why and counts as skipped, not passed,
# where the cross compiler or Wine is missing or Wine cannot start.
set(WINDOWS_CORE_DIR ${CMAKE_BINARY_DIR}/windows)
set(WINE_CHECK ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-check.sh)

add_test(NAME WindowsCrossBuild
  COMMAND bash ${WINE_CHECK} build ${PROJECT_SOURCE_DIR} ${WINDOWS_CORE_DIR})
set_tests_properties(WindowsCrossBuild PROPERTIES FIXTURES_SETUP WindowsCore TIMEOUT 600)

# RFC 4269 vectors and the file procedure; the archive's failure line in the console's
# code page; the single-instance mutex across three processes; the platform layer's
# decisions.
foreach(check Seed Console Lock Platform)
  string(TOLOWER ${check} command)
  add_test(NAME Windows${check}
    COMMAND bash ${WINE_CHECK} ${command} ${WINDOWS_CORE_DIR}/CoreDriver.exe)
  set_tests_properties(Windows${check} PROPERTIES FIXTURES_REQUIRED WindowsCore TIMEOUT 300)
endforeach()

set_tests_properties(WindowsCrossBuild WindowsSeed WindowsConsole WindowsLock WindowsPlatform PROPERTIES
  LABELS windows SKIP_RETURN_CODE 77)
