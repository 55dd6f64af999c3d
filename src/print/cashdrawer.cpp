#include "print/cashdrawer.h"

#include <QFile>

#include <cups/cups.h>

namespace CashDrawer {

QByteArray pulse()
{
    return QByteArray::fromHex("1b7000"
                               "19fa");
}

namespace {

Done toDevice(const QString &path, const QByteArray &bytes)
{
    QFile device(path);
    // A device is written, never made; a file stands in for one and is appended to.
    if (!device.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered | QIODevice::ExistingOnly))
        return Error{QStringLiteral("无法打开钱箱设备 %1：%2").arg(path, device.errorString())};
    if (device.write(bytes) != bytes.size())
        return Error{QStringLiteral("钱箱设备 %1 没有收下开箱命令：%2").arg(path, device.errorString())};
    return {};
}

Done toQueue(const QString &queue, const QByteArray &bytes)
{
    const QByteArray name = queue.toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), "cash drawer", 0, nullptr);
    if (job == 0)
        return Error{QStringLiteral("打印队列 %1 没有收下开钱箱的命令：%2")
                         .arg(queue, QString::fromUtf8(cupsLastErrorString()))};
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, "pulse", CUPS_FORMAT_RAW, 1) !=
            HTTP_STATUS_CONTINUE ||
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.constData(), size_t(bytes.size())) != HTTP_STATUS_CONTINUE ||
        cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) != IPP_STATUS_OK) {
        const QString why = QString::fromUtf8(cupsLastErrorString());
        cupsCancelJob(name.constData(), job);
        return Error{QStringLiteral("打印队列 %1 没有收下开钱箱的命令：%2").arg(queue, why)};
    }
    return {};
}

} // namespace

Done open(const QString &drawer)
{
    const QString target = drawer.trimmed();
    if (target.isEmpty())
        return {};
    return target.startsWith(u'/') ? toDevice(target, pulse()) : toQueue(target, pulse());
}

} // namespace CashDrawer
