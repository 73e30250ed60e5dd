#pragma once

// Shows the busy mouse pointer for as long as it lives, over every window of
// the program; every way out of a handler puts the pointer back. Guards may
// nest (a double-click during a run).
namespace app {

class BusyPointer
{
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

} // namespace app
