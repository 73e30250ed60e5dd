#pragma once

#include "common/desktop.h"

namespace app {

// The user's web browser, through the desktop's own way of opening addresses.
class QtUrlOpener : public common::UrlOpener
{
public:
    bool open(const QUrl &url) override;
};

} // namespace app
