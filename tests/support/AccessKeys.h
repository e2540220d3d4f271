#pragma once

#include <map>
#include <string>

#include <QAbstractButton>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QTabWidget>
#include <QWidget>

/// The access keys (the letter after "&") of the buttons, labels and group
/// titles under a widget, with the texts that carry each; a tab widget's
/// pages are not entered, their tabs are counted.
inline void CollectAccessKeys(const QWidget* root, std::multimap<QString, QString>& keys) {
    const auto add = [&keys](const QString& text) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (!key.isEmpty()) keys.emplace(key.toString().toUpper(), text);
    };
    for (const QObject* child : root->children()) {
        const auto* w = qobject_cast<const QWidget*>(child);
        if (!w || w->isWindow()) continue;
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) add(b->text());
        if (const auto* l = qobject_cast<const QLabel*>(w)) add(l->text());
        if (const auto* g = qobject_cast<const QGroupBox*>(w)) add(g->title());
        if (const auto* tabs = qobject_cast<const QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                add(tabs->tabText(i));
            continue;
        }
        CollectAccessKeys(w, keys);
    }
}

/// "X: text, text" for each access key given to more than one control.
inline std::string AccessKeyClashes(const std::multimap<QString, QString>& keys) {
    std::string clashes;
    for (auto it = keys.begin(); it != keys.end(); it = keys.upper_bound(it->first)) {
        if (keys.count(it->first) < 2) continue;
        clashes += it->first.toStdString() + ":";
        for (auto [from, to] = keys.equal_range(it->first); from != to; ++from)
            clashes += " " + from->second.toStdString();
        clashes += "\n";
    }
    return clashes;
}
