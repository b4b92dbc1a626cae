#pragma once

#include <QMap>
#include <QPushButton>
#include <QString>

#include "widgets/ButtonCallback.h"

class QEvent;
class QLabel;

// A picture button with a normal (0), pressed (1) and hover (2) picture. It reports
// every change of state to its owner's callback and does nothing else by itself.
// GUI thread; owned by its parent widget.
class ZVButton : public QPushButton {
    Q_OBJECT

public:
    explicit ZVButton(QWidget* parent);

    void setImage(int state, const QString& path);
    void showImage(int state);
    // While inactive, mouse input changes no picture and reports nothing (the button
    // still returns to its normal picture on release and on leaving).
    void setActive(bool active);
    void setCaption(const QString& text);
    void setCallback(ButtonCallback cb);

signals:
    void enter();
    void denter();

public slots:
    void onHover();
    void onPress();
    void onRelease();

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void init();
    // Shows the picture of `state` and reports it, unless the button is inactive.
    void showAndReport(int state);

    bool active = true;
    QLabel* caption = nullptr;
    QMap<int, QString> images;
    ButtonCallback callback;
};
