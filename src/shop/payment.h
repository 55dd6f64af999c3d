#pragma once

#include "shop/money.h"

#include <QString>

#include <array>
#include <optional>

// How the customer paid a ticket. Tarvel calls no payment service: the QR
// stand and the card terminal take the money, the till records how.
enum class PaymentMethod { Cash, WeChat, Alipay, Card };

inline constexpr std::array<PaymentMethod, 4> AllPaymentMethods = {PaymentMethod::Cash, PaymentMethod::WeChat,
                                                                   PaymentMethod::Alipay, PaymentMethod::Card};

// The method's name as stored in fukuan.fangshi and shown: 现金, 微信, 支付宝, 银行卡.
QString paymentMethodName(PaymentMethod method);
std::optional<PaymentMethod> paymentMethodNamed(const QString &name);

// The payment of one ticket: for cash what the customer handed over and the
// change (a refund is change of a ticket whose total is below zero); for the
// other methods the total, without change.
struct Payment
{
    PaymentMethod method = PaymentMethod::Cash;
    Money paid;
    Money change;
    QString member{};  // the card of a member's ticket (会员), empty for anyone's
    QString cashier{}; // the 工号 of the cashier signed in, empty when the shop has none
};
