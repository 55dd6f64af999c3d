#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

// The back-office screens of the counter window. A screen is created on first
// use and kept: its "关闭"/"返回" buttons only hide it, so it keeps its fields
// and record sets. Closing it with the window's close box unloads it, and the
// next opening loads it afresh.
class ScreenHost : public QObject
{
    Q_OBJECT

public:
    using Factory = std::function<QDialog *(QWidget *parent)>;

    explicit ScreenHost(QWidget *owner);
    ~ScreenHost() override;

    void add(const QString &name, Factory factory);
    bool has(const QString &name) const { return m_factories.contains(name); }

    // The screen, created (not shown) if it is not loaded.
    QDialog *screen(const QString &name);
    // Whether it is loaded now (without creating it).
    QDialog *loaded(const QString &name) const;
    // Shows the screen as a modal dialog and waits until it is hidden or closed.
    void open(const QString &name);
    // Unloads every screen (the owner is going away).
    void unloadAll();

Q_SIGNALS:
    void screenClosed(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_owner;
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<QDialog>> m_screens;
    QSet<QDialog *> m_closedByBox;
};
