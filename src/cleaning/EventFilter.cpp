#include "cleaning/EventFilter.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace sorvanel {

namespace {

constexpr std::uint8_t resetController = 121;

/// The deletion rules of one run, prepared once per song.
class Rules
{
public:
    explicit Rules(const CleanOptions& options)
        : m_deleteSysEx(options.DeleteSysExEvents != 0)
        , m_deleteControllers(options.DeleteAllControlEvents != 0)
        , m_spareOnlySysEx(options.ExceptManufacturerIds != 0)
        , m_spareControllers(options.ExceptControlEvents != 0)
        , m_sparePitchBend(options.ExceptControlEvents != 0 && options.PitchBend != 0)
    {
        for (const ByteSlot& slot : options.ManufacturerId)
            if (slot.Value >= 0 && slot.Value <= 255)
                m_sparedIds.set(static_cast<std::size_t>(slot.Value));
        if (!m_spareControllers)
            return;
        const std::pair<std::int32_t, std::size_t> standard[] = {
            {options.BankSelectMSB, 0},
            {options.Modulation, 1},
            {options.BankSelectLSB, 32},
            {options.Volume, 7},
            {options.Pan, 10},
            {options.Expression, 11},
            {options.Reverb, 91},
            {options.Chorus, 93},
            {options.Sustain, 64},
        };
        for (auto [flag, controller] : standard)
            if (flag != 0)
                m_sparedControllers.set(controller);
        for (const ByteSlot& slot : options.Control)
            if (slot.Value >= 0 && slot.Value <= 255)
                m_sparedControllers.set(static_cast<std::size_t>(slot.Value));
    }

    enum class Verdict { Keep, DeleteController, DeleteSysEx };

    /// `image` is what the track's long data is counted from.
    Verdict judge(const MidiEvent& event, const std::uint8_t* image) const
    {
        std::uint8_t status = event.status;
        if (m_deleteControllers && status >= 0x80 && status <= 0xEF) {
            if (status >= 0xB0 && status <= 0xBF)
                return m_spareControllers && m_sparedControllers.test(firstDataByte(event, image))
                    ? Verdict::Keep
                    : Verdict::DeleteController;
            if (status >= 0xE0)
                return m_sparePitchBend ? Verdict::Keep : Verdict::DeleteController;
            return Verdict::Keep;
        }
        if (m_deleteSysEx && (status == 0xF0 || status == 0xF7))
            return m_spareOnlySysEx && m_sparedIds.test(firstDataByte(event, image))
                ? Verdict::Keep
                : Verdict::DeleteSysEx;
        return Verdict::Keep;
    }

    bool deletesAnything() const { return m_deleteSysEx || m_deleteControllers; }

private:
    static std::size_t firstDataByte(const MidiEvent& event, const std::uint8_t* image)
    {
        return event.length > 0 ? event.data(image)[0] : 0;
    }

