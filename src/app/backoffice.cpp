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
#include "gui/stock/stockcountdialog.h"
#include "gui/stock/writeoffdialog.h"
#include "shop/database.h"
#include "shop/salesstore.h"

void addBackOffice(CounterWindow *counter)
{
    ScreenHost *host = counter->screens();
    const Shop shop = counter->database().shop();
    const QString path = counter->database().path();
    host->add(QStringLiteral("frmLogin"), [counter, shop](QWidget *parent) {
        auto *login = new LoginDialog(shop, parent);
        QObject::connect(login, &LoginDialog::loggedIn, counter, [counter] { counter->enterSuperUserMode(); });
        QObject::connect(login, &LoginDialog::cancelled, counter, [counter] { counter->cancelSuperUserRequest(); });
        return login;
    });
    host->add(QStringLiteral("gaimima"), [shop](QWidget *parent) { return new PasswordDialog(shop, parent); });
    host->add(QStringLiteral("frmabout"), [](QWidget *parent) { return new AboutDialog(parent); });
    host->add(QStringLiteral("frmhuoming"), [shop](QWidget *parent) { return new CatalogueDialog(shop, parent); });
    host->add(QStringLiteral("frmjinhuo"), [shop](QWidget *parent) { return new PurchaseDialog(shop, parent); });
    host->add(QStringLiteral("frmlinshou"), [shop](QWidget *parent) { return new RetailDialog(shop, parent); });
    host->add(QStringLiteral("frmxiaoshou"), [shop](QWidget *parent) { return new SalesAnalysisDialog(shop, parent); });
    host->add(QStringLiteral("frmkucun"), [shop](QWidget *parent) {
        return new InventoryDialog(shop, parent,
                                   {[shop](QWidget *over) { StockCountDialog(shop, over).exec(); },
                                    [shop](QWidget *over) { WriteOffDialog(shop, over).exec(); }});
    });
    host->add(QStringLiteral("frmxiaopiao"), [counter, shop](QWidget *parent) {
        return new ReceiptDesignDialog(
            shop, [counter] { counter->reloadReceiptHeader(); }, parent);
    });
    host->add(QStringLiteral("frmqingli"), [counter, shop, path](QWidget *parent) {
        return new CleanupDialog(
            shop, path,
            // Numbers start again after what is left: nothing on the file, on
            // the server the tickets the tills stored during the copy.
            [counter, shop] { counter->setTicketNumber(SalesStore(shop).nextTicketNumber().valueOr(1)); }, parent);
    });
}
