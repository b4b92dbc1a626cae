add_qt_test(TestXmlMsgParser utility)
add_qt_test(TestXmlServerParser utility)
add_qt_test(TestSaveData utility)
add_qt_test(TestRequestJson utility)
# Reads back saved files with the resource tool.
add_dependencies(TestSaveData restool)

set_tests_properties(TestXmlMsgParser TestXmlServerParser TestSaveData PROPERTIES LABELS unit)
# Against a real HTTP responder on loopback.
set_tests_properties(TestRequestJson PROPERTIES LABELS net)
