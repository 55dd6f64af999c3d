#pragma once

#include <QElapsedTimer>

// What the cashier typed or clicked while the till waited for the server (a
// checkout held up by another till's lock or a slow network) is not fed into
// what comes next, the next customer's payment box say: when the wait took a
// second or more, the keys and clicks queued meanwhile are dropped as it ends.
// A quick store keeps them: a cashier who scans on at once loses nothing.
// Meanwhile the pointer is the wait cursor.
class WaitedInput
{
public:
    static constexpr int DropAfterMs = 1000;

    // The wait cursor shows meanwhile.
    WaitedInput();
    ~WaitedInput();
    WaitedInput(const WaitedInput &) = delete;
    WaitedInput &operator=(const WaitedInput &) = delete;

private:
    QElapsedTimer m_waited;
};
