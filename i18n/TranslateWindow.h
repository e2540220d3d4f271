#pragma once

#include <functional>
#include <string>

#include <QString>

class QWidget;

/// Qt side of the message catalogues.

/// The translation of an English text as a QString, for texts a window composes
/// or sets after it was translated: label->setText(tr_("Cropping...")).
QString tr_(const char* text);
QString tr_(const std::string& text);
/// The form of a text that counts n things, as a QString; "%1" is left for the number.
QString trn_(const char* singular, const char* plural, unsigned long n);

/// Replaces every translatable text of window and of all widgets and actions it
/// contains by its translation: window titles, tooltips and status tips, texts
/// of labels and buttons of every kind, group box titles, line edit placeholders,
/// combo box and list items one by one, tab captions and tips, menus and their
/// actions. Object names stay as they are. Windows build their widgets with the
/// English texts, wrapped in N_() so the catalogue check finds them, and call this
/// once. Menus must have a parent inside the window to be found.
void TranslateWindow(QWidget* window);
/// The same with another lookup in place of Translate.
void TranslateWindow(QWidget* window,
                     const std::function<std::string(const std::string&)>& translate);

/// Loads Qt's own translation of its texts (standard buttons, file dialogs,
/// standard context menus) for a language code such as "de_DE" into the
/// application, in place of the one loaded before. English, and a language
/// Qt carries no translation for, leave Qt's texts English; the result says
/// whether a translation was loaded. folder: where Qt's translations lie,
/// Qt's own translations folder when empty.
bool InstallQtTranslation(const std::string& code, const QString& folder = {});
