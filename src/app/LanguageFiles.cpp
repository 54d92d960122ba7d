#include "app/LanguageFiles.h"

#include "platform/IniFile.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace quillon {

namespace {

// One text of a window that a language file can replace: its key, its value as the file
// holds it, and how a value is applied.
struct Translatable {
    QString key;
    QString value;
    std::function<void(const QString&)> apply;
};

QString WithHint(const QString& caption, const QString& hint) {
    return hint.isEmpty() ? caption : caption + "||" + hint;
}

// The caption before the first "||" and the hint after it (empty without "||").
std::pair<QString, QString> SplitHint(const QString& value) {
    const qsizetype bar = value.indexOf("||");
    if (bar < 0) {
        return {value, {}};
    }
    return {value.left(bar), value.mid(bar + 2)};
}

// A caption without its mnemonic markers: "&&" stands for "&", a single "&" goes.
QString WithoutMnemonics(const QString& caption) {
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 >= caption.size() || caption[i + 1] != '&') {
                continue;
            }
            ++i;
        }
        text += caption[i];
    }
    return text;
}

std::string LowerCase(std::string name) {
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

// A value fit for one line of the file.
std::string OneLine(QString text) {
    for (QChar& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text.toStdString();
}

// An action's hint: its status tip, or a tool tip set apart from the one Qt derives from the
// caption.
QString ActionHint(const QAction& action) {
    if (!action.statusTip().isEmpty()) {
        return action.statusTip();
    }
    const QAction derived(action.text());
    return action.toolTip() != derived.toolTip() ? action.toolTip() : QString();
}

Translatable ActionText(const QString& key, QAction* action) {
    return {key, WithHint(action->text(), ActionHint(*action)), [action](const QString& value) {
                const auto [caption, hint] = SplitHint(value);
                action->setText(caption);
                action->setToolTip(hint);
                action->setStatusTip(hint);
            }};
}

Translatable WidgetText(const QString& key, QWidget* widget, const QString& caption,
                        std::function<void(const QString&)> setCaption) {
    return {key, WithHint(caption, widget->toolTip()), [widget, setCaption](const QString& value) {
                const auto [text, hint] = SplitHint(value);
                setCaption(text);
                widget->setToolTip(hint);
            }};
}

// A label's new caption. The field it labels is announced by the label's text, with or
// without its colon; the field follows the new text in the same way.
void SetLabelText(QLabel* label, const QString& text) {
    const auto withoutColon = [](const QString& caption) {
        return QString(caption).remove(':').trimmed();
    };
    if (QWidget* buddy = label->buddy()) {
        const QString before = WithoutMnemonics(label->text());
        if (buddy->accessibleName() == before) {
            buddy->setAccessibleName(WithoutMnemonics(text));
        } else if (buddy->accessibleName() == withoutColon(before)) {
            buddy->setAccessibleName(withoutColon(WithoutMnemonics(text)));
        }
    }
    label->setText(text);
}

bool IsRadioGroup(const QGroupBox& group) {
    return !group.findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly).isEmpty();
}

// True when the object is a component of the window and not of a window inside it. Menus,
// tool bars and dock widgets can be windows of their own and still belong to theirs.
bool BelongsTo(const QObject& object, const QWidget& window) {
    for (const QObject* parent = object.parent(); parent != nullptr; parent = parent->parent()) {
        if (parent == &window) {
            return true;
        }
        const auto* widget = qobject_cast<const QWidget*>(parent);
        if (widget != nullptr && widget->isWindow() &&
            qobject_cast<const QMenu*>(widget) == nullptr &&
            qobject_cast<const QToolBar*>(widget) == nullptr &&
            qobject_cast<const QDockWidget*>(widget) == nullptr) {
            return false;
        }
    }
    return false;
}

// The tab widget that shows the widget as a page, if any.
QTabWidget* TabsOfPage(QWidget& widget) {
    auto* stack = qobject_cast<QStackedWidget*>(widget.parentWidget());
    auto* tabs = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    return tabs != nullptr && tabs->indexOf(&widget) >= 0 ? tabs : nullptr;
}

// The texts of one component, appended in the order LoadLanguage applies them.
void AddTexts(QObject* object, std::vector<Translatable>& texts) {
    const QString name = object->objectName();
    if (auto* action = qobject_cast<QAction*>(object)) {
        texts.push_back(ActionText(name, action));
        return;
    }
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        // A named menu is translated as its entry in the menu bar or parent menu.
        if (menu->menuAction()->objectName().isEmpty()) {
            texts.push_back(ActionText(name, menu->menuAction()));
        }
        return;
    }
    auto* widget = qobject_cast<QWidget*>(object);
    // Status bar panels show what the program reports, not captions.
    if (widget == nullptr || qobject_cast<QStatusBar*>(widget->parentWidget()) != nullptr) {
        return;
    }
    if (QTabWidget* tabs = TabsOfPage(*widget)) {
        texts.push_back({name, tabs->tabText(tabs->indexOf(widget)), [tabs, widget](auto& value) {
                             tabs->setTabText(tabs->indexOf(widget), value);
                         }});
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A label showing a picture has no caption to replace.
        if (label->pixmap().isNull() && label->movie() == nullptr) {
            texts.push_back(WidgetText(name, label, label->text(),
                                       [label](auto& text) { SetLabelText(label, text); }));
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (!IsRadioGroup(*group)) {
            texts.push_back(WidgetText(name, group, group->title(),
                                       [group](auto& text) { group->setTitle(text); }));
            return;
        }
        texts.push_back({name, group->title(), [group](auto& value) { group->setTitle(value); }});
        const auto items = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < items.size(); ++i) {
            QRadioButton* item = items[i];
            texts.push_back({name + QString::number(i), item->text(),
                             [item](auto& value) { item->setText(value); }});
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        // Radio group items go with their group; a tool button showing an action with it.
        const auto* tool = qobject_cast<QToolButton*>(button);
        const auto* parentGroup = qobject_cast<QGroupBox*>(button->parentWidget());
        if ((tool != nullptr && tool->defaultAction() != nullptr) ||
            (qobject_cast<QRadioButton*>(button) != nullptr && parentGroup != nullptr)) {
            return;
        }
        texts.push_back(WidgetText(name, button, button->text(),
                                   [button](auto& text) { button->setText(text); }));
    } else if (qobject_cast<QTreeView*>(widget) != nullptr ||
               qobject_cast<QTableView*>(widget) != nullptr) {
        QAbstractItemModel* model = static_cast<QAbstractItemView*>(widget)->model();
        for (int i = 0; model != nullptr && i < model->columnCount(); ++i) {
            texts.push_back(
                {name + QString::number(i), model->headerData(i, Qt::Horizontal).toString(),
                 [model, i](auto& value) { model->setHeaderData(i, Qt::Horizontal, value); }});
        }
    }
}

// The objects below parent, each followed by its own; the pages of a stack in page order
// (a stack keeps them in stacking order, which showing a page changes).
void AddDescendants(const QObject& parent, QObjectList& objects) {
    QObjectList children = parent.children();
    if (const auto* stack = qobject_cast<const QStackedWidget*>(&parent)) {
        const auto position = [stack](QObject* child) {
            auto* widget = qobject_cast<QWidget*>(child);
            const int index = widget != nullptr ? stack->indexOf(widget) : -1;
            return index >= 0 ? index : stack->count();
        };
        std::stable_sort(children.begin(), children.end(),
                         [&](QObject* a, QObject* b) { return position(a) < position(b); });
    }
    for (QObject* child : children) {
        objects.push_back(child);
        AddDescendants(*child, objects);
    }
}

// Every translatable text of the window, in component order.
std::vector<Translatable> TextsOf(QWidget& window) {
    std::vector<Translatable> texts;
    QObjectList objects;
    AddDescendants(window, objects);
    for (QObject* object : objects) {
        const QString name = object->objectName();
        // Qt names some parts of its own widgets: "qt_..." and a tab bar's buttons.
        if (!name.isEmpty() && !name.startsWith("qt_") &&
            qobject_cast<QTabBar*>(object->parent()) == nullptr && BelongsTo(*object, window)) {
            AddTexts(object, texts);
        }
    }
    return texts;
}

} // namespace

