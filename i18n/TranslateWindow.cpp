#include "TranslateWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSet>
#include <QTabWidget>
#include <QWidget>

#include "gnugettext.h"

namespace {

QString TranslateQ(const QString& text) {
    if (text.isEmpty()) return text;
    return QString::fromStdString(Translate(text.toStdString()));
}

// Sets a property only when a translation exists, so that texts Qt derives on
// its own (an action's tooltip from its text) stay derived.
template <typename Get, typename Set> void Replace(Get get, Set set) {
    const QString original = get();
    const QString translated = TranslateQ(original);
    if (translated != original) set(translated);
}

void TranslateAction(QAction* action) {
    Replace([&] { return action->text(); }, [&](const QString& t) { action->setText(t); });
    Replace([&] { return action->iconText(); }, [&](const QString& t) { action->setIconText(t); });
    Replace([&] { return action->toolTip(); }, [&](const QString& t) { action->setToolTip(t); });
    Replace([&] { return action->statusTip(); },
            [&](const QString& t) { action->setStatusTip(t); });
}

void TranslateWidget(QWidget* widget, QSet<QAction*>& actions) {
    Replace([&] { return widget->windowTitle(); },
            [&](const QString& t) { widget->setWindowTitle(t); });
    Replace([&] { return widget->toolTip(); }, [&](const QString& t) { widget->setToolTip(t); });
    Replace([&] { return widget->statusTip(); },
            [&](const QString& t) { widget->setStatusTip(t); });
    for (QAction* action : widget->actions())
        actions.insert(action);

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        Replace([&] { return label->text(); }, [&](const QString& t) { label->setText(t); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        // A tool button showing its default action takes the action's translated text.
        Replace([&] { return button->text(); }, [&](const QString& t) { button->setText(t); });
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        Replace([&] { return group->title(); }, [&](const QString& t) { group->setTitle(t); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // The text of an edit field is the user's, only the placeholder is ours.
        Replace([&] { return edit->placeholderText(); },
                [&](const QString& t) { edit->setPlaceholderText(t); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            Replace([&] { return combo->itemText(i); },
                    [&](const QString& t) { combo->setItemText(i, t); });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        for (int i = 0; i < list->count(); ++i)
            Replace([&] { return list->item(i)->text(); },
                    [&](const QString& t) { list->item(i)->setText(t); });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) {
            Replace([&] { return tabs->tabText(i); },
                    [&](const QString& t) { tabs->setTabText(i, t); });
            Replace([&] { return tabs->tabToolTip(i); },
                    [&](const QString& t) { tabs->setTabToolTip(i, t); });
        }
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        // The title is the menu's own action, translated with the others.
        actions.insert(menu->menuAction());
    }
}

} // namespace

QString tr_(const char* text) {
    return QString::fromStdString(Translate(text ? text : ""));
}

QString tr_(const std::string& text) {
    return QString::fromStdString(Translate(text));
}

void TranslateWindow(QWidget* window) {
    if (!window) return;
    QSet<QAction*> actions;
    TranslateWidget(window, actions);
    for (QWidget* child : window->findChildren<QWidget*>())
        TranslateWidget(child, actions);
    for (QAction* action : window->findChildren<QAction*>())
        actions.insert(action);
    // Each action once, though menu bars, menus and buttons may share it.
    for (QAction* action : actions)
        TranslateAction(action);
}
