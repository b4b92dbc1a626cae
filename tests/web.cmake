add_qt_test(TestRequestJson utility)
