#pragma once

#include "base/program_version.h"

#include <QString>

// The desktop's hooks for the program: start at logon and the .stc note file type. On Linux these are
// XDG files under $XDG_CONFIG_HOME and $XDG_DATA_HOME, on Windows the current user's registry. Both
// operations run at every start, so a program that moved puts its new paths everywhere.
namespace ShellIntegration {

// The program's caption, which names the start-at-logon entry.
inline constexpr const char *programTitle = ProgramVersion::title;
// The .stc file type's identifier and its description at once.
inline constexpr char fileTypeName[] = "Vellumy";

// Registers the .stc type "Vellumy" with iconPath as its icon and the program as the handler that gets
// the file as its one argument. Throws AppError("Failed to set data for ''") when a part of it cannot
// be written (the registry names every value of the type by its empty default name).
void RegisterFileType(const QString &executablePath, const QString &iconPath);

// Makes the start-at-logon entry "Quillet 1.02" match autoStart: while on it runs executablePath, while off
// it is removed. Throws AppError("Failed to set data for 'Quillet 1.02'") when it cannot be written; a
// removal that fails is ignored.
void ApplyAutoStart(bool autoStart, const QString &executablePath);

} // namespace ShellIntegration
