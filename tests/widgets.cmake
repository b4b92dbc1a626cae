add_qt_test(TestZVButton widgets)
add_qt_test(TestTopMenuLayout widgets)
add_qt_test(TestBottomMenu widgets)
add_qt_test(TestLoginView widgets)
add_qt_test(TestWebViews widgets)

set_tests_properties(TestZVButton TestTopMenuLayout TestBottomMenu TestLoginView PROPERTIES
  LABELS gui)
# The web pages against a real HTTP responder on loopback.
set_tests_properties(TestWebViews PROPERTIES LABELS "gui;net")
