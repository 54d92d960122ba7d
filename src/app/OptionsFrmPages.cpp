// The pages of the options window: groups, labels and the controls of the settings. Every
// control is named as language files address it; edit fields and lists take their label's
// text as accessible name.
#include "app/OptionsFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

namespace {

// The space between two columns of labelled fields, wider than between a label and its field.
constexpr int kColumnGap = 16;

template <typename Widget> Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& title) {
    return Named(new QGroupBox(title, parent), name);
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QCheckBox(caption, parent), name);
}

// A label for a field: its mnemonic moves the focus there, and the field is announced by the
// label's text.
QLabel* LabelFor(QWidget* field, const char* name, const QString& caption) {
    auto* label = Named(new QLabel(caption, field->parentWidget()), name);
    label->setBuddy(field);
    field->setAccessibleName(QString(caption).remove('&'));
    return label;
}

// A grid cell holding a label above its field.
void AddLabelled(QGridLayout& grid, int row, int column, QWidget* field, const char* labelName,
                 const QString& caption) {
    grid.addWidget(LabelFor(field, labelName, caption), row, column);
    grid.addWidget(field, row + 1, column);
}

QWidget* Page(QTabWidget& pages, const char* name, const QString& caption) {
    auto* page = Named(new QWidget, name);
    pages.addTab(page, caption);
    return page;
}

} // namespace

QComboBox* TOptionsFrm::AddSettingList(QWidget* parent, const char* name, const char* setting,
                                       bool editable) {
    auto* list = Named(new QComboBox(parent), name);
    list->setEditable(editable);
    list->setInsertPolicy(QComboBox::NoInsert);
    if (const SettingDefinition* definition = FindSetting(setting)) {
        for (const std::string& entry : definition->entries) {
            list->addItem(QString::fromStdString(entry));
        }
    }
    controls_[setting] = list;
    return list;
}

void TOptionsFrm::BuildPages() {
    auto* layout = new QVBoxLayout(this);
    pages_ = Named(new QTabWidget(this), "PageControl1");
    pages_->setAccessibleName("Options");
    // Every page's tab stays in view: the window is as wide as the tabs need.
    pages_->tabBar()->setUsesScrollButtons(false);
    layout->addWidget(pages_);
    BuildCommonPage();
    BuildMp3Page();
    BuildWmaPage();
    BuildOggPage();
    BuildApePage();
    BuildFreeDbPage();
    BuildFilePage();
    resize(QSize(353, 409).expandedTo(sizeHint()));
}

void TOptionsFrm::BuildCommonPage() {
    QWidget* page = Page(*pages_, "TabSheet1", "Common");
    auto* group = Group(page, "GroupBox1", "Common parameters");
    auto* grid = new QGridLayout(group);
    formatList_ = AddSettingList(group, "ComboBox1", "RipToFormat");
    AddLabelled(*grid, 0, 0, formatList_, "Label1", "&Rip/Convert to Format");
    auto* inform = Check(group, "CheckBox1", "&Inform when rip process complete");
    controls_["InformWhenDone"] = inform;
    grid->addWidget(inform, 2, 0);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
}

void TOptionsFrm::BuildMp3Page() {
    QWidget* page = Page(*pages_, "TabSheet2", "MP3");
    auto* layout = new QVBoxLayout(page);

    auto* common = Group(page, "GroupBox2", "MP3 common parameters");
    auto* commonGrid = new QGridLayout(common);
    commonGrid->setHorizontalSpacing(kColumnGap);
    AddLabelled(*commonGrid, 0, 0, AddSettingList(common, "ComboBox2", "SampleRate"), "Label2",
                "Sample &Rate");
    AddLabelled(*commonGrid, 0, 1, AddSettingList(common, "ComboBox3", "Mode"), "Label3", "Mo&de");
    const struct {
        const char* name;
        const char* setting;
        const char* caption;
    } checks[] = {{"CheckBox2", "UseVBR", "Use &VBR"},
                  {"CheckBox3", "Original", "&Original"},
                  {"CheckBox4", "Copyright", "&Copyright"},
                  {"CheckBox5", "CRC", "&Error protection"}};
    for (int i = 0; i < 4; ++i) {
        auto* check = Check(common, checks[i].name, checks[i].caption);
        controls_[checks[i].setting] = check;
        commonGrid->addWidget(check, 2 + i / 2, i % 2);
    }
    layout->addWidget(common);

    auto* cbr = Group(page, "GroupBox3", "MP3 CBR Parameters");
    auto* cbrGrid = new QGridLayout(cbr);
    cbrGrid->setHorizontalSpacing(kColumnGap);
    AddLabelled(*cbrGrid, 0, 0, AddSettingList(cbr, "ComboBox4", "CBRBitrate"), "Label4",
                "&BitRate");
    AddLabelled(*cbrGrid, 0, 1, AddSettingList(cbr, "ComboBox5", "CBRQuality"), "Label5",
                "&Quality Level");
    layout->addWidget(cbr);

    auto* vbr = Group(page, "GroupBox4", "MP3 VBR parameters");
    auto* vbrGrid = new QGridLayout(vbr);
    vbrGrid->setHorizontalSpacing(kColumnGap);
    AddLabelled(*vbrGrid, 0, 0, AddSettingList(vbr, "ComboBox6", "VBRQuality"), "Label6",
                "VBR Qu&ality Level");
    AddLabelled(*vbrGrid, 0, 1, AddSettingList(vbr, "ComboBox7", "MaxBitrate"), "Label7",
                "VBR Ma&x Bitrate");
    AddLabelled(*vbrGrid, 2, 0, AddSettingList(vbr, "ComboBox8", "MinBitrate"), "Label8",
                "VBR M&in Bitrate");
    auto* header = Check(vbr, "CheckBox6", "&Write VBR Header");
    controls_["WriteVBRHeader"] = header;
    vbrGrid->addWidget(header, 3, 1);
    layout->addWidget(vbr);
    layout->addStretch();
}

