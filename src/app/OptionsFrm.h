#pragma once

#include "workflow/Settings.h"

#include <QDialog>
#include <QString>
#include <map>
#include <string>

class QComboBox;
class QLineEdit;
class QTabWidget;

namespace quillon {

// The options window: every encoder setting, the CD database server, the output folders, the
// file-name pattern and the playlist choice. Its controls hold the settings; rips and
// conversions read a snapshot of them each time they configure a sink. Closing it only hides
// it.
class TOptionsFrm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsFrm(QWidget* parent = nullptr);
    ~TOptionsFrm() override;

    // Empties the WMA profile list and fills it with the names of the "*.prx" files of the
    // folder (without ".prx"), in name order with numbers compared by value: the order in which
    // the WMA sink counts the stored position. No profile is selected afterwards.
    void FillWmaProfiles(const QString& profilesFolder);
    // Puts every value of the settings into its control (window geometry and "Language"
    // excepted): a list text in no entry, or a position beyond its list, leaves that list
    // unselected. Then runs the format list's change handler. The example name is not
    // refreshed.
    void LoadSettings(const Settings& settings);
    // The controls' values as the settings they stand for: an unselected list gives "" (or
    // position -1). Values without a control here ("Left", "Top", "Width", "Height",
    // "Language", "CDDBUserEmail") are those last given to LoadSettings, or the defaults; the
    // main window sets the geometry and the language before saving.
    Settings Snapshot() const;

    // The text of the format list: "MP3", "WMA", "OGG", "WAV", "APE", "FLAC", or "" when none
    // is selected.
    QString FormatText() const;
    // The format list is disabled while a track is being ripped.
    void SetFormatListEnabled(bool enabled);

signals:
    // The format list changed: the main window shows "Rip to: " and the format.
    void FormatChanged(const QString& format);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The pages, their groups and controls (OptionsFrmPages.cpp).
    void BuildPages();
    void BuildCommonPage();
    void BuildMp3Page();
    void BuildWmaPage();
    void BuildOggPage();
    void BuildApePage();
    void BuildFreeDbPage();
    void BuildFilePage();
    // A drop-down list named name whose entries are those of the setting.
    QComboBox* AddSettingList(QWidget* parent, const char* name, const char* setting,
                              bool editable = false);

    void FormatListChanged();
    void PatternListChanged();
    void ChooseFolder(QLineEdit& field);

    QTabWidget* pages_ = nullptr;
    QComboBox* formatList_ = nullptr;
    QComboBox* patternList_ = nullptr;
    QComboBox* wmaList_ = nullptr;
    QLineEdit* ripToEdit_ = nullptr;
    QLineEdit* convertToEdit_ = nullptr;
    QLineEdit* example_ = nullptr;
    // The control of each setting, by the setting's name.
    std::map<std::string, QWidget*> controls_;
    Settings loaded_;
    bool placed_ = false;
};

} // namespace quillon
