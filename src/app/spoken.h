#pragma once

#include "layout.h"

class QWidget;

namespace app {

// Gives `widget`, made for `row`, what a screen reader says of it: its name
// (with the row's caption where the name has one) and what it is for.
void speak(QWidget *widget, const Control &row);

} // namespace app
