add_qt_test(TestSeed archive)
