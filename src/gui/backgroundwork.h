#pragma once

#include "shop/shop.h"

#include <QString>

#include <functional>

class QWidget;

// Long reading work (an analysis over years of sales) runs on a connection of
// its own (to where the shop `source` is) in a worker thread. Work done within half a second is waited for;
// longer work shows a progress dialog whose "取消" stops it, and the window
// stays responsive meanwhile.
namespace BackgroundWork {

// Runs `work` and returns true when it ran to its end, false when the user
// cancelled it (whatever it produced is then to be discarded).
bool run(QWidget *parent, const Shop &source, const QString &label, const std::function<void(const Shop &)> &work);
// The same for work that is more than statements (reading a file, checking
// its rows): it asks `cancelled` now and then and stops when it says so.
using Cancelled = std::function<bool()>;
bool run(QWidget *parent, const Shop &source, const QString &label,
         const std::function<void(const Shop &, const Cancelled &)> &work);

} // namespace BackgroundWork
