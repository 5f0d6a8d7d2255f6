// The mask palette's slider for the mask display's opacity: it shows the
// workspace's value, changes it while it moves (the picture is redrawn at
// once) and stores it in the settings file when it is let go.
#pragma once

#include <QWidget>

class QLabel;
class QSlider;

namespace plastora::ui {

class CPlastoraView;

class MaskOpacitySlider : public QWidget {
    Q_OBJECT
public:
    MaskOpacitySlider(CPlastoraView* view, QWidget* parent = nullptr);
    QSlider* slider() const { return m_slider; }

private:
    void showValue(int percent);
    void apply(int percent);
    void store();

    CPlastoraView* m_view;
    QSlider* m_slider;
    QLabel* m_label;
};

}  // namespace plastora::ui
