#include "gui/counter/counterwindow.h"

#include "gui/counter/countertexts.h"
#include "gui/counter/customerdisplay.h"
#include "gui/messages.h"
#include "gui/waitedinput.h"
#include "print/cashdrawer.h"
#include "print/receiptprinter.h"
#include "shop/database.h"
#include "shop/displayformat.h"
#include "shop/numbertext.h"
#include "shop/pricing.h"
#include "shop/scalelabel.h"
#include "shop/ticket.h"
#include "shop/tillfile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

// The counter's ticket: the add, void and clear steps, the checkout and the
// receipt.

using namespace CounterText;

// ---- current ticket ----

void CounterWindow::showTotals()
{
    m_ui.quantityTotalLabel->setText(QString::number(m_ticket->quantityTotal()));
    setFigure(m_ui.amountTotalLabel,
              m_ticket->lineCount() == 0 ? QStringLiteral("0") : m_ticket->amountTotal().toCurrency());
    const auto &member = m_checkout.member();
    showMember(member
                   ? MemberOnTicket.arg(member->name, member->card).arg(member->points).arg(m_checkout.ticketPoints())
                   : QString());
    if (m_display)
        m_display->showTicket(m_ticket->lines(), m_ticket->amountTotal());
}

void CounterWindow::showMember(const QString &text)
{
    // The line of the till's outage and sending goes first.
    m_ui.memberLabel->setText(text);
    m_ui.memberLabel->setVisible(!text.isEmpty() && m_ui.offlineLabel->isHidden());
}

bool CounterWindow::joinMember()
{
    const auto ring = [&] {
        const WaitedInput waited;
        return m_checkout.ringMember(m_catalogue, m_ui.codeEdit->text());
    }();
    if (!ring) {
        databaseFailed(ring.errorText());
    } else if (*ring == Checkout::MemberRing::NotMember) {
        return false;
    } else {
        m_ui.nameEdit->clear();
        m_ui.purchasedEdit->clear();
        showTotals();
    }
    focusAndSelect(m_ui.codeEdit);
    return true;
}

void CounterWindow::addLine()
{
    if (ringLabel())
        return;
    const auto purchases = findGoods(true);
    if (!purchases)
        return;
    const QString code = m_ui.codeEdit->text();
    if (m_checkout.isWeighed(code)) {
        Messages::info(this, WeighedByCode);
        focusAndSelect(m_ui.codeEdit);
        return;
    }
    const Money listPrice = purchases->lastPrice;
    const auto charge = purchases->charge();
    // A price looked up for other goods is never charged for these: a new code
    // gets its own stored price, a price typed for the same goods is kept.
    if (m_ui.discountedEdit->text().isEmpty() || code != m_pricedCode) {
        m_pricedCode = code;
        m_ui.priceEdit->setText(charge.price.toPlain());
        updateDiscountedPrice(m_ui.priceEdit->text());
    }
    const auto quantity = NumberText::toInt16(m_ui.quantityEdit->text());
    if (!quantity) {
        Messages::info(this, BadInput);
        return;
    }
    const auto price = Money::parse(m_ui.discountedEdit->text());
    if (!price) {
        Messages::info(this, NoPrice);
        return;
    }
    // The price in the price box as looked up: a special's or a member's
    // price is marked with what it saved, and a member's card scanned later
    // prices the line again.
    std::optional<Checkout::Looked> looked;
    if (Money::parse(m_ui.priceEdit->text()) == charge.price)
        looked = Checkout::Looked{charge, m_ui.rateEdit->text()};
    if (!m_checkout.addLine(code, m_ui.nameEdit->text(), *quantity, listPrice, *price, looked)) {
        Messages::info(this, TooLarge);
        return;
    }
    showTotals();
}

