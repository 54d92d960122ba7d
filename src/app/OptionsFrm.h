#pragma once

#include "workflow/Settings.h"

#include <QDialog>
#include <QString>

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
    // folder (without ".prx"), in name order.
    void FillWmaProfiles(const QString& profilesFolder);
    // Puts every value of the settings into its control (window geometry and "Language"
    // excepted): a list text in no entry leaves that list unselected. Then runs the format
    // list's change handler. The example name is not refreshed.
    void LoadSettings(const Settings& settings);
    // The controls' values as the settings they stand for ("Left", "Top", "Width", "Height" and
    // "Language" keep their defaults; the main window sets them before saving).
    Settings Snapshot() const;

    // The text of the format list: "MP3", "WMA", "OGG", "WAV", "APE", "FLAC", or "" when none
    // is selected.
    QString FormatText() const;
    // The format list is disabled while a track is being ripped.
    void SetFormatListEnabled(bool enabled);

signals:
    // The format list changed: the main window shows "Rip to: " and the format.
    void FormatChanged(const QString& format);
};

} // namespace quillon
