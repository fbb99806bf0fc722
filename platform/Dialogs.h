// The message box and the error box, the two modal boxes through which the
// program tells the user anything, and the application title that titles
// them.
//
// Tests and tools may install a handler that takes the place of the real box
// (for instance to record the texts); without one a real modal box is shown.
#pragma once

#include <QString>
#include <functional>

namespace quillon {

// The program file's name without folder and without everything from its
// first full stop on, first character kept, the rest lower case.
QString ApplicationTitle();

// The error text as the error box shows it: a full stop is appended when
// the text is not empty and its last character sorts after the full stop.
QString ErrorBoxText(const QString& text);

enum class BoxKind { Message, Error };
using BoxHandler = std::function<void(BoxKind kind, const QString& text)>;

// Replaces the real boxes (an empty handler restores them). Returns the
// handler that was installed before.
BoxHandler SetBoxHandler(BoxHandler handler);

// Modal box: the text, one OK button, no icon, the application title.
void ShowMessage(const QString& text);
// Modal box: error icon, one OK button, the application title and the text
// with the full-stop rule applied.
void ShowError(const QString& text);

}  // namespace quillon
