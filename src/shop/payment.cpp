#include "shop/payment.h"

QString paymentMethodName(PaymentMethod method)
{
    switch (method) {
    case PaymentMethod::Cash:
        return QStringLiteral("现金");
    case PaymentMethod::WeChat:
        return QStringLiteral("微信");
    case PaymentMethod::Alipay:
        return QStringLiteral("支付宝");
    case PaymentMethod::Card:
        return QStringLiteral("银行卡");
    }
    return QString();
}

std::optional<PaymentMethod> paymentMethodNamed(const QString &name)
{
    for (const PaymentMethod m : AllPaymentMethods)
        if (paymentMethodName(m) == name)
            return m;
    return std::nullopt;
}