std::optional<bool> CounterWindow::ringLabel()
{
    using Ring = Checkout::LabelRing;
    using Lookup = GoodsCatalogue::Lookup;
    if (m_checkout.looksLikeLabel(m_ui.codeEdit->text()) && !ensureSignedIn())
        return false;
    const Result<Ring> rung = [&] {
        const WaitedInput waited;
        return m_checkout.ringLabel(m_catalogue, m_ui.codeEdit->text());
    }();
    if (!rung || rung->outcome != Ring::NotLabel)
        showOffline(); // the label may have found the server gone
    if (!rung) {
        databaseFailed(rung.errorText());
        focusAndSelect(m_ui.codeEdit);
        return false;
    }
    const Ring &ring = *rung;
    switch (ring.outcome) {
    case Ring::NotLabel:
        return std::nullopt;
    case Ring::Added:
        m_ui.nameEdit->setText(ring.goods.name);
        m_ui.purchasedEdit->setText(Weighing::kgText(ring.goods.purchases.totalQuantity));
        showTotals();
        return true;
    case Ring::BadCheck:
        Messages::info(this, BadLabel);
        break;
    case Ring::UnknownScaleCode:
        Messages::info(this, UnknownScaleCode);
        break;
    case Ring::AlsoGoodsCode:
        Messages::info(this, LabelIsGoodsCode);
        break;
    case Ring::NotGoods:
        Messages::info(this, ring.goods.outcome == Lookup::NotPurchased ? NotPurchased : UnknownCode);
        break;
    case Ring::TooLarge:
        Messages::info(this, TooLarge);
        break;
    }
    focusAndSelect(m_ui.codeEdit);
    return false;
}

void CounterWindow::clearTicket()
{
    if (const QString problem = m_checkout.emptyTicket(); !problem.isEmpty())
        qWarning("the emptied ticket was not recorded: %s", qPrintable(problem));
    m_ui.quantityTotalLabel->setText(QStringLiteral("0"));
    setFigure(m_ui.amountTotalLabel, QStringLiteral("0"));
    showMember(QString());
    focusAndSelect(m_ui.codeEdit);
}

qint64 CounterWindow::ticketNumber() const
{
    return m_checkout.number();
}

void CounterWindow::setTicketNumber(qint64 number)
{
    // The number is kept as a number; the label only shows it.
    m_checkout.setNumber(number);
    // Offline the next final number is not known.
    m_ui.ticketNumberLabel->setText(m_checkout.isOffline() ? QStringLiteral("离线") : QString::number(number));
}

// ---- checkout and receipt ----

void CounterWindow::reloadReceiptHeader()
{
    if (m_checkout.isOffline()) {
        m_receiptHeader = m_checkout.tillFile()->header();
        return;
    }
    // A header that cannot be read leaves the one shown so far.
    if (const auto header = m_settings.receiptHeader())
        m_receiptHeader = *header;
    if (m_display)
        m_display->setHeader(m_receiptHeader);
}

Receipt CounterWindow::composeReceipt()
{
    Receipt receipt = Receipt::fromTicket(*m_ticket);
    receipt.header = m_receiptHeader;
    receipt.footer = m_checkout.isOffline() && m_checkout.tillFile()
                         ? m_checkout.tillFile()->footer()
                         : m_settings.receiptFooter().valueOr(QStringList());
    receipt.ticketNumber = QString::number(ticketNumber());
    receipt.till = QString::number(m_database->shop().till());
    receipt.time = formatDateTime(QDateTime::currentDateTime());
    if (const auto &member = m_checkout.member())
        receipt.member = QStringLiteral("会员：%1　本单积分 %2").arg(member->name).arg(m_checkout.ticketPoints());
    return receipt;
}

void CounterWindow::checkout()
{
    checkoutPaidBy(PaymentMethod::Cash);
}

