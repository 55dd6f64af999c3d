#pragma once

#include "shop/payment.h"
#include "shop/result.h"

#include <QByteArray>
#include <QString>

// The till's cash drawer, which hangs on the receipt printer and opens on a
// pulse: the ESC/POS command ESC p sent raw to the printer's CUPS queue, or
// written to a device (a path, "/dev/usb/lp0"), as tarvel.ini's [till]
// drawer= names it. Empty: the till has no drawer.
namespace CashDrawer {

// ESC p 0 25 250: a pulse on pin 2 of 50 ms on, 500 ms off.
QByteArray pulse();

// Whether a ticket paid so opens the drawer: cash, also cash given back;
// never 微信, 支付宝 or 银行卡.
inline bool opensFor(PaymentMethod method)
{
    return method == PaymentMethod::Cash;
}

// Sends the pulse to `drawer` (a queue, or a path starting with "/").
Done open(const QString &drawer);

} // namespace CashDrawer