void TOptionsFrm::BuildWmaPage() {
    QWidget* page = Page(*pages_, "TabSheet3", "WMA");
    auto* grid = new QGridLayout(page);
    wmaList_ = AddSettingList(page, "ComboBox9", "WMABitrate");
    AddLabelled(*grid, 0, 0, wmaList_, "Label9", "&Compression level");
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
}

void TOptionsFrm::BuildOggPage() {
    QWidget* page = Page(*pages_, "TabSheet4", "Ogg");
    auto* group = Group(page, "GroupBox5", "Ogg parameters");
    auto* grid = new QGridLayout(group);
    auto* level = Named(new QSpinBox(group), "SpinEdit1");
    level->setRange(10, 100);
    controls_["OGGCompressionLevel"] = level;
    AddLabelled(*grid, 0, 0, level, "Label10", "&Compression level 10=max");

    auto* rates = Group(group, "GroupBox6", "Bitrate Options");
    auto* form = new QFormLayout(rates);
    const struct {
        const char* list;
        const char* setting;
        const char* label;
        const char* caption;
    } lists[] = {{"ComboBox10", "DesiredNominalBitrate", "Label11", "&Nominal"},
                 {"ComboBox11", "DesiredMinimumBitrate", "Label12", "M&inimum"},
                 {"ComboBox12", "DesiredMaximumBitrate", "Label13", "M&aximum"}};
    for (const auto& entry : lists) {
        QComboBox* list = AddSettingList(rates, entry.list, entry.setting, true);
        form->addRow(LabelFor(list, entry.label, entry.caption), list);
    }
    grid->addWidget(rates, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
}

void TOptionsFrm::BuildApePage() {
    QWidget* page = Page(*pages_, "TabSheet5", "APE");
    auto* group = Group(page, "GroupBox7", "APE parameters");
    auto* grid = new QGridLayout(group);
    AddLabelled(*grid, 0, 0, AddSettingList(group, "ComboBox13", "APECompressionLevel"), "Label14",
                "&Compression level");
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
}

void TOptionsFrm::BuildFreeDbPage() {
    QWidget* page = Page(*pages_, "TabSheet6", "FreeDB");
    auto* group = Group(page, "GroupBox8", "FreeDB CD Info parameters");
    auto* grid = new QGridLayout(group);
    // Editable: a server outside the list is typed as HOST:PORT.
    AddLabelled(*grid, 0, 0, AddSettingList(group, "ComboBox14", "FreeDBServer", true), "Label15",
                "&Server address");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
}

void TOptionsFrm::BuildFilePage() {
    QWidget* page = Page(*pages_, "TabSheet7", "File");
    auto* group = Group(page, "GroupBox9", "Result Filename parameters");
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(0, 1);

    // A folder field with its "..." chooser.
    const auto addFolder = [&](int row, const char* editName, const char* labelName,
                               const QString& caption, const char* buttonName,
                               const QString& hint) {
        auto* edit = Named(new QLineEdit(group), editName);
        auto* button = Named(new QToolButton(group), buttonName);
        button->setText("...");
        button->setToolTip(hint);
        connect(button, &QToolButton::clicked, this, [this, edit] { ChooseFolder(*edit); });
        grid->addWidget(LabelFor(edit, labelName, caption), row, 0, 1, 2);
        grid->addWidget(edit, row + 1, 0);
        grid->addWidget(button, row + 1, 1);
        return edit;
    };
    ripToEdit_ = addFolder(0, "Edit1", "Label16", "&Rip to:", "Button1",
                           "Choose the folder that rips go to");
    controls_["FilePath"] = ripToEdit_;

    patternList_ = AddSettingList(group, "ComboBox15", "OutputFileNameFormat");
    grid->addWidget(LabelFor(patternList_, "Label17", "&Output filename format"), 2, 0, 1, 2);
    grid->addWidget(patternList_, 3, 0, 1, 2);

    // The example is a read-only field: long names scroll instead of widening the window, and
    // language files leave it alone.
    example_ = Named(new QLineEdit(group), "Edit3");
    example_->setReadOnly(true);
    example_->setFrame(false);
    example_->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = example_->palette();
    palette.setBrush(QPalette::Base, Qt::transparent);
    example_->setPalette(palette);
    grid->addWidget(LabelFor(example_, "Label18", "Example:"), 4, 0, 1, 2);
    grid->addWidget(example_, 5, 0, 1, 2);

    // The playlist choice is a position; only its entries mean something, so nothing is typed.
    QComboBox* playlist = AddSettingList(group, "ComboBox16", "SavePlayList");
    grid->addWidget(LabelFor(playlist, "Label19", "&Play List"), 6, 0, 1, 2);
    grid->addWidget(playlist, 7, 0);

    convertToEdit_ = addFolder(8, "Edit2", "Label20", "Con&vert to:", "Button2",
                               "Choose the folder that conversions go to");
    controls_["ConvFilePath"] = convertToEdit_;

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
}

} // namespace quillon
