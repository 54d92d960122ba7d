#include "app/OptionsFrm.h"

namespace quillon {

namespace {
Settings stubSettings;
}

TOptionsFrm::TOptionsFrm(QWidget* parent) : QDialog(parent) {
    setObjectName("OptionsFrm");
    setWindowTitle("Options");
}

TOptionsFrm::~TOptionsFrm() = default;

void TOptionsFrm::FillWmaProfiles(const QString&) {}

void TOptionsFrm::LoadSettings(const Settings& settings) {
    stubSettings = settings;
}

Settings TOptionsFrm::Snapshot() const {
    return stubSettings;
}

QString TOptionsFrm::FormatText() const {
    return QString::fromStdString(stubSettings.ListText("RipToFormat"));
}

void TOptionsFrm::SetFormatListEnabled(bool) {}

} // namespace quillon
