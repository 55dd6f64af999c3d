#include "shop/checkout.h"

#include "shop/database.h"
#include "shop/members.h"
#include "shop/pricing.h"
#include "shop/scalegoods.h"
#include "shop/serverdeadline.h"
#include "shop/ticket.h"
#include "shop/tillfile.h"

#include <algorithm>
#include <limits>

// The price at the till beyond the looked-up one: a member's card that
// prices the ticket again, and the scale's labels, on the server or from
// the till's own copy while offline.

Result<Checkout::MemberRing> Checkout::ringMember(const GoodsCatalogue &catalogue, const QString &card)
{
    if (m_offline || card.trimmed().isEmpty())
        return MemberRing::NotMember;
    const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
    const auto found = Members::find(m_shop, card);
    if (!found)
        return found.error();
    if (!*found)
        return MemberRing::NotMember;
    // The lines already on the ticket at the price looked up for them get
    // the members' prices; a typed price, a label's amount and a returned
    // line stay as they are. All are priced before any changes: a lookup
    // that fails leaves the ticket as it was, nobody's.
    QList<std::pair<int, TicketLine>> repriced;
    for (int i = 0; i < m_ticket->lineCount(); ++i) {
        TicketLine line = m_ticket->line(i);
        if (line.weighed || line.isReturn() || !line.lookedUp)
            continue;
        const auto purchases = catalogue.purchasesOf(line.code, QDate(), true);
        if (!purchases)
            return purchases.error();
        const auto charge = purchases->charge();
        const auto price = Pricing::discountedPrice(charge.price.toPlain(), line.rate);
        const auto amount = price ? Pricing::lineAmount(line.quantity, *price) : std::nullopt;
        if (!amount || charge.price == *line.lookedUp)
            continue;
        line.lookedUp = charge.price;
        line.price = *price;
        line.amount = *amount;
        markSaving(line, charge.kind);
        repriced.append({i, line});
    }
    m_member = **found;
    for (const auto &[row, line] : std::as_const(repriced))
        m_ticket->reprice(row, line);
    return MemberRing::Joined;
}

qint64 Checkout::ticketPoints() const
{
    Money sales;
    for (const TicketLine &line : m_ticket->lines())
        if (!line.isReturn())
            sales = sales.plus(line.amount).value_or(sales);
    return Members::pointsFor(sales);
}

Result<std::optional<qint64>> Checkout::memberPoints() const
{
    if (!m_member)
        return std::optional<qint64>();
    const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
    const auto found = Members::find(m_shop, m_member->card);
    if (!found)
        return found.error();
    return *found ? std::optional((*found)->points) : std::nullopt;
}

void Checkout::reloadLabelFormats()
{
    // Formats that cannot be read leave the ones read before.
    if (const auto formats = ScaleGoods::formats(m_shop))
        m_labelFormats = *formats;
    if (const auto weighed = ScaleGoods::weighed(m_shop)) {
        m_weighedCodes = *weighed;
        m_scaleCodes.clear();
        for (auto i = m_weighedCodes.cbegin(); i != m_weighedCodes.cend(); ++i)
            m_scaleCodes.insert(i.value(), i.key());
    }
}

Result<ScaleGoods::LabelLookup> Checkout::readLabelOffline(const QString &text) const
{
    using Label = ScaleGoods::LabelLookup;
    Label found;
    switch (ScaleLabel::read(m_labelFormats, text, &found.label)) {
    case ScaleLabel::Read::NotLabel:
        return found;
    case ScaleLabel::Read::BadCheck:
        found.outcome = Label::BadCheck;
        return found;
    case ScaleLabel::Read::Label:
        break;
    }
    const auto asGoods = m_tillFile->lookup(text);
    if (!asGoods)
        return asGoods.error();
    found.code = m_scaleCodes.value(ScaleGoods::keptScaleCode(found.label.scaleCode));
    found.outcome = asGoods->named         ? Label::AlsoGoodsCode
                    : found.code.isEmpty() ? Label::UnknownScaleCode
                                           : Label::Found;
    return found;
}

bool Checkout::looksLikeLabel(const QString &text) const
{
    return std::any_of(m_labelFormats.cbegin(), m_labelFormats.cend(),
                       [&](const LabelFormat &f) { return f.matches(text); });
}

Result<ScaleGoods::LabelLookup> Checkout::readLabel(const QString &text)
{
    using Label = ScaleGoods::LabelLookup;
    Result<Label> label = Label();
    if (!isOffline()) {
        // A silent server keeps the cashier no longer than a lookup does;
        // one found gone sends the till to its own file.
        const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
        label = ScaleGoods::readLabel(m_shop, m_labelFormats, text);
        QString lost;
        if (!label)
            switch (m_shop.recover(&lost)) {
            case Shop::Recovery::NotLost:
                break;
            case Shop::Recovery::Reconnected:
                label = ScaleGoods::readLabel(m_shop, m_labelFormats, text);
                break;
            case Shop::Recovery::Lost:
                m_offline = m_tillFile != nullptr;
                label = Error{Database::connectionLost(lost)};
                break;
            }
    }
    if (isOffline())
        label = readLabelOffline(text);
    return label;
}

Result<Checkout::LabelRing> Checkout::ringLabel(const GoodsCatalogue &catalogue, const QString &text)
{
    LabelRing ring;
    if (m_labelFormats.isEmpty() || (isOffline() && !m_tillFile))
        return ring;
    using Label = ScaleGoods::LabelLookup;
    const Result<Label> label = readLabel(text);
    if (!label)
        return label.error();
    switch (label->outcome) {
    case Label::NotLabel:
        return ring;
    case Label::Found:
        break;
    case Label::BadCheck:
        ring.outcome = LabelRing::BadCheck;
        return ring;
    case Label::UnknownScaleCode:
        ring.outcome = LabelRing::UnknownScaleCode;
        return ring;
    case Label::AlsoGoodsCode:
        ring.outcome = LabelRing::AlsoGoodsCode;
        return ring;
    }
    const auto goods = lookup(catalogue, label->code);
    if (!goods)
        return goods.error();
    ring.goods = *goods;
    if (ring.goods.outcome != GoodsCatalogue::Lookup::Found) {
        ring.outcome = LabelRing::NotGoods;
        return ring;
    }
    // The scale prices by the goods' own price per kg, never a member's.
    GoodsCatalogue::Purchases scale = ring.goods.purchases;
    scale.memberPrice.reset();
    const auto weighed = ScaleGoods::lineOf(label->label, scale.sellingPrice());
    TicketLine line;
    line.code = label->code;
    line.name = ring.goods.name;
    line.weighed = true;
    line.time = QDateTime::currentDateTime();
    if (weighed && weighed->grams <= std::numeric_limits<qint32>::max()) {
        line.quantity = qint32(weighed->grams);
        line.listPrice = ring.goods.purchases.lastPrice;
        line.price = weighed->perKg;
        line.amount = weighed->amount;
    }
    ring.outcome = weighed && m_ticket->add(line) ? LabelRing::Added : LabelRing::TooLarge;
    return ring;
}
