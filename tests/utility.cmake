add_qt_test(TestXmlMsgParser utility)
add_qt_test(TestXmlServerParser utility)
add_qt_test(TestSaveData utility)
# Reads back saved files with the resource tool.
add_dependencies(TestSaveData restool)
