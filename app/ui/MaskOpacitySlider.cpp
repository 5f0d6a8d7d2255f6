#include "ui/MaskOpacitySlider.h"

#include "core/MaskBlend.h"
#include "core/Settings.h"
#include "ui/PlastoraView.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace plastora::ui {

MaskOpacitySlider::MaskOpacitySlider(CPlastoraView* view, QWidget* parent) : QWidget(parent), m_view(view) {
    setObjectName("maskOpacity");
    m_slider = new QSlider(Qt::Vertical, this);
    m_slider->setRange(kMaskOpacityMin, kMaskOpacityMax);
    m_slider->setSingleStep(5);
    m_slider->setPageStep(25);
    m_slider->setMinimumHeight(96);
    m_slider->setMaximumHeight(160);
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 4, 2, 4);
    layout->addWidget(m_slider, 0, Qt::AlignHCenter);
    layout->addWidget(m_label);
    layout->addStretch();
    setToolTip(QStringLiteral("マスク表示の不透明度"));
    showValue(view->workspace().settings().maskOpacity);

    connect(m_slider, &QSlider::valueChanged, this, [this](int v) {
        apply(v);
        // Keys and clicks on the groove end at once; a drag ends on release.
        if (!m_slider->isSliderDown()) store();
    });
    connect(m_slider, &QSlider::sliderReleased, this, &MaskOpacitySlider::store);
    // The parameter dialog may change the value too.
    connect(view, &CPlastoraView::stateChanged, this,
            [this] { showValue(m_view->workspace().settings().maskOpacity); });
}

void MaskOpacitySlider::showValue(int percent) {
    const QSignalBlocker block(m_slider);
    m_slider->setValue(percent);
    m_label->setText(QStringLiteral("%1%").arg(percent));
}

void MaskOpacitySlider::apply(int percent) {
    CStereoWorkspace& ws = m_view->workspace();
    m_label->setText(QStringLiteral("%1%").arg(percent));
    if (ws.settings().maskOpacity == percent) return;
    ws.settings().maskOpacity = percent;
    ws.Redraw();
}

void MaskOpacitySlider::store() {
    const CStereoWorkspace& ws = m_view->workspace();
    // A settings file that cannot be written keeps the value for this run.
    Settings(ws.settingsPath()).setInt(SettingKey::MaskOpacity, ws.settings().maskOpacity);
}

}  // namespace plastora::ui
