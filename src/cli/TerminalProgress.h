#pragma once

#include "platform/Notifier.h"
#include "settings/Texts.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace sorvanel {

/// Keeps a one-line count ("Cleaning 12 of 2000") on a terminal's standard error while a run
/// goes through its files; a message first clears the line and goes to `inner`. The line is
/// gone when the last file is in hand, so the log printed after the run starts on its own line.
class TerminalProgress : public Notifier
{
public:
    TerminalProgress(Notifier& inner, TextPair format)
        : m_inner(inner)
        , m_format(format)
    {
    }
    ~TerminalProgress() override { clear(); }

    bool operator()(std::size_t index, std::size_t count, const std::string&)
    {
        if (index + 1 >= count) {
            clear();
            return true;
        }
        char text[128];
        std::snprintf(text, sizeof text, std::string(m_format.pick()).c_str(), index + 1, count);
        std::cerr << '\r' << text << "\x1b[K" << std::flush;
        m_shown = true;
        return true;
    }

    void notify(std::string_view text) override
    {
        clear();
        m_inner.notify(text);
    }

private:
    void clear()
    {
        if (m_shown)
            std::cerr << "\r\x1b[K" << std::flush;
        m_shown = false;
    }

    Notifier& m_inner;
    TextPair m_format;
    bool m_shown = false;
};

} // namespace sorvanel
