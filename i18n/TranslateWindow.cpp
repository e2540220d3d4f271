#include "i18n/TranslateWindow.h"

#include <memory>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSet>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>
#include <QWidget>

#include "i18n/gnugettext.h"

namespace {

using TLookup = std::function<std::string(const std::string&)>;

// Calls set with the translation of original when there is one.
template <typename Set> void Replace(const TLookup& translate, const QString& original, Set set) {
    if (original.isEmpty()) return;
    const QString translated = QString::fromStdString(translate(original.toStdString()));
    if (translated != original) set(translated);
}

void TranslateAction(QAction* action, const TLookup& tr) {
    const QString iconText = action->iconText(), toolTip = action->toolTip();
    Replace(tr, action->text(), [&](const QString& t) { action->setText(t); });
    // Texts Qt derives from the action's text have followed it already.
    if (action->iconText() == iconText)
        Replace(tr, iconText, [&](const QString& t) { action->setIconText(t); });
    if (action->toolTip() == toolTip)
        Replace(tr, toolTip, [&](const QString& t) { action->setToolTip(t); });
    Replace(tr, action->statusTip(), [&](const QString& t) { action->setStatusTip(t); });
}

void TranslateWidget(QWidget* widget, QSet<QAction*>& actions, const TLookup& tr) {
    Replace(tr, widget->windowTitle(), [&](const QString& t) { widget->setWindowTitle(t); });
    Replace(tr, widget->toolTip(), [&](const QString& t) { widget->setToolTip(t); });
    Replace(tr, widget->statusTip(), [&](const QString& t) { widget->setStatusTip(t); });
    for (QAction* action : widget->actions())
        actions.insert(action);

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        Replace(tr, label->text(), [&](const QString& t) { label->setText(t); });
    } else if (auto* tool = qobject_cast<QToolButton*>(widget); tool && tool->defaultAction()) {
        // Shows its action's text, which is translated with the other actions.
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        Replace(tr, button->text(), [&](const QString& t) { button->setText(t); });
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        Replace(tr, group->title(), [&](const QString& t) { group->setTitle(t); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // The text of an edit field is the user's, only the placeholder is ours.
        Replace(tr, edit->placeholderText(),
                [&](const QString& t) { edit->setPlaceholderText(t); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            Replace(tr, combo->itemText(i), [&](const QString& t) { combo->setItemText(i, t); });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        for (int i = 0; i < list->count(); ++i)
            Replace(tr, list->item(i)->text(),
                    [&](const QString& t) { list->item(i)->setText(t); });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) {
            Replace(tr, tabs->tabText(i), [&](const QString& t) { tabs->setTabText(i, t); });
            Replace(tr, tabs->tabToolTip(i), [&](const QString& t) { tabs->setTabToolTip(i, t); });
        }
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        // The title is the menu's own action, translated with the others.
        actions.insert(menu->menuAction());
    }
}

} // namespace

QString tr_(const char* text) {
    return text ? QString::fromStdString(Translate(text)) : QString();
}

QString tr_(const std::string& text) {
    return QString::fromStdString(Translate(text));
}

QString trn_(const char* singular, const char* plural, unsigned long n) {
    return QString::fromStdString(TranslatePlural(singular, plural, n));
}

void TranslateWindow(QWidget* window) {
    TranslateWindow(window, Translate);
}

void TranslateWindow(QWidget* window, const TLookup& translate) {
    if (!window) return;
    QSet<QAction*> actions;
    TranslateWidget(window, actions, translate);
    for (QWidget* child : window->findChildren<QWidget*>())
        TranslateWidget(child, actions, translate);
    for (QAction* action : window->findChildren<QAction*>())
        actions.insert(action);
    // Each action once, though menu bars, menus and buttons may share it.
    for (QAction* action : actions)
        TranslateAction(action, translate);
}

bool InstallQtTranslation(const std::string& code, const QString& folder) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    // one translation of Qt's texts at a time: the one loaded before goes
    const QString name = QStringLiteral("QtOwnTexts");
    for (QTranslator* old : app->findChildren<QTranslator*>(name, Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    // the code comes from the settings file: it names a language, never a path
    const bool plain =
        !code.empty() && code.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "abcdefghijklmnopqrstuvwxyz"
                                                "0123456789_-@") == std::string::npos;
    if (!plain || code.rfind("en", 0) == 0) return false;
    const QString dir =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto translator = std::make_unique<QTranslator>();
    // qtbase_de_DE.qm, else qtbase_de.qm
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(code), dir))
        return false;
    translator->setObjectName(name);
    translator->setParent(app);
    return QCoreApplication::installTranslator(translator.release());
}
