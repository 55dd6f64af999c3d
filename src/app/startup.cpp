#include "app/startup.h"

#include "app/backoffice.h"

#include "gui/counter/counterwindow.h"
#include "gui/messages.h"
#include "shop/database.h"
#include "shop/displayformat.h"
#include "shop/numbertext.h"
#include "shop/tillfile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
const QString Title = QStringLiteral("Tarvel");
const QString StartedOffline =
    QStringLiteral("%1\n\n这台收银机先离线销售：商品和价格取自本机 %2 的副本，销售保存在本机，"
                   "服务器恢复后自动发送。退货、日结和后台管理要等服务器恢复。");
const QString CreateQuestion = QStringLiteral("没有找到数据库文件 %1。\n是否在这里创建一个新的商店数据库？");
} // namespace

void useWorkstationLocale()
{
    if (QLocale().language() == QLocale::C)
        QLocale::setDefault(NumberText::workstationLocale());
}

bool loadQtTranslations()
{
    // Qt's own texts (Yes/No in message boxes, the print preview's tools) in
    // the language of the locale, loaded once per process.
    static QTranslator *loaded = nullptr;
    if (loaded)
        return true;
    auto *translator = new QTranslator(qApp);
    const QStringList places = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                QCoreApplication::applicationDirPath() +
                                    QStringLiteral("/../share/tarvel/translations")};
    for (const QString &place : places) {
        if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"), place)) {
            QCoreApplication::installTranslator(translator);
            loaded = translator;
            return true;
        }
    }
    delete translator;
    return false;
}

// The analyses run one at a time on a thread of their own. glibc would give
// that thread a heap of its own, whose freed pages the program then keeps:
// a second heap is all it needs.
void limitHeaps()
{
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 2);
#endif
}

Startup startTarvel()
{
    limitHeaps();
    useWorkstationLocale();
    loadQtTranslations();
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(Database::FileName));
    const ShopConfigRead config = ShopConfig::read(QDir::currentPath());
    if (!config.config) {
        Messages::error(nullptr, config.error, Title);
        return {Startup::Outcome::Failed, nullptr, config.error};
    }

    // A till whose file holds a copy of the goods sells on without its server.
    const bool canSellOffline = config.config->engine == Engine::PostgreSQL &&
                                QFileInfo::exists(TillFile::pathFor(*config.config)) &&
                                TillFile(TillFile::pathFor(*config.config)).copiedAt().isValid();
    Database::Result opened = config.config->engine == Engine::PostgreSQL
                                  ? Database::openServer(*config.config, canSellOffline)
                                  : Database::open(path);
    if (opened.database && opened.status == Database::Status::Unreachable) {
        const QDateTime copied = TillFile(TillFile::pathFor(*config.config)).copiedAt();
        Messages::warning(nullptr, StartedOffline.arg(opened.message, formatDateTime(copied)), Title);
    }
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
    window->setDrawer(config.config->drawer);
    if (!config.config->customerDisplay.isEmpty())
        window->setCustomerDisplay(config.config->customerDisplay, config.config->customerText);
    addBackOffice(window);
    if (const QString problem = window->startError(); !problem.isEmpty()) {
        delete window;
        Messages::error(nullptr, problem, Title);
        return {Startup::Outcome::Failed, nullptr, problem};
    }
    window->show();
    // The counter takes the keyboard at once, also on a till without a
    // desktop where no window manager would hand it over.
    window->raise();
    window->activateWindow();
    return {Startup::Outcome::Started, window, QString()};
}
