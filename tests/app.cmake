add_qt_test(TestLauncherWindow app)
