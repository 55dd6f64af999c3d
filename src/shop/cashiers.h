#pragma once

#include "shop/shop.h"

#include <QList>
#include <QString>

#include <optional>

// 收银员: the people who sell at the tills, by 工号 (shouyinyuan), each with
// a password kept only as a slow salted hash (libsodium's crypto_pwhash,
// Argon2id). A shop without an active cashier sells as it always did, with
// nobody signed in; once one exists, the counter sells only for a cashier
// signed in. The tickets record their cashier in shouyin_piao.
struct Cashier
{
    QString number; // 工号
    QString name;
    bool active = true;

    // What is wrong with it, in the keeper's words; empty when it can be stored.
    QString problem() const;
};

namespace Cashiers {

// The cost of one hash: Argon2id with libsodium's interactive limits, two
// passes over 64 MiB, about 0.1 s on a till's processor. A sign-in hashes
// once, so it stays well under a second; guessing a stolen hash costs a
// tenth of a second and 64 MiB per try.
inline constexpr unsigned long long HashPasses = 2;
inline constexpr size_t HashMemory = size_t(64) << 20;

// The text kept for `password`: the algorithm, its cost, the salt and the
// hash. Empty when the hash could not be made (no memory).
QString hashOf(const QString &password);
// Whether `password` is the one `hashed` was made of.
bool matches(const QString &hashed, const QString &password);

// Whether any cashier is active: the counter then asks who sells.
Result<bool> anyActive(const Shop &shop);
// Every cashier by 工号, the active and the others.
Result<QList<Cashier>> list(const Shop &shop);
// Adds a cashier with its password; its 工号 must be new.
Done add(const Shop &shop, const Cashier &cashier, const QString &password);
// Changes the name and whether the cashier is active; a password that is not
// empty replaces the one kept.
Done change(const Shop &shop, const Cashier &cashier, const QString &password);
// The active cashier of `number` whose password is `password`. The same
// refusal for an unknown 工号, a cashier no longer active and a wrong
// password, so that a guess learns nothing of which it was.
Result<Cashier> signIn(const Shop &shop, const QString &number, const QString &password);

// The cashier's name for the counter and reports: "工号 姓名".
QString shown(const Cashier &cashier);

inline constexpr const char *Refused = "工号或密码不对，请重试!";

} // namespace Cashiers
