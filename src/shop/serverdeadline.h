#pragma once

#include <QString>

#include <cstdint>

class Shop;

// A deadline for what the program waits on from its server. A server that
// does not answer at all (its process stopped, a switch that drops packets)
// keeps a statement waiting for minutes: the network's own checks only
// notice a host that has gone, not one that is there and silent. While a
// ServerDeadline lives, a watch thread ends the connection under the
// statement once `milliseconds` have passed; the statement then fails as on
// a lost connection, and expired() tells the caller why. Nothing on the file.
class ServerDeadline
{
public:
    ServerDeadline(const Shop &shop, int milliseconds);
    ~ServerDeadline();
    ServerDeadline(const ServerDeadline &) = delete;
    ServerDeadline &operator=(const ServerDeadline &) = delete;

    bool expired() const;
    // Whether a deadline of the calling thread that is still in force has
    // passed: the server is silent, and a connection opened to it now would
    // wait as long again (Shop::recover then gives up at once).
    static bool passed();

    // The counter's checkout and goods lookup; the back office's reads.
    static constexpr int CounterMs = 3000;
    static constexpr int ScreenMs = 15000;
    // Why a statement failed when its deadline had passed.
    static QString silentInWords();

private:
    std::uint64_t m_id = 0;
};
