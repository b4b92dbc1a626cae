# Start-up of the program in its run tree, under Xvfb.
add_qt_test(TestStartup app)
target_compile_definitions(TestStartup PRIVATE
  LAUNCHER_PATH="$<TARGET_FILE:launcher>"
  CMAKE_COMMAND="${CMAKE_COMMAND}"
  BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(TestStartup launcher themeicons)

add_qt_test(TestLauncherWindow app)
add_qt_test(TestLoginExchange app)

# Game launching: version decision, program lookup, starting and ending games in a run
# tree, with the stand-in game and its packed FTP tree.
add_qt_test(TestCompareVersion app)
add_qt_test(TestGameLaunch app ziptestsupport)
target_compile_definitions(TestGameLaunch PRIVATE
  STANDIN_PROGRAM="$<TARGET_FILE:standin>"
  STANDIN_FTP_ROOT="${STANDIN_FTP_ROOT}")
add_dependencies(TestGameLaunch standin demogames)

# The whole road against the bundled operator service and FTP server on 127.0.0.31
# (fixed ports 2356 and 80, so it needs the right to bind them).
add_qt_test(TestEndToEnd app)
target_compile_definitions(TestEndToEnd PRIVATE
  STANDIN_FTP_ROOT="${STANDIN_FTP_ROOT}"
  OPERATOR_TOOL_DIR="${PROJECT_SOURCE_DIR}/demo/operator")
add_dependencies(TestEndToEnd demogames)
add_qt_test(TestMessageDialog app)

set_tests_properties(TestCompareVersion PROPERTIES LABELS unit)
set_tests_properties(TestLauncherWindow TestMessageDialog PROPERTIES LABELS gui)
# The program or its main window with real servers, processes and X.
set_tests_properties(TestStartup TestLoginExchange TestGameLaunch TestEndToEnd PROPERTIES
  LABELS e2e)
# A hundred updates closed at random moments: about a minute, more under the sanitizers.
set_tests_properties(TestGameLaunch PROPERTIES TIMEOUT 600)
