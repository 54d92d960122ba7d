#include "app/RipFrm.h"

#include "app/AboutFrm.h"
#include "app/AppIcons.h"
#include "app/CdPreview.h"
#include "app/DriveMonitor.h"
#include "app/LanguageFiles.h"
#include "app/MessageBox.h"
#include "app/OperationProgressFrm.h"
#include "app/OptionsFrm.h"
#include "app/WindowGeometry.h"
#include "cd/AddedImages.h"
#include "cd/CDIn.h"
#include "cddb/Cddb.h"
#include "platform/ProgramFiles.h"
#include "workflow/CddbLookup.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <filesystem>

namespace quillon {

namespace {

// The window's design geometry; a window never moved or sized is centred instead.
const QRect kDesignGeometry(244, 118, 541, 511);
constexpr int kFirstTickMs = 50;

QString DataFolder(const char* name) {
    return QString::fromStdString(ProgramFile(name, ProgramFileKind::Data));
}

// A language is the name of a file in the languages folder, never a path to elsewhere.
bool IsLanguageName(const QString& language) {
    return !language.isEmpty() && !language.contains('/') && language != "." && language != "..";
}

} // namespace

TRipFrm::TRipFrm(QWidget* parent)
    : QMainWindow(parent), cdIn_(std::make_unique<TCDIn>()), cddb_(std::make_unique<TCddb>()) {
    setObjectName("RipFrm");
    setWindowTitle("Quillon Rip PRO");
    setWindowIcon(ApplicationIcon());
    BuildActions();
    BuildMenus();
    BuildToolBar();
    mainPanel_ = BuildMainPanel();
    setCentralWidget(mainPanel_);
    BuildStatusBar();
    ConnectCommands();
    ConnectRipEvents();
    ConnectLookupEvents();

    const Settings stored = SettingsStore::Load();
    PlaceWindow(*this,
                QRect(stored.Integer("Left"), stored.Integer("Top"), stored.Integer("Width"),
                      stored.Integer("Height")),
                kDesignGeometry);

    languageEntries_ = FillLanguageMenu(*languageMenu_, DataFolder("Languages"));
    for (QAction* entry : languageEntries_) {
        connect(entry, &QAction::triggered, this, [this, entry] { SelectLanguage(entry); });
    }

    FillDrives(0);
    RefreshTrackList();

    driveMonitor_ = new TDriveMonitor(this);
    connect(driveMonitor_, &TDriveMonitor::DrivesChanged, this, &TRipFrm::DrivesChanged);

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setSingleShot(true);
    timer1_->setInterval(kFirstTickMs);
    connect(timer1_, &QTimer::timeout, this, &TRipFrm::FirstTick);
    timer1_->start();
}

TRipFrm::~TRipFrm() = default;

void TRipFrm::ConnectCommands() {
    const auto on = [this](QAction* action, void (TRipFrm::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    for (QAction* rip : {btnRip_, mnuRip_}) {
        on(rip, &TRipFrm::RipButton);
    }
    for (QAction* eject : {btnEject_, mnuEject_}) {
        on(eject, &TRipFrm::Eject);
    }
    for (QAction* close : {btnCloseTray_, mnuCloseTray_}) {
        on(close, &TRipFrm::CloseTray);
    }
    for (QAction* refresh : {btnRefresh_, mnuRefresh_}) {
        on(refresh, &TRipFrm::RefreshTrackList);
    }
    for (QAction* options : {btnOptions_, mnuOptions_}) {
        on(options, &TRipFrm::ShowOptions);
    }
    for (QAction* about : {btnAbout_, mnuAbout_}) {
        on(about, &TRipFrm::ShowAbout);
    }
    on(btnFreeDB_, &TRipFrm::StartLookup);
    on(mnuOpenImage_, &TRipFrm::OpenDiscImageDialog);
    connect(mnuExit_, &QAction::triggered, this, &QWidget::close);
    on(mnuSelectAll_, &TRipFrm::SelectAll);
    on(mnuSelectNone_, &TRipFrm::SelectNone);
    on(mnuInvertSelection_, &TRipFrm::InvertSelection);
    on(mnuHomePage_, &TRipFrm::OpenHomePage);
    connect(mnuConverter_, &QAction::triggered, this, [this] { ShowWindow(converter_); });
    connect(mnuTagEditor_, &QAction::triggered, this, [this] { ShowWindow(tagEditor_); });

    connect(driveBox_, &QComboBox::currentIndexChanged, this, &TRipFrm::DriveChanged);
    connect(trackBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            currentTrack_ = index + 1;
        }
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { preview_->Play(); });
    connect(preview_, &TCdPreview::StatusChanged, panels_[1], &QLabel::setText);
    connect(preview_, &TCdPreview::Failed, this, &TRipFrm::ShowFailure);
}

void TRipFrm::SetWindows(TOptionsFrm* options, QWidget* converter, QWidget* tagEditor) {
    options_ = options;
    converter_ = converter;
    tagEditor_ = tagEditor;
    if (options_) {
        const auto showFormat = [this](const QString& format) {
            panels_[2]->setText("Rip to: " + format);
        };
        connect(options_, &TOptionsFrm::FormatChanged, this, showFormat);
        showFormat(options_->FormatText());
    }
}

void TRipFrm::FirstTick() {
    timer1_->stop();
    if (options_) {
        options_->FillWmaProfiles(DataFolder("Profiles"));
        options_->LoadSettings(SettingsStore::Load());
    }
    const QString language = QString::fromStdString(SettingsStore::Load().Text("Language"));
    for (QAction* entry : languageEntries_) {
        if (LanguageName(*entry) == language) {
            entry->setChecked(true);
            break;
        }
    }
    LoadLanguageFile(language);
}

void TRipFrm::SelectLanguage(QAction* entry) {
    entry->setChecked(true);
    LoadLanguageFile(LanguageName(*entry));
}

void TRipFrm::LoadLanguageFile(const QString& language) {
    if (IsLanguageName(language)) {
        LoadLanguage(DataFolder("Languages") + "/" + language + ".ini", Windows());
    }
}

QString TRipFrm::LanguageChoice() const {
    for (const QAction* entry : languageEntries_) {
        if (entry->isChecked()) {
            return LanguageName(*entry);
        }
    }
    return "ENG";
}

QList<QWidget*> TRipFrm::Windows() {
    QList<QWidget*> windows{this};
    for (QWidget* window : {static_cast<QWidget*>(options_), converter_, tagEditor_}) {
        if (window) {
            windows.append(window);
        }
    }
    return windows;
}

QString TRipFrm::StatusText(int panel) const {
    return panel >= 0 && panel < static_cast<int>(panels_.size()) ? panels_[panel]->text()
                                                                  : QString();
}

Settings TRipFrm::CurrentSettings() const {
    return options_ ? options_->Snapshot() : SettingsStore::Load();
}

void TRipFrm::SaveSettings() {
    Settings settings = CurrentSettings();
    settings.Set("Language", LanguageChoice().toStdString());
    const QRect place = isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size());
    settings.Set("Left", std::to_string(place.x()));
    settings.Set("Top", std::to_string(place.y()));
    settings.Set("Width", std::to_string(place.width()));
    settings.Set("Height", std::to_string(place.height()));
    SettingsStore::Save(settings);
}

void TRipFrm::closeEvent(QCloseEvent* event) {
    if (ripping_) {
        // The rip stops first, discarding its current track; the window closes when it has.
        closeAfterRip_ = true;
        CancelRip();
        event->ignore();
        return;
    }
    // A window closed before its first tick has not loaded the settings into the options
    // window yet; saving the options window's defaults would lose the user's settings.
    if (timer1_->isActive()) {
        FirstTick();
    }
    preview_->StopPreview();
    lookup_->Abort();
    SaveSettings();
    for (QWidget* window : {static_cast<QWidget*>(options_), converter_, tagEditor_,
                            static_cast<QWidget*>(about_.data())}) {
        if (window) {
            window->close();
        }
    }
    QMainWindow::closeEvent(event);
}

void TRipFrm::Eject() {
    try {
        cdIn_->Eject();
    } catch (const std::exception& e) {
        ShowFailure(QString::fromStdString(e.what()));
    }
}

void TRipFrm::ShowFailure(const QString& message) {
    panels_[0]->setText(message);
    panels_[0]->setToolTip(message);
}

void TRipFrm::CloseTray() {
    cdIn_->CloseTray();
    RefreshTrackList();
}

void TRipFrm::ShowOptions() {
    ShowWindow(options_);
}

void TRipFrm::ShowWindow(QWidget* window) {
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

void TRipFrm::ShowAbout() {
    if (!about_) {
        about_ = new TAboutFrm(this);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void TRipFrm::OpenHomePage() {
    QDesktopServices::openUrl(QUrl(kHomePage));
}

void TRipFrm::OpenDiscImageDialog() {
    const QString sheet = QFileDialog::getOpenFileName(this, "Open Disc Image", QString(),
                                                       "Disc images (*.cue *.toc);;All files (*)");
    if (sheet.isEmpty()) {
        return;
    }
    QString problem;
    if (!OpenDiscImage(sheet, problem)) {
        ShowMessage(this, "This disc image cannot be used.", "Open Disc Image", MessageIcon::Error,
                    problem);
    }
}

bool TRipFrm::OpenDiscImage(const QString& sheetFileName, QString& problem) {
    const std::string sheet = QFile::encodeName(sheetFileName).toStdString();
    std::string why;
    if (!AddDiscImage(sheet, why)) {
        problem = QString::fromStdString(why);
        return false;
    }
    // Images are the last drives, in the order they were added; AddDiscImage spells each one
    // as an absolute path.
    std::error_code error;
    const std::string added = std::filesystem::absolute(sheet, error).lexically_normal().string();
    const std::vector<std::string> images = AddedDiscImages();
    const auto at = std::find(images.begin(), images.end(), added);
    const int drive = cdIn_->DriveCount() - static_cast<int>(images.size()) +
                      static_cast<int>(std::min(at, images.end() - 1) - images.begin());
    // Listing the drives moves the CD source from drive to drive: the preview stops first.
    preview_->StopPreview();
    FillDrives(drive);
    DriveChanged(driveBox_->currentIndex());
    return true;
}

} // namespace quillon
