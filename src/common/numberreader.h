#pragma once

#include <QStringView>

namespace common {

// Reads the number a typed text begins with, the way the user expects from
// the size and compression boxes: blanks, tabs and line feeds are removed
// first ("1 000" is 1000); then an optional sign, digits, an optional decimal
// point with fraction and an optional exponent (E or D), or a hexadecimal
// (&H) or octal (&O) number. Reading stops at the first character that cannot
// continue the number ("640px" is 640); a text that does not begin with a
// number gives 0. A number too large for a double gives plus or minus
// infinity, never an error.
double readLeadingNumber(QStringView text);

} // namespace common
