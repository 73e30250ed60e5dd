#pragma once

#include "common/desktop.h"

namespace app {

// The system clipboard.
class QtClipboard : public common::Clipboard
{
public:
    void clear() override;
    void setText(const QString &text) override;
};

} // namespace app
