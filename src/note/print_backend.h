#pragma once

#include <QString>

class QTextDocument;

// What the print module (quillet-print) exports: the printing itself, which needs Qt's print support, kept out
// of the program until a note is first printed. The messages stay with the program, in the interface language.
namespace PrintBackend {

enum class Result { Printed, NoPrinter, CannotPrint };

// Prints document on the system's default printer, or on the first printer when none is the default; the
// printer's name goes to printerName once one is chosen.
using Function = Result (*)(const QTextDocument &document, const QString &title, QString *printerName);
inline constexpr char functionSymbol[] = "quilletPrintDocument";

} // namespace PrintBackend
