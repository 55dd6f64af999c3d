#pragma once

#include "shop/result.h"

#include <QString>

#include <functional>

class QPrinter;
class QPrinterInfo;
class QWidget;

// The one way every printout (receipt, inventory list) reaches paper or the
// screen: printing on a printer without a dialog, with every failure told in
// the user's words, and the modal preview at the page's width.
namespace Printout {

// Paints the document on a printer set up for the queue `info`; false when
// painting could not start.
using Paint = std::function<bool(QPrinter *printer, const QPrinterInfo &info)>;

// Prints the document; the error says why it was not printed.
Done printOn(const QPrinterInfo &info, const QString &documentName, const Paint &paint);
Done printOnDefaultPrinter(const QString &documentName, const Paint &paint);

// Shows the document as the default printer would print it, in a modal
// preview with the given objectName and title.
void preview(QWidget *parent, const QString &objectName, const QString &title, const QString &documentName,
             const Paint &paint);

} // namespace Printout
