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
