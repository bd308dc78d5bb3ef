#include "note/note_print.h"

#include "base/app_error.h"
#include "i18n/message_text.h"
#include "note/print_backend.h"
#include "platform/program_module.h"

namespace NotePrint {

void print(const QTextDocument &document, const QString &title)
{
    QString error;
    const auto printDocument = reinterpret_cast<PrintBackend::Function>(
        ProgramModule::resolve(QStringLiteral("quillet-print"), PrintBackend::functionSymbol, &error));
    if (!printDocument)
        throw AppError(QStringLiteral("Printing is not possible: %1").arg(error));
    QString printer;
    switch (printDocument(document, title, &printer)) {
    case PrintBackend::Result::Printed:
        return;
    case PrintBackend::Result::NoPrinter:
        throw AppError(MessageText::text(u"Messages->NoPrinter"));
    case PrintBackend::Result::CannotPrint:
        break;
    }
    throw AppError(MessageText::text(u"Messages->PrinterCannotPrint").arg(printer));
}

} // namespace NotePrint
