#include "app/backoffice.h"

#include "gui/analysis/inventorydialog.h"
#include "gui/analysis/salesanalysisdialog.h"
#include "gui/counter/counterwindow.h"
#include "gui/login/logindialog.h"
#include "gui/login/passworddialog.h"
#include "gui/maintenance/aboutdialog.h"
#include "gui/maintenance/cleanupdialog.h"
#include "gui/maintenance/receiptdesigndialog.h"
#include "gui/screenhost.h"
#include "gui/stock/cataloguedialog.h"
#include "gui/stock/purchasedialog.h"
#include "gui/stock/retaildialog.h"
#include "shop/database.h"
#include "shop/salesstore.h"

void addBackOffice(CounterWindow *counter)
{
    ScreenHost *host = counter->screens();
    const QSqlDatabase db = counter->database().connection();
    const QString path = counter->database().path();
    host->add(QStringLiteral("frmLogin"), [counter, db](QWidget *parent) {
        auto *login = new LoginDialog(db, parent);
        QObject::connect(login, &LoginDialog::loggedIn, counter, [counter] { counter->enterSuperUserMode(); });
        QObject::connect(login, &LoginDialog::cancelled, counter, [counter] { counter->cancelSuperUserRequest(); });
        return login;
    });
    host->add(QStringLiteral("gaimima"), [db](QWidget *parent) { return new PasswordDialog(db, parent); });
    host->add(QStringLiteral("frmabout"), [](QWidget *parent) { return new AboutDialog(parent); });
    host->add(QStringLiteral("frmhuoming"), [db](QWidget *parent) { return new CatalogueDialog(db, parent); });
    host->add(QStringLiteral("frmjinhuo"), [db](QWidget *parent) { return new PurchaseDialog(db, parent); });
    host->add(QStringLiteral("frmlinshou"), [db](QWidget *parent) { return new RetailDialog(db, parent); });
    host->add(QStringLiteral("frmxiaoshou"),
              [db](QWidget *parent) { return new SalesAnalysisDialog(db, parent); });
    host->add(QStringLiteral("frmkucun"), [db](QWidget *parent) { return new InventoryDialog(db, parent); });
    host->add(QStringLiteral("frmxiaopiao"), [counter, db](QWidget *parent) {
        return new ReceiptDesignDialog(
            db, [counter] { counter->reloadReceiptHeader(); }, parent);
    });
    host->add(QStringLiteral("frmqingli"), [counter, db, path](QWidget *parent) {
        return new CleanupDialog(
            db, path,
            // Numbers start again after what is left: nothing on the file, on
            // the server the tickets the tills stored during the copy.
            [counter, db] { counter->setTicketNumber(SalesStore(db).nextTicketNumber()); }, parent);
    });
}
