#pragma once

#include "base/program_version.h"

#include <QString>

#include <functional>

// The application's error dialog: a stop-icon message box titled with the program's name and version,
// one OK button, the failure's message with the full-stop rule of AppError::withFullStop.
namespace ErrorDialog {

inline constexpr const char *title = ProgramVersion::title;

void show(const QString &message);

// Shows the exception being handled; call it only inside a catch block.
void showCurrentException();

// Runs one command. An AppError (or any other exception) thrown by it ends the command and is shown;
// the result says whether the command ran through.
bool guard(const std::function<void()> &command);

// Tests route the dialog to a recorder instead of a modal box; an empty handler restores the box.
using Handler = std::function<void(const QString &text)>;
void setHandler(Handler handler);

} // namespace ErrorDialog
