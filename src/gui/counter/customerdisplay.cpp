#include "gui/counter/customerdisplay.h"

#include "gui/named.h"
#include "shop/customerview.h"
#include "shop/money.h"
#include "shop/ticket.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QLabel *bigLabel(QWidget *parent, const char *name, double scale, Qt::Alignment align)
{
    auto *l = named(new QLabel(parent), name);
    QFont f = l->font();
    f.setPointSizeF(std::max(9.0, f.pointSizeF()) * scale);
    f.setBold(scale > 2);
    l->setFont(f);
    l->setAlignment(align);
    return l;
}
} // namespace

CustomerDisplay::CustomerDisplay(const QString &header, const QString &idleText, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_idleText(idleText)
{
    setObjectName(QStringLiteral("frmguke"));
    setWindowTitle(QStringLiteral("顾客显示"));
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, QColor(255, 214, 0));
    setPalette(dark);
    m_header = bigLabel(this, "lblTaitou", 3, Qt::AlignHCenter);
    m_lines = bigLabel(this, "lblHang", 2.6, Qt::AlignLeft | Qt::AlignTop);
    m_lines->setTextFormat(Qt::PlainText);
    m_total = bigLabel(this, "lblHeji", 5.5, Qt::AlignRight);
    m_paid = bigLabel(this, "lblFukuan", 3.5, Qt::AlignRight);
    m_idle = bigLabel(this, "lblXianshi", 3.5, Qt::AlignCenter);
    m_idle->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_header);
    layout->addWidget(m_lines, 1);
    layout->addWidget(m_idle, 1);
    layout->addWidget(m_total);
    layout->addWidget(m_paid);
    setHeader(header);
    showTicket({}, Money());
    resize(800, 600);
}

bool CustomerDisplay::showOn(const QString &named)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QScreen *screen = nullptr;
    bool isNumber = false;
    const int number = named.toInt(&isNumber);
    if (isNumber && number >= 1 && number <= screens.size())
        screen = screens.at(number - 1);
    for (QScreen *s : screens)
        if (!screen && s->name() == named)
            screen = s;
    if (!screen)
        return false;
    setScreen(screen);
    setGeometry(screen->geometry());
    showFullScreen();
    return true;
}

void CustomerDisplay::setHeader(const QString &header)
{
    m_header->setText(header);
}

void CustomerDisplay::showTicket(const QList<TicketLine> &lines, Money total)
{
    const bool idle = lines.isEmpty();
    m_idle->setVisible(idle);
    m_lines->setVisible(!idle);
    m_total->setVisible(!idle);
    m_idle->setText(m_idleText);
    m_paid->clear();
    if (idle)
        return;
    m_lines->setText(CustomerView::lastLines(lines, ShownLines).join(u'\n'));
    m_total->setText(QStringLiteral("合计 %1").arg(total.toCurrency()));
}

void CustomerDisplay::showPaid(Money total, Money paid, Money change, bool refund)
{
    m_idle->hide();
    m_total->show();
    m_total->setText(QStringLiteral("合计 %1").arg(total.toCurrency()));
    m_paid->setText(
        QStringLiteral("付款 %1　%2 %3")
            .arg(paid.toCurrency(), refund ? QStringLiteral("应退") : QStringLiteral("找零"), change.toCurrency()));
}
