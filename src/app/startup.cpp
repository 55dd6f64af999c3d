#include "startup.h"

#include "counterwindow.h"
#include "database.h"
#include "messages.h"
#include "numbertext.h"

#include <QDir>
#include <QLocale>

namespace {
const QString Title = QStringLiteral("Tarvel");
const QString CreateQuestion = QStringLiteral("没有找到数据库文件 %1。\n是否在这里创建一个新的商店数据库？");
} // namespace

void useWorkstationLocale()
{
    if (QLocale().language() == QLocale::C)
        QLocale::setDefault(NumberText::workstationLocale());
}

Startup startTarvel()
{
    useWorkstationLocale();
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(Database::FileName));

    Database::Result opened = Database::open(path);
    if (opened.status == Database::Status::Missing) {
        if (!Messages::ask(nullptr, CreateQuestion.arg(QDir::toNativeSeparators(path)), Title, Messages::Icon::Question,
                           Messages::Buttons::YesNo))
            return {Startup::Outcome::Declined, nullptr, QString()};
        opened = Database::create(path);
    }
    if (!opened.database) {
        Messages::error(nullptr, opened.message, Title);
        return {Startup::Outcome::Failed, nullptr, opened.message};
    }
    auto *window = new CounterWindow(std::move(opened.database));
    window->show();
    return {Startup::Outcome::Started, window, QString()};
}
