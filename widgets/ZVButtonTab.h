#pragma once

#include <QMap>
#include <QPushButton>
#include <QString>

#include "widgets/ButtonCallback.h"

class QLabel;

// One tab of a row of tabs: an off (0) and an on (1) picture. A press turns it on and
// reports 1; it never turns itself off, the owner does that for the other tabs.
// GUI thread; owned by its parent widget.
class ZVButtonTab : public QPushButton {
    Q_OBJECT

public:
    explicit ZVButtonTab(QWidget* parent);

    void setImage(int state, const QString& path);
    // Changes the state and its picture without reporting.
    void setOn(bool on);
    bool isOn() const { return on; }
    // While inactive, presses change nothing and report nothing.
    void setActive(bool active);
    void setCaption(const QString& text);
    void setCallback(ButtonCallback cb);

public slots:
    void init();
    void onPress();

private:
    bool active = true;
    QLabel* caption = nullptr;
    QMap<int, QString> images;
    bool on = false;
    ButtonCallback callback;
};
