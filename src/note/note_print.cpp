#include "note/note_print.h"

#include "base/app_error.h"
#include "i18n/message_text.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextFrame>

#include <memory>

namespace {

AppError cannotPrint(const QPrinterInfo &printer)
{
    return AppError(MessageText::text(u"Messages->PrinterCannotPrint").arg(printer.printerName()));
}

} // namespace

namespace NotePrint {

void print(const QTextDocument &document, const QString &title)
{
    QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull()) {
        // Printers, but none chosen as the default: the first one, as a desktop would offer it.
        const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
        if (printers.isEmpty())
            throw AppError(MessageText::text(u"Messages->NoPrinter"));
        target = printers.constFirst();
    }
    QPrinter printer(target, QPrinter::HighResolution);
    printer.setDocName(title);
    // No margins of our own: the page layout keeps only what the printer cannot print.
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    if (!printer.isValid())
        throw cannotPrint(target);

    // Laid out anew for the printer's page; the note's own document keeps its layout for the screen.
    const std::unique_ptr<QTextDocument> copy(document.clone());
    QPainter painter;
    if (!painter.begin(&printer))
        throw cannotPrint(target);
    copy->documentLayout()->setPaintDevice(&printer);
    QTextFrameFormat root = copy->rootFrame()->frameFormat();
    root.setMargin(0);
    copy->rootFrame()->setFrameFormat(root);
    const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
    copy->setPageSize(page);

    const int pages = qMax(1, copy->pageCount());
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            printer.newPage();
        const QRectF shown(QPointF(0, i * page.height()), page);
        painter.save();
        painter.translate(0, -shown.top());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        copy->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw cannotPrint(target);
}

} // namespace NotePrint
