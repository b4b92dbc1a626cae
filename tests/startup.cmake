add_qt_test(TestStartup)
target_compile_definitions(TestStartup PRIVATE LAUNCHER_PATH="$<TARGET_FILE:launcher>")
add_dependencies(TestStartup launcher)
