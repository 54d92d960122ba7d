#include "app/OptionsFrm.h"

#include "codecs/WMAProfile.h"
#include "workflow/OutputFileName.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>

namespace quillon {

namespace {

// The position of a list's text among its entries (any letter case), or -1. An editable list
// counts what is typed, as long as it names an entry.
int EnteredPosition(const QComboBox& list) {
    if (!list.isEditable()) {
        return list.currentIndex();
    }
    return list.findText(list.currentText().trimmed(), Qt::MatchFixedString);
}

} // namespace

TOptionsFrm::TOptionsFrm(QWidget* parent) : QDialog(parent) {
    setObjectName("OptionsFrm");
    setWindowTitle("Options");
    // A tool window whose frame offers only the close button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    BuildPages();
    // The controls start with the defaults of the settings.
    LoadSettings(Settings());

    connect(formatList_, &QComboBox::activated, this, &TOptionsFrm::FormatListChanged);
    connect(patternList_, &QComboBox::activated, this, &TOptionsFrm::PatternListChanged);
    formatList_->setCurrentIndex(formatList_->findText("MP3"));
    FormatListChanged();
    patternList_->setCurrentIndex(kDefaultOutputFileNamePattern);
    PatternListChanged();
}

TOptionsFrm::~TOptionsFrm() = default;

void TOptionsFrm::FillWmaProfiles(const QString& profilesFolder) {
    wmaList_->clear();
    for (const std::string& name : WmaProfileNames(profilesFolder.toStdString())) {
        wmaList_->addItem(QString::fromStdString(name));
    }
    wmaList_->setCurrentIndex(-1);
}

void TOptionsFrm::LoadSettings(const Settings& settings) {
    loaded_ = settings;
    for (const SettingDefinition& definition : SettingsTable()) {
        const auto control = controls_.find(definition.name);
        if (control == controls_.end()) {
            continue;
        }
        const std::string name = definition.name;
        switch (definition.kind) {
        case SettingKind::Boolean:
            static_cast<QCheckBox*>(control->second)->setChecked(settings.Boolean(name));
            break;
        case SettingKind::Integer:
            static_cast<QSpinBox*>(control->second)->setValue(settings.Integer(name));
            break;
        case SettingKind::Text:
            static_cast<QLineEdit*>(control->second)
                ->setText(QString::fromStdString(settings.Text(name)));
            break;
        case SettingKind::ListText:
        case SettingKind::ListPos:
        case SettingKind::Server: {
            auto* list = static_cast<QComboBox*>(control->second);
            const int position = settings.ListPosition(name);
            list->setCurrentIndex(position < list->count() ? position : -1);
            if (list->isEditable() && position < 0) {
                // A server outside the list stays as typed; anything else leaves the list empty.
                list->setEditText(definition.kind == SettingKind::Server
                                      ? QString::fromStdString(settings.ListText(name))
                                      : QString());
            }
            break;
        }
        }
    }
    FormatListChanged();
}

Settings TOptionsFrm::Snapshot() const {
    Settings settings = loaded_;
    for (const auto& [name, control] : controls_) {
        switch (FindSetting(name)->kind) {
        case SettingKind::Boolean:
            settings.Set(name, static_cast<QCheckBox*>(control)->isChecked() ? "1" : "0");
            break;
        case SettingKind::Integer:
            settings.Set(name, std::to_string(static_cast<QSpinBox*>(control)->value()));
            break;
        case SettingKind::Text:
            settings.Set(name, static_cast<QLineEdit*>(control)->text().toStdString());
            break;
        case SettingKind::ListText: {
            const auto* list = static_cast<QComboBox*>(control);
            const int position = EnteredPosition(*list);
            settings.Set(name, position >= 0 ? list->itemText(position).toStdString() : "");
            break;
        }
        case SettingKind::ListPos:
            settings.Set(name, std::to_string(EnteredPosition(*static_cast<QComboBox*>(control))));
            break;
        case SettingKind::Server: {
            const auto* list = static_cast<QComboBox*>(control);
            const int position = EnteredPosition(*list);
            settings.Set(name,
                         (position >= 0 ? list->itemText(position) : list->currentText().trimmed())
                             .toStdString());
            break;
        }
        }
    }
    return settings;
}

QString TOptionsFrm::FormatText() const {
    return formatList_->currentIndex() >= 0 ? formatList_->currentText() : QString();
}

void TOptionsFrm::SetFormatListEnabled(bool enabled) {
    formatList_->setEnabled(enabled);
}

void TOptionsFrm::showEvent(QShowEvent* event) {
    // Centred on the screen the first time; afterwards where the user left it.
    if (!placed_) {
        placed_ = true;
        const QScreen* screen =
            parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}

void TOptionsFrm::FormatListChanged() {
    emit FormatChanged(FormatText());
}

void TOptionsFrm::PatternListChanged() {
    example_->setText(QString::fromStdString(
        MakeOutputFileName(patternList_->currentIndex(), 1, FormatText().toStdString(),
                           "Happy Boys Girls", "Aqua", ripToEdit_->text().toStdString())));
}

void TOptionsFrm::ChooseFolder(QLineEdit& field) {
    const QString folder = QFileDialog::getExistingDirectory(
        this, "Please specify a directory", field.text(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) {
        field.setText(folder);
    }
}

} // namespace quillon
