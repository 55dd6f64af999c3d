#pragma once

#include <QString>

// Texts of the counter, in one place.
namespace CounterText {
inline const QString NoCatalogue = QStringLiteral("请先进入“货名管理”输入货名！");
inline const QString NoCode = QStringLiteral("请先输入货物代码！");
inline const QString UnknownCode = QStringLiteral("没有这个货物代码，请重新输入！");
inline const QString NotPurchased = QStringLiteral("该货物没有进货，请重新输入！");
inline const QString NoQuantity = QStringLiteral("请输入货物数量！");
inline const QString BadInput = QStringLiteral("输入有误！");
inline const QString BadPayment = QStringLiteral("输入有误，请重新输入！");
inline const QString NothingToSell = QStringLiteral("没有货物可供结帐，请输入货物代码！");
inline const QString ShortPayment = QStringLiteral("付款金额不足！");
inline const QString NoPrice = QStringLiteral("打折后单价无效，请检查单价和打折率！");
inline const QString TooLarge = QStringLiteral("金额过大，无法计算！");
inline const QString StoreFailed = QStringLiteral("销售记录未能保存，本单没有结帐，请重试。\n%1");
inline const QString PrintFailed = QStringLiteral("本单已结帐保存，但小票没有打印出来：%1");
inline const QString DatabaseError = QStringLiteral("读取数据库时出错：%1");
inline const QString VoidQuestion = QStringLiteral("确定删除选中的这一行吗？");
inline const QString OpenTicketQuestion = QStringLiteral("本单尚未结帐，确定退出吗？");
inline const QString NoTicketNumber =
    QStringLiteral("无法读取最后一条销售记录，下一个流水号无法确定，程序将退出。\n%1");
inline const QString ChangeCaption = QStringLiteral("找零");
inline const QString RefundCaption = QStringLiteral("应退");
inline const QString PaidBy = QStringLiteral("付款方式：%1");
inline const QString CloseFailed = QStringLiteral("无法读取本班的销售：%1");
inline const QString BadLabel = QStringLiteral("称重条码的校验位不对，请重新扫描！");
inline const QString UnknownScaleCode = QStringLiteral("没有这个秤码的称重商品，请先在“货名管理”中设定！");
inline const QString LabelIsGoodsCode =
    QStringLiteral("这个条码既是货物代码又符合条码秤格式，不能确定是哪一种，请检查条码秤格式！");
inline const QString WeighedByCode = QStringLiteral("这是称重商品，请扫描条码秤打出的秤签！");
// 会员: while a member's ticket is open, and after it was stored.
inline const QString MemberOnTicket = QStringLiteral("会员：%1（%2）　积分 %3　本单 +%4");
inline const QString MemberStored = QStringLiteral("会员：%1　本单积分 %2　累计积分 %3");
// The cash drawer.
inline const QString DrawerFailed = QStringLiteral("小票已保存，但钱箱没有打开：%1");
} // namespace CounterText
