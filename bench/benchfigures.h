#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class BenchTable;
struct ShopConfig;

// Every back-office screen, by the name its button opens it with.
inline constexpr const char *ScreenNames[] = {"frmhuoming",  "frmjinhuo", "frmlinshou", "frmxiaoshou", "frmkucun",
                                              "frmxiaopiao", "frmqingli", "gaimima",    "frmabout"};

struct BenchShops
{
    QString shop;      // working copy of the shop measured
    QString small;     // working copy of the baseline of the screens
    QString smallName; // what the baseline is, for the table
    QString original;  // the shop file as given (copied afresh for the cleanup)
    bool guard = false;
};

// P3 lookup and add step, P4 checkout.
void counterFigures(BenchTable &table, const BenchShops &shops);
// P7 retail day, catalogue and purchase screens, purchase grid to its end.
void screenFigures(BenchTable &table, const BenchShops &shops);
// P5 sales analysis, P6 inventory.
void analysisFigures(BenchTable &table, const BenchShops &shops);
// P8 cleanup of all sales.
void cleanupFigures(BenchTable &table, const BenchShops &shops);
// K1 expiry list, K2 reorder list, K3 the chart of a year, K4 export, K5 import.
void knowFigures(BenchTable &table, const BenchShops &shops);
// C1 the count's list, C2 its posting, C3–C5 the stock figures with adjustments.
void countFigures(BenchTable &table, const BenchShops &shops);
// L1 a scanned scale label to its line against a goods code.
void labelFigures(BenchTable &table, const BenchShops &shops);
// S1 checkout, S2 three tills at once, S3 the analyses: the shop on a server;
// O5 a screen opened as soon as the server is back from a restart.
void serverFigures(BenchTable &table, const BenchShops &shops);
// O1 the first checkout after the server went silent, O2 checkouts kept
// offline, O3 sending what was kept, O4 another till meanwhile.
void outageFigures(BenchTable &table, const BenchShops &shops);

// A program of the several-tills harness (tarvel_tillrun) as till `till` of
// the server, in a directory of its own, started with `arguments`.
struct TillProgram
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> process;
};
TillProgram startTill(const ShopConfig &server, int till, const QStringList &arguments);
double percentile99(const std::vector<double> &sorted);
