add_qt_test(TestStartup app)
target_compile_definitions(TestStartup PRIVATE
  LAUNCHER_PATH="$<TARGET_FILE:launcher>"
  CMAKE_COMMAND="${CMAKE_COMMAND}"
  BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(TestStartup launcher themeicons)
