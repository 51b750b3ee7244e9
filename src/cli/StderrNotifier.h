#pragma once

#include "platform/Notifier.h"

#include <iostream>

namespace sorvanel {

/// Messages of the core go to standard error, one line each.
class StderrNotifier : public Notifier
{
public:
    void notify(std::string_view text) override { std::cerr << text << '\n'; }
};

} // namespace sorvanel
