#include "app/FormControls.h"

#include <QLabel>
#include <QStatusBar>

namespace quillon {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    // Edit boxes and lists are known by their label's text.
    buddy->setAccessibleName(QString(text).remove('&').remove(':'));
    return label;
}

void AddStatusPanels(QStatusBar& bar, std::span<QLabel*> panels, std::span<const int> widths) {
    bar.setObjectName("StatusBar1");
    for (size_t i = 0; i < panels.size(); ++i) {
        auto* panel = new QLabel(&bar);
        panel->setObjectName(QString("StatusBar1Panel%1").arg(i));
        panel->setMinimumWidth(widths[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panels[i] = panel;
    }
    panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar.addWidget(panels[0], 1);
    for (size_t i = 1; i < panels.size(); ++i) {
        bar.addWidget(panels[i]);
    }
}

void ShowFailureIn(QLabel& panel, const QString& message) {
    panel.setText(message);
    panel.setToolTip(message);
}

} // namespace quillon
