#pragma once

#include <QMap>
#include <QPushButton>
#include <QString>

#include "widgets/ButtonCallback.h"

class QLabel;

// What a tab and a check box share: an off (0) and an on (1) picture, a caption, an
// active switch and one callback told the new state when a press changes it. The kind
// of button says where a press leads. GUI thread; owned by its parent widget.
class ZVTwoStateButton : public QPushButton {
    Q_OBJECT

public:
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

protected:
    explicit ZVTwoStateButton(QWidget* parent);
    // The state a press leads to from `current`; the same state means the press does
    // nothing at all.
    virtual bool pressedState(bool current) const = 0;

private:
    bool active = true;
    QLabel* caption = nullptr;
    QMap<int, QString> images;
    bool on = false;
    ButtonCallback callback;
};
