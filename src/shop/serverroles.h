#pragma once

#include <QString>

class QSqlDatabase;

// The shop's two roles on the server, given their rights by the owner of
// the shop's tables (`tarvel --server-grants`):
// - the back office's, which may do everything the back office does, but
//   may only append to the trail (caozuo) and read it;
// - the tills', which may read everything, sell, return and close its
//   period, append to the trail, and nothing else: no stored sale, purchase
//   or goods changed or deleted, no table emptied. A till PC's password then
//   cannot empty the shop.
// The roles themselves are made by the server's administrator (createuser);
// their rights are given again in full each time, so a second run after a
// new version added tables gives them those too.
namespace ServerRoles {

// Empty when given; else why not, for the user.
QString grant(const QSqlDatabase &owner, const QString &backOffice, const QString &tills);

} // namespace ServerRoles
