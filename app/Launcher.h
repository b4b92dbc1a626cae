#pragma once

#include <QMainWindow>

// The launcher's only main window: frameless and fixed at 1024 x 768. Lives on the GUI
// thread for the whole run; start-up owns it.
class Launcher : public QMainWindow {
    Q_OBJECT

public:
    explicit Launcher(QWidget* parent = nullptr);
    ~Launcher() override;
};