    bool m_deleteSysEx;
    bool m_deleteControllers;
    bool m_spareOnlySysEx;
    bool m_spareControllers;
    bool m_sparePitchBend;
    std::bitset<256> m_sparedIds;
    std::bitset<256> m_sparedControllers;
};

/// Removes the condemned events in one pass. The result is that of removing them one at a
/// time, each passing its delta on to the event that takes its place: the deltas of a run of
/// deleted events add up onto the next kept event (modulo 2^32, like a 32-bit sum), and are
/// lost only when the run reaches the end of the track.
void compactTrack(Track& track, const Rules& rules, CleanCounts& counts)
{
    std::vector<MidiEvent>& events = track.events;
    std::size_t kept = 0;
    std::uint32_t carried = 0;
    for (std::size_t index = 0; index < events.size(); ++index) {
        MidiEvent& event = events[index];
        switch (rules.judge(event, track.image)) {
        case Rules::Verdict::DeleteController:
            ++counts.controllersRemoved;
            carried += static_cast<std::uint32_t>(event.delta);
            continue;
        case Rules::Verdict::DeleteSysEx:
            ++counts.sysExRemoved;
            carried += static_cast<std::uint32_t>(event.delta);
            continue;
        case Rules::Verdict::Keep:
            break;
        }
        if (carried != 0) {
            event.delta =
                static_cast<std::int32_t>(static_cast<std::uint32_t>(event.delta) + carried);
            carried = 0;
        }
        if (kept != index)
            events[kept] = event;
        ++kept;
    }
    if (kept != events.size()) {
        events.resize(kept);
        counts.changed = true;
    }
}

bool isChannelEvent(const MidiEvent& event)
{
    return event.status >= 0x80 && event.status <= 0xEF;
}

bool isReset(const MidiEvent& event, const std::uint8_t* image)
{
    return event.status >= 0xB0 && event.status <= 0xBF && event.length >= 1
        && event.data(image)[0] == resetController;
}

bool isEndOfTrack(const MidiEvent& event)
{
    return event.status == 0xFF && event.metaType == 0x2F && event.length == 0;
}

using Channels = std::bitset<16>;

/// Inserts one reset per channel of `channels`, ascending, as one block before `at`.
void insertResets(Track& track, std::size_t at, Channels channels, CleanCounts& counts)
{
    if (channels.none())
        return;
    std::array<MidiEvent, 16> block{};
    std::size_t n = 0;
    for (std::size_t channel = 0; channel < 16; ++channel) {
        if (!channels.test(channel))
            continue;
        MidiEvent& reset = block[n++];
        reset.delta = 0;
        reset.status = static_cast<std::uint8_t>(0xB0 + channel);
        reset.metaType = 0;
        reset.length = 2;
        reset.inlineData[0] = resetController;
        reset.inlineData[1] = 0;
    }
    auto position = track.events.begin() + static_cast<std::ptrdiff_t>(at);
    track.events.insert(position, block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    counts.resetsInserted += static_cast<std::int32_t>(n);
    counts.changed = true;
}

void insertTrackResets(Track& track, bool atBeginning, bool atEnd, CleanCounts& counts)
{
    const std::vector<MidiEvent>& events = track.events;
    Channels used;
    for (const MidiEvent& event : events)
        if (isChannelEvent(event))
            used.set(event.status & 0x0F);
    if (used.none())
        return;

    if (atBeginning) {
        // Only resets that open the track count as already there.
        Channels missing = used;
        for (std::size_t i = 0; i < events.size() && isReset(events[i], track.image); ++i)
            missing.reset(events[i].status & 0x0F);
        auto first = std::find_if(events.begin(), events.end(), isChannelEvent);
        std::size_t at =
            first == events.end() ? 0 : static_cast<std::size_t>(first - events.begin());
        insertResets(track, at, missing, counts);
    }

    if (atEnd) {
        Channels missing = used;
        std::size_t at = events.size();
        for (std::size_t i = events.size(); i-- > 0;) {
            if (isEndOfTrack(events[i]))
                at = i;
            else if (isReset(events[i], track.image))
                missing.reset(events[i].status & 0x0F);
            else
                break;
        }
        insertResets(track, at, missing, counts);
    }
}

} // namespace

CleanCounts cleanSong(Song& song, const CleanOptions& options)
{
    CleanCounts counts;
    std::size_t trackCount = std::min(
        song.tracks.size(), static_cast<std::size_t>(std::max<std::int16_t>(song.trackCount, 0)));

    Rules rules(options);
    if (rules.deletesAnything())
        for (std::size_t t = 0; t < trackCount; ++t)
            compactTrack(song.tracks[t], rules, counts);

    bool atBeginning = options.BeginningOfFile != 0;
    bool atEnd = options.EndOfFile != 0;
    if (options.InsertMidiReset != 0 && (atBeginning || atEnd))
        for (std::size_t t = 0; t < trackCount; ++t)
            insertTrackResets(song.tracks[t], atBeginning, atEnd, counts);
    return counts;
}

} // namespace sorvanel