void CounterWindow::checkoutPaidBy(PaymentMethod method)
{
    if (m_ticket->lineCount() == 0) {
        Messages::info(this, NothingToSell);
        return;
    }
    if (!ensureSignedIn())
        return;
    const auto settled =
        Checkout::settle(m_ticket->amountTotal(), method, Money::parse(m_ui.paymentEdit->text()).value_or(Money()));
    if (!settled) {
        Messages::info(this, ShortPayment);
        return;
    }
    if (!openPeriodIfNeeded())
        return;

    // The ticket is stored whole or not at all; if it is not, everything stays
    // on screen so the sale can be tried again.
    const Checkout::Stored stored = [&] {
        const WaitedInput waited;
        return m_checkout.store(method, *settled);
    }();
    // The member's points with this ticket's, read back once it is stored.
    QString memberText;
    if (const auto &member = m_checkout.member(); member && stored.ok) {
        const auto points = [&] {
            const WaitedInput waited;
            return m_checkout.memberPoints();
        }();
        memberText = MemberStored.arg(member->name)
                         .arg(m_checkout.ticketPoints())
                         .arg(points && *points ? QString::number(**points) : QStringLiteral("—"));
    }
    if (!stored.ok) {
        Messages::error(this, StoreFailed.arg(stored.error));
        return;
    }
    // On a shared server another till may have taken the number shown; a
    // ticket kept offline shows its provisional number, never a final one.
    const qint64 number = stored.ticketNumber;
    const QString shownNumber = stored.provisional > 0
                                    ? TillFile::provisionalText(m_database->shop().till(), stored.provisional)
                                    : QString::number(number);
    m_ui.ticketNumberLabel->setText(shownNumber);
    m_ui.changeCaption->setText(settled->refund ? RefundCaption : ChangeCaption);
    setFigure(m_ui.changeLabel, settled->shown.toCurrency());
    if (m_display)
        m_display->showPaid(m_ticket->amountTotal(), settled->paid, settled->shown, settled->refund);
    // Cash in or out: the drawer opens. The ticket is stored either way.
    if (CashDrawer::opensFor(method))
        if (const Done opened = CashDrawer::open(m_drawer); !opened)
            Messages::warning(this, DrawerFailed.arg(opened.errorText()));

    if (m_ui.printCheck->isChecked()) {
        Receipt receipt = composeReceipt();
        receipt.ticketNumber = shownNumber;
        receipt.paid = settled->paid.toCurrency();
        receipt.change = settled->shown.toCurrency();
        receipt.method = PaidBy.arg(paymentMethodName(method));
        if (!memberText.isEmpty())
            receipt.member = memberText;
        if (const Done printed = ReceiptPrinter::printOnDefaultPrinter(receipt); !printed)
            Messages::warning(this, PrintFailed.arg(printed.errorText()));
    }

    m_checkout.clear();
    m_ui.quantityTotalLabel->setText(QStringLiteral("0"));
    setFigure(m_ui.amountTotalLabel, QStringLiteral("0"));
    showMember(memberText);
    m_ui.paymentEdit->clear();
    showOffline(); // the number that follows, and the tickets waiting
    focusAndSelect(m_ui.codeEdit);
}

void CounterWindow::previewReceipt()
{
    Receipt receipt = composeReceipt();
    if (!m_ui.paymentEdit->text().isEmpty()) {
        const Money paid = Money::parse(m_ui.paymentEdit->text()).value_or(Money());
        const Money total = m_ticket->amountTotal();
        receipt.paid = paid.toCurrency();
        if (paid < total) {
            Messages::info(this, ShortPayment);
            return;
        }
        receipt.change = paid.minus(total).value_or(Money()).toCurrency();
    }
    ReceiptPrinter::preview(receipt, this);
}

void CounterWindow::voidLine()
{
    const int row = m_ui.ticketGrid->currentIndex().isValid() ? m_ui.ticketGrid->currentIndex().row() : -1;
    if (row < 0 || row >= m_ticket->lineCount())
        return;
    if (!Messages::ask(this, VoidQuestion, Messages::defaultTitle(), Messages::Icon::Question,
                       Messages::Buttons::YesNo))
        return;
    if (const QString problem = m_checkout.voidLine(row); !problem.isEmpty())
        qWarning("the voided line was not recorded: %s", qPrintable(problem));
    showTotals();
}

void CounterWindow::closeEvent(QCloseEvent *event)
{
    // The customer's open ticket is not lost by a slip of the hand.
    if (m_ticket->lineCount() > 0 && !Messages::ask(this, OpenTicketQuestion, Messages::defaultTitle(),
                                                    Messages::Icon::Question, Messages::Buttons::YesNoDefaultNo)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
