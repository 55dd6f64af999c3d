#pragma once

#include <QString>

#include <functional>

// Writes a realistic shop file through the program's own schema code:
// goods with Chinese names, a pick list, purchases, and sale lines in tickets
// spread over the years with a daily and weekly rhythm. The same seed gives
// the same file.
struct ShopGenerator
{
    struct Scale
    {
        int goods;
        int purchases;
        int saleLines;
        int days; // ending yesterday
    };
    // A busy shop after five years: about 550 sale lines a day.
    static Scale fiveYears() { return {20000, 100000, 1000000, 5 * 365 + 1}; }
    // The same shop after ten years, with more goods on its shelves.
    static Scale tenYears() { return {50000, 200000, 2000000, 10 * 365 + 2}; }
    // The same shop in its first four days, as busy per day: the small file
    // of the tests and of the speed comparisons.
    static Scale small() { return {200, 500, 2000, 4}; }

    // Creates `path` (which must not exist); `progress` gets 0..100.
    // Returns an empty string or what went wrong.
    static QString generate(const QString &path, Scale scale, quint32 seed,
                            const std::function<void(int)> &progress = {});
};
