add_qt_test(TestRequestJson utility)
add_qt_test(TestWebViews widgets)
