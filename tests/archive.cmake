add_qt_test(TestSeed archive)
add_qt_test(TestResourceArchive archive)
add_qt_test(TestResTool archive)

set_tests_properties(TestSeed TestResourceArchive TestResTool PROPERTIES LABELS unit)
