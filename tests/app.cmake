add_qt_test(TestLauncherWindow app)
add_qt_test(TestLoginExchange app)