QList<QAction*> FillLanguageMenu(QMenu& menu, const QString& languagesFolder) {
    const QStringList files =
        QDir(languagesFolder)
            .entryList({"*.ini"}, QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive,
                       QDir::Name | QDir::IgnoreCase);
    QAction* first = menu.actions().value(0, nullptr);
    auto* group = new QActionGroup(&menu);
    QList<QAction*> entries;
    for (const QString& file : files) {
        QString caption = file.chopped(4).left(3);
        auto* entry = new QAction(caption.replace('&', "&&"), &menu);
        entry->setCheckable(true);
        group->addAction(entry);
        menu.insertAction(first, entry);
        entries.push_back(entry);
    }
    return entries;
}

QString LanguageName(const QAction& entry) {
    return WithoutMnemonics(entry.text());
}

void LoadLanguage(const QString& path, const QList<QWidget*>& windows) {
    IniFile file(path.toStdString());
    for (QWidget* window : windows) {
        if (window == nullptr) {
            continue;
        }
        const std::string section = window->objectName().toStdString();
        // Keys compare without regard to case; where one occurs twice, the first counts.
        std::map<std::string, std::string> values;
        for (auto& [key, value] : file.ReadSectionValues(section)) {
            values.emplace(LowerCase(key), std::move(value));
        }
        const std::string caption = OneLine(window->windowTitle());
        if (const auto stored = values.find(LowerCase(section));
            stored == values.end() || stored->second != caption) {
            file.WriteString(section, section, caption);
        }
        for (const Translatable& text : TextsOf(*window)) {
            const auto value = values.find(LowerCase(text.key.toStdString()));
            if (value != values.end()) {
                text.apply(QString::fromStdString(value->second));
            }
        }
    }
}

bool WriteLanguage(const QString& path, const QList<QWidget*>& windows) {
    const std::string target = path.toStdString();
    const std::string temp = target + ".new";
    std::remove(temp.c_str());
    IniFile file(temp);
    bool written = true;
    for (QWidget* window : windows) {
        const std::string section = window->objectName().toStdString();
        written = file.WriteString(section, section, OneLine(window->windowTitle())) && written;
        for (const Translatable& text : TextsOf(*window)) {
            written =
                file.WriteString(section, text.key.toStdString(), OneLine(text.value)) && written;
        }
    }
    if (!written || std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace quillon
