#pragma once

class CounterWindow;

// Gives the counter its back-office screens: which button opens which screen
// (the counter's host creates each on first use) and how the screens talk to
// the counter (the login switches its mode, a new receipt header is loaded,
// the cleanup numbers tickets from 1 again).
void addBackOffice(CounterWindow *counter);
