#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvanel {

/// Where the core sends the messages a user must read (refused files, file errors, input
/// checks). The interface shows them in a message box with the application's name as caption
/// and the exclamation icon; the command-line tool prints them to standard error; tests record
/// them. A call returns when the user has acknowledged the message.
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void notify(std::string_view text) = 0;
};

/// Keeps every text it is given, in order. For tests and for callers that show the messages
/// later.
class RecordingNotifier : public Notifier
{
public:
    void notify(std::string_view text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

/// The text a report of an exhausted memory shows, as the framework words it.
inline constexpr std::string_view outOfMemoryText = "Out of memory.";

} // namespace sorvanel
