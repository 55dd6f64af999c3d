#pragma once

#include "shop/shop.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class WorkConnection;

// Keeps the till's own file (TillFile) a copy of what the counter needs from
// the server: read at start, after the server announces a change of the
// goods or the purchases, after the connection was opened again, and every
// few minutes for what is not announced (the receipt's texts, the password).
// Read on the analyses' work thread, so the counter never waits for it.
class TillCopy : public QObject
{
    Q_OBJECT

public:
    TillCopy(const Shop &shop, const QString &path, QObject *parent = nullptr);
    ~TillCopy() override;

    // Reads the server's copy again soon (changes come in bursts).
    void refreshSoon();
    // The figures for the till's file, read from `shop` and written at
    // `path` in one transaction: empty, or the reason.
    static QString refresh(const Shop &shop, const QString &path);

    static constexpr int SoonMs = 1000;
    static constexpr int EveryMs = 5 * 60 * 1000;

Q_SIGNALS:
    // A refresh ended: empty, or why it failed.
    void refreshed(const QString &problem);

private:
    void start();

    QString m_path;
    std::shared_ptr<WorkConnection> m_work;
    QTimer m_soon, m_every;
    bool m_running = false, m_again = false;
};
