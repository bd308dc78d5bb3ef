#include "note/print_backend.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextFrame>

#include <memory>

extern "C" Q_DECL_EXPORT PrintBackend::Result quilletPrintDocument(const QTextDocument &document, const QString &title,
                                                                   QString *printerName)
{
    using PrintBackend::Result;
    QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull()) {
        // Printers, but none chosen as the default: the first one, as a desktop would offer it.
        const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
        if (printers.isEmpty())
            return Result::NoPrinter;
        target = printers.constFirst();
    }
    *printerName = target.printerName();
    QPrinter printer(target, QPrinter::HighResolution);
    printer.setDocName(title);
    // No margins of our own: the page layout keeps only what the printer cannot print.
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    if (!printer.isValid())
        return Result::CannotPrint;

    // Laid out anew for the printer's page; the note's own document keeps its layout for the screen.
    const std::unique_ptr<QTextDocument> copy(document.clone());
    QPainter painter;
    if (!painter.begin(&printer))
        return Result::CannotPrint;
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
        return Result::CannotPrint;
    return Result::Printed;
}
