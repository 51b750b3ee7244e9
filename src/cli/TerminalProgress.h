#pragma once

#include "platform/Notifier.h"
#include "settings/Texts.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

namespace sorvanel {

/// Keeps a one-line count ("Cleaning 12 of 2000") on a terminal's standard error while a run
/// goes through its files; a message first clears the line and goes to `inner`. The line is
/// redrawn at most ten times a second, so a run over many small files spends no time on it,
/// and is gone when the last file is in hand, so the log printed after the run starts on its
/// own line.
class TerminalProgress : public Notifier
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    TerminalProgress(Notifier& inner, TextPair format, std::ostream& terminal = std::cerr,
        Clock clock = std::chrono::steady_clock::now)
        : m_inner(inner)
        , m_format(format)
        , m_terminal(terminal)
        , m_clock(std::move(clock))
    {
    }
    ~TerminalProgress() override { clear(); }

    bool operator()(std::size_t index, std::size_t count, const std::string&)
    {
        if (index + 1 >= count) {
            clear();
            return true;
        }
        auto now = m_clock();
        if (m_drawnAt && now - *m_drawnAt < std::chrono::milliseconds(100))
            return true;
        m_drawnAt = now;
        char text[128];
        std::snprintf(text, sizeof text, std::string(m_format.pick()).c_str(), index + 1, count);
        m_terminal << '\r' << text << "\x1b[K" << std::flush;
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
            m_terminal << "\r\x1b[K" << std::flush;
        m_shown = false;
    }

    Notifier& m_inner;
    TextPair m_format;
    std::ostream& m_terminal;
    Clock m_clock;
    std::optional<std::chrono::steady_clock::time_point> m_drawnAt;
    bool m_shown = false;
};

} // namespace sorvanel
