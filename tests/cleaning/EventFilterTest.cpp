#include "cleaning/EventFilter.h"

#include "platform/Notifier.h"
#include "support/MidiBytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace sorvanel {
namespace {

/// Builds and prints tracks in a short notation: "delta:status data..." per event, events
/// separated by "|", bytes in hex; for FF the first byte after the status is the meta type.
class Notation
{
public:
    Track track(const std::string& text)
    {
        Track result;
        result.image = m_image.data();
        std::istringstream events(text);
        std::string one;
        while (std::getline(events, one, '|'))
            result.events.push_back(event(one));
        return result;
    }

    MidiEvent event(const std::string& text)
    {
        std::istringstream in(text);
        MidiEvent e;
        char colon = 0;
        in >> e.delta >> colon;
        std::vector<std::uint8_t> bytes;
        unsigned byte = 0;
        while (in >> std::hex >> byte)
            bytes.push_back(static_cast<std::uint8_t>(byte));
        e.status = bytes.at(0);
        std::size_t first = 1;
        if (e.status == 0xFF)
            e.metaType = bytes.at(first++);
        e.length = static_cast<std::int32_t>(bytes.size() - first);
        if (e.length <= 4) {
            std::copy(
                bytes.begin() + static_cast<std::ptrdiff_t>(first), bytes.end(), e.inlineData);
        } else {
            // Long data lies in one image, as it does in a file read.
            e.dataOffset = static_cast<std::uint32_t>(m_image.size());
            m_image.insert(
                m_image.end(), bytes.begin() + static_cast<std::ptrdiff_t>(first), bytes.end());
            if (m_image.size() > imageSize)
                throw std::length_error("Notation: more long data than its image holds");
        }
        return e;
    }

    static std::string print(const Track& track)
    {
        std::string text;
        char buffer[8];
        for (const MidiEvent& e : track.events) {
            if (!text.empty())
                text += '|';
            text += std::to_string(e.delta) + ":";
            std::snprintf(buffer, sizeof buffer, "%02X", e.status);
            text += buffer;
            if (e.status == 0xFF) {
                std::snprintf(buffer, sizeof buffer, " %02X", e.metaType);
                text += buffer;
            }
            for (std::int32_t i = 0; i < e.length; ++i) {
                std::snprintf(buffer, sizeof buffer, " %02X", track.data(e)[i]);
                text += buffer;
            }
        }
        return text;
    }

private:
    static constexpr std::size_t imageSize = 1 << 16;
    /// Reserved once, so the tracks' `image` stays where it is.
    std::vector<std::uint8_t> m_image = [] {
        std::vector<std::uint8_t> image;
        image.reserve(imageSize);
        return image;
    }();
};

Song songOf(std::vector<Track> tracks)
{
    Song song;
    song.trackCount = static_cast<std::int16_t>(tracks.size());
    song.tracks = std::move(tracks);
    return song;
}

using Setup = std::function<void(CleanOptions&)>;

CleanOptions optionsWith(const Setup& setup)
{
    CleanOptions options; // first-start defaults
    setup(options);
    options.recomputeSlotValues();
    return options;
}

struct FilterRow
{
    const char* name;
    Setup setup;
    const char* before;
    const char* after;
    CleanCounts counts;
};

void runRows(const std::vector<FilterRow>& rows)
{
    for (const FilterRow& row : rows) {
        Notation n;
        Song song = songOf({n.track(row.before)});
        CleanCounts counts = cleanSong(song, optionsWith(row.setup));
        EXPECT_EQ(Notation::print(song.tracks[0]), row.after) << row.name;
        EXPECT_EQ(counts, row.counts) << row.name;
    }
}

constexpr auto noChange = CleanCounts{0, 0, 0, false};

TEST(CleanSongDeletion, ControllerRules)
{
    auto controllersNoExceptions = [](CleanOptions& o) {
        o.DeleteAllControlEvents = 1;
        o.ExceptControlEvents = 0;
    };
    runRows({
        {"every control change and pitch bend goes, channel mode and resets too",
            controllersNoExceptions,
            "0:B0 07 64|1:B1 79 00|2:B2 7B 00|3:E0 00 40|4:90 3C 40|5:A0 3C 10|6:C0 05|7:D0 20|"
            "8:80 3C 00|0:FF 2F",
            "10:90 3C 40|5:A0 3C 10|6:C0 05|7:D0 20|8:80 3C 00|0:FF 2F",
            CleanCounts{0, 4, 0, true}},
        {"default exceptions spare the standard controllers and pitch bend",
            [](CleanOptions& o) { o.DeleteAllControlEvents = 1; },
            "0:B0 00 01|0:B0 01 02|0:B0 07 03|0:B0 0A 04|0:B0 0B 05|0:B0 20 06|0:B0 40 07|"
            "0:B0 5B 08|0:B0 5D 09|0:B0 02 0A|0:E5 00 40|0:FF 2F",
            "0:B0 00 01|0:B0 01 02|0:B0 07 03|0:B0 0A 04|0:B0 0B 05|0:B0 40 07|0:B0 5B 08|"
            "0:B0 5D 09|0:E5 00 40|0:FF 2F",
            CleanCounts{0, 2, 0, true}},
        {"exceptions on but nothing named: every control change goes, pitch bend stays",
            [](CleanOptions& o) {
                o.DeleteAllControlEvents = 1;
                o.BankSelectMSB = o.Modulation = o.Volume = o.Pan = o.Expression = o.Sustain =
                    o.Reverb = o.Chorus = 0;
            },
            "0:B0 00 00|0:B0 07 64|0:EF 00 40|0:FF 2F", "0:EF 00 40|0:FF 2F",
            CleanCounts{0, 2, 0, true}},
        {"pitch bend flag alone does nothing without exceptions",
            [](CleanOptions& o) {
                o.DeleteAllControlEvents = 1;
                o.ExceptControlEvents = 0;
                o.PitchBend = 1;
            },
            "3:E0 00 40|0:FF 2F", "3:FF 2F", CleanCounts{0, 1, 0, true}},
        {"user slots spare their controllers; 121 keeps existing resets",
            [](CleanOptions& o) {
                o.DeleteAllControlEvents = 1;
                o.Control[3].HexText = "79";
                o.Control[7].HexText = "0A";
                o.Volume = o.Pan = 0;
                o.PitchBend = 0;
            },
            "0:B0 79 00|0:B0 0A 40|0:B0 07 64|0:E0 00 40|0:FF 2F", "0:B0 79 00|0:B0 0A 40|0:FF 2F",
            CleanCounts{0, 2, 0, true}},
        {"a control change without data compares as controller 0",
            [](CleanOptions& o) {
                o.DeleteAllControlEvents = 1;
                o.Volume = 0;
            },
            "0:B0|0:FF 2F", "0:B0|0:FF 2F", noChange},
        {"sparing a controller spares it on every channel",
            [](CleanOptions& o) { o.DeleteAllControlEvents = 1; },
            "0:BF 07 10|0:B9 07 11|0:B3 4A 00|0:FF 2F", "0:BF 07 10|0:B9 07 11|0:FF 2F",
            CleanCounts{0, 1, 0, true}},
        {"controller rules off: nothing goes", [](CleanOptions&) {},
            "0:B0 02 00|0:E0 00 00|0:F0 41 F7|0:FF 2F", "0:B0 02 00|0:E0 00 00|0:F0 41 F7|0:FF 2F",
            noChange},
    });
}

TEST(CleanSongDeletion, SysExRules)
{
    auto sysExSparing = [](std::vector<const char*> ids) {
        return [ids](CleanOptions& o) {
            o.DeleteSysExEvents = 1;
            o.ExceptManufacturerIds = 1;
            for (std::size_t i = 0; i < ids.size(); ++i)
                o.ManufacturerId[i * 5 % 12].HexText = ids[i];
        };
    };
    runRows({
        {"every F0 and F7 goes", [](CleanOptions& o) { o.DeleteSysExEvents = 1; },
            "1:F0 41 10 42 12 40 00 7F 00 41 F7|2:F7 43 10|4:FF 03 41|0:FF 2F",
            "7:FF 03 41|0:FF 2F", CleanCounts{2, 0, 0, true}},
        {"spared manufacturers, also for F7 packets; 12 slots searched", sysExSparing({"41", "7e"}),
            "0:F0 41 01 F7|0:F0 43 01 F7|0:F7 7E 01|0:F7 43|0:FF 2F",
            "0:F0 41 01 F7|0:F7 7E 01|0:FF 2F", CleanCounts{2, 0, 0, true}},
        {"slots without the exception flag spare nothing",
            [](CleanOptions& o) {
                o.DeleteSysExEvents = 1;
                o.ManufacturerId[0].HexText = "41";
            },
            "0:F0 41 F7|0:FF 2F", "0:FF 2F", CleanCounts{1, 0, 0, true}},
        {"an empty F0 compares as ID 0", sysExSparing({"0"}), "0:F0|0:F7|0:F0 01|0:FF 2F",
            "0:F0|0:F7|0:FF 2F", CleanCounts{1, 0, 0, true}},
        {"empty slots spare nothing, not even ID 0", sysExSparing({}), "0:F0|0:FF 2F", "0:FF 2F",
            CleanCounts{1, 0, 0, true}},
        {"meta events and other system bytes stay",
            [](CleanOptions& o) {
                o.DeleteSysExEvents = 1;
                o.DeleteAllControlEvents = 1;
                o.ExceptControlEvents = 0;
            },
            "0:FF 03 41 42|0:FF 51 07 A1 20|0:F1 00|0:F2 00 00|0:F3 01|0:F6|0:F8|0:FE|0:FF 2F",
            "0:FF 03 41 42|0:FF 51 07 A1 20|0:F1 00|0:F2 00 00|0:F3 01|0:F6|0:F8|0:FE|0:FF 2F",
            noChange},
    });
}

TEST(CleanSongDeletion, DeletedTimePassesToTheNextKeptEvent)
{
    auto all = [](CleanOptions& o) {
        o.DeleteSysExEvents = 1;
        o.DeleteAllControlEvents = 1;
        o.ExceptControlEvents = 0;
    };
    runRows({
        {"two deleted events before a kept one", all, "10:B0 07 00|20:F0 01|5:90 3C 40|0:FF 2F",
            "35:90 3C 40|0:FF 2F", CleanCounts{1, 1, 0, true}},
        {"deleted events before End-of-Track keep the track's length", all,
            "7:90 3C 40|10:B0 07 00|20:E0 00 00|3:FF 2F", "7:90 3C 40|33:FF 2F",
            CleanCounts{0, 2, 0, true}},
        {"runs of deletions separated by kept events", all,
            "1:B0 01 00|2:90 3C 40|4:B0 01 00|8:B0 01 00|16:80 3C 00|0:FF 2F",
            "3:90 3C 40|28:80 3C 00|0:FF 2F", CleanCounts{0, 3, 0, true}},
        {"deltas add up modulo 2^32 like one-at-a-time removal", all,
            "2147483647:B0 01 00|2:90 3C 40|0:FF 2F", "-2147483647:90 3C 40|0:FF 2F",
            CleanCounts{0, 1, 0, true}},
    });
}

TEST(CleanSongDeletion, OnlyTheFirstTrackCountTracks)
{
    Notation n;
    Song song = songOf({n.track("0:B0 07 00|0:FF 2F"), n.track("0:B0 07 00|0:FF 2F")});
    song.trackCount = 1;
    CleanCounts counts = cleanSong(song, optionsWith([](CleanOptions& o) {
        o.DeleteAllControlEvents = 1;
        o.ExceptControlEvents = 0;
        o.InsertMidiReset = 1;
    }));
    EXPECT_EQ(Notation::print(song.tracks[0]), "0:FF 2F");
    EXPECT_EQ(Notation::print(song.tracks[1]), "0:B0 07 00|0:FF 2F");
    EXPECT_EQ(counts, (CleanCounts{0, 1, 0, true}));
}

auto resets(bool beginning, bool end)
{
    return [=](CleanOptions& o) {
        o.InsertMidiReset = 1;
        o.BeginningOfFile = beginning ? 1 : 0;
        o.EndOfFile = end ? 1 : 0;
    };
}

TEST(CleanSongResets, Placement)
{
    runRows({
        {"before the first channel event, ascending, delta 0", resets(true, false),
            "0:FF 03 41|5:FF 51 07 A1 20|7:99 24 40|3:90 3C 40|0:FF 2F",
            "0:FF 03 41|5:FF 51 07 A1 20|0:B0 79 00|0:B9 79 00|7:99 24 40|3:90 3C 40|0:FF 2F",
            CleanCounts{0, 0, 2, true}},
        {"before End-of-Track, which keeps its delta", resets(false, true),
            "0:92 3C 40|10:82 3C 00|4:FF 2F", "0:92 3C 40|10:82 3C 00|0:B2 79 00|4:FF 2F",
            CleanCounts{0, 0, 1, true}},
        {"both places", resets(true, true), "0:C3 01|0:FF 2F",
            "0:B3 79 00|0:C3 01|0:B3 79 00|0:FF 2F", CleanCounts{0, 0, 2, true}},
        {"neither place inserts nothing", resets(false, false), "0:90 3C 40|0:FF 2F",
            "0:90 3C 40|0:FF 2F", noChange},
        {"a track without channel events gets none", resets(true, true),
            "0:FF 03 41|0:F0 41 F7|0:FF 2F", "0:FF 03 41|0:F0 41 F7|0:FF 2F", noChange},
        {"resets opening the track are recognised", resets(true, false),
            "0:B0 79 00|0:B9 79 00|0:90 3C 40|0:99 3C 40|0:FF 2F",
            "0:B0 79 00|0:B9 79 00|0:90 3C 40|0:99 3C 40|0:FF 2F", noChange},
        // The opening reset is itself the first channel event, so the new one goes before it.
        {"an opening reset for channel 0 leaves only channel 9", resets(true, false),
            "0:B0 79 00|0:90 3C 40|0:99 3C 40|0:FF 2F",
            "0:B9 79 00|0:B0 79 00|0:90 3C 40|0:99 3C 40|0:FF 2F", CleanCounts{0, 0, 1, true}},
        {"after a leading meta event existing resets are not seen: added again",
            resets(true, false), "0:FF 03 41|0:B0 79 00|0:90 3C 40|0:FF 2F",
            "0:FF 03 41|0:B0 79 00|0:B0 79 00|0:90 3C 40|0:FF 2F", CleanCounts{0, 0, 1, true}},
        {"resets before End-of-Track are recognised", resets(false, true),
            "0:90 3C 40|0:91 3C 40|0:B1 79 00|0:B0 79 00|0:FF 2F",
            "0:90 3C 40|0:91 3C 40|0:B1 79 00|0:B0 79 00|0:FF 2F", noChange},
        {"end resets of the beginning step do not count at the end", resets(true, true),
            "0:90 3C 40|0:FF 2F", "0:B0 79 00|0:90 3C 40|0:B0 79 00|0:FF 2F",
            CleanCounts{0, 0, 2, true}},
        {"a reset without a value byte still counts", resets(true, false),
            "0:B0 79|0:90 3C 40|0:FF 2F", "0:B0 79|0:90 3C 40|0:FF 2F", noChange},
        {"a control change with no data is not a reset", resets(true, false), "0:B0|0:FF 2F",
            "0:B0 79 00|0:B0|0:FF 2F", CleanCounts{0, 0, 1, true}},
        {"a channel whose only events were deleted gets none",
            [](CleanOptions& o) {
                resets(true, true)(o);
                o.DeleteAllControlEvents = 1;
                o.ExceptControlEvents = 0;
            },
            "0:B5 07 00|0:90 3C 40|0:FF 2F", "0:B0 79 00|0:90 3C 40|0:B0 79 00|0:FF 2F",
            CleanCounts{0, 1, 2, true}},
        {"a track without End-of-Track gets its end resets at its very end", resets(false, true),
            "0:90 3C 40", "0:90 3C 40|0:B0 79 00", CleanCounts{0, 0, 1, true}},
    });
}

TEST(CleanSongResets, AllSixteenChannelsEveryTrack)
{
    std::string text;
    for (int channel = 15; channel >= 0; --channel) {
        char event[24];
        std::snprintf(event, sizeof event, "1:%X 3C 40|", 0x90 + channel);
        text += event;
    }
    text += "0:FF 2F";
    Notation n;
    Song song = songOf({n.track(text), n.track(text), n.track("0:FF 2F")});
    CleanCounts counts = cleanSong(song, optionsWith(resets(true, true)));
    EXPECT_EQ(counts, (CleanCounts{0, 0, 64, true}));
    for (int t = 0; t < 2; ++t) {
        const auto& events = song.tracks[static_cast<std::size_t>(t)].events;
        ASSERT_EQ(events.size(), 17u + 32u);
        for (std::size_t c = 0; c < 16; ++c) {
            EXPECT_EQ(events[c].status, 0xB0 + c);
            EXPECT_EQ(events[16 + 16 + c].status, 0xB0 + c);
        }
        EXPECT_EQ(events[16].delta, 1);
    }
}

} // namespace
} // namespace sorvanel

namespace sorvanel {
namespace {

/// The cleaning rules done the slow, literal way: one `removeEvents` per deleted event and
/// one `insertEvent` per reset, with the controller exception list as a 20-entry array.
CleanCounts referenceClean(Song& song, const CleanOptions& o)
{
    CleanCounts counts;
    int exceptions[20];
    std::fill(std::begin(exceptions), std::end(exceptions), -1);
    if (o.ExceptControlEvents) {
        int n = 0;
        const std::pair<std::int32_t, int> standard[] = {{o.BankSelectMSB, 0}, {o.Modulation, 1},
            {o.BankSelectLSB, 32}, {o.Volume, 7}, {o.Pan, 10}, {o.Expression, 11}, {o.Reverb, 91},
            {o.Chorus, 93}, {o.Sustain, 64}};
        for (auto [flag, number] : standard)
            if (flag)
                exceptions[n++] = number;
        for (const ByteSlot& slot : o.Control)
            if (slot.Value >= 0)
                exceptions[n++] = slot.Value;
    }
    auto first = [](const Track& track, const MidiEvent& e) {
        return e.length > 0 ? int(track.data(e)[0]) : 0;
    };
    auto excepted = [&](int byte) {
        for (int entry : exceptions) {
            if (entry == -1)
                return false;
            if (entry == byte)
                return true;
        }
        return false;
    };
    auto spared = [&](int byte) {
        for (const ByteSlot& slot : o.ManufacturerId)
            if (slot.Value >= 0 && slot.Value == byte)
                return true;
        return false;
    };
    for (int t = 0; t < song.trackCount; ++t) {
        Track& track = song.tracks[static_cast<std::size_t>(t)];
        std::size_t i = 0;
        while (i < track.events.size()) {
            const MidiEvent& e = track.events[i];
            int s = e.status;
            bool remove = false;
            if (o.DeleteAllControlEvents && s >= 0xB0 && s <= 0xBF) {
                remove = !(o.ExceptControlEvents && excepted(first(track, e)));
                counts.controllersRemoved += remove;
            } else if (o.DeleteAllControlEvents && s >= 0xE0 && s <= 0xEF) {
                remove = !(o.ExceptControlEvents && o.PitchBend);
                counts.controllersRemoved += remove;
            } else if (o.DeleteAllControlEvents && s >= 0x80 && s <= 0xDF) {
                remove = false;
            } else if (o.DeleteSysExEvents && (s == 0xF0 || s == 0xF7)) {
                remove = !(o.ExceptManufacturerIds && spared(first(track, e)));
                counts.sysExRemoved += remove;
            }
            if (remove) {
                track.removeEvents(i, 1);
                counts.changed = true;
            } else {
                ++i;
            }
        }
    }
    if (!o.InsertMidiReset || !(o.BeginningOfFile || o.EndOfFile))
        return counts;
    auto isReset = [&](const Track& track, const MidiEvent& e) {
        return e.status >= 0xB0 && e.status <= 0xBF && e.length >= 1 && first(track, e) == 121;
    };
    auto insert = [&](Track& track, std::size_t at, const bool(&set)[16]) {
        for (int channel = 0; channel < 16; ++channel) {
            if (!set[channel])
                continue;
            MidiEvent reset;
            reset.status = static_cast<std::uint8_t>(0xB0 + channel);
            reset.length = 2;
            reset.inlineData[0] = 121;
            track.insertEvent(reset, at++);
            ++counts.resetsInserted;
            counts.changed = true;
        }
    };
    for (int t = 0; t < song.trackCount; ++t) {
        Track& track = song.tracks[static_cast<std::size_t>(t)];
        bool used[16] = {};
        for (const MidiEvent& e : track.events)
            if (e.status >= 0x80 && e.status <= 0xEF)
                used[e.status & 0x0F] = true;
        if (o.BeginningOfFile) {
            bool set[16];
            std::copy(std::begin(used), std::end(used), set);
            for (std::size_t i = 0; i < track.events.size() && isReset(track, track.events[i]); ++i)
                set[track.events[i].status & 0x0F] = false;
            std::size_t at = 0;
            for (std::size_t i = 0; i < track.events.size(); ++i)
                if (track.events[i].status >= 0x80 && track.events[i].status <= 0xEF) {
                    at = i;
                    break;
                }
            insert(track, at, set);
        }
        if (o.EndOfFile) {
            bool set[16];
            std::copy(std::begin(used), std::end(used), set);
            std::size_t at = track.events.size();
            for (std::size_t i = track.events.size(); i-- > 0;) {
                const MidiEvent& e = track.events[i];
                if (e.status == 0xFF && e.metaType == 0x2F && e.length == 0)
                    at = i;
                else if (isReset(track, e))
                    set[e.status & 0x0F] = false;
                else
                    break;
            }
            insert(track, at, set);
        }
    }
    return counts;
}

TEST(CleanSongEquivalence, MatchesOneAtATimeRemovalAndInsertion)
{
    std::mt19937 random(20261207);
    auto pick = [&](auto... values) {
        const int choices[] = {values...};
        return choices[random() % sizeof...(values)];
    };
    static const std::uint8_t longData[] = {0x41, 1, 2, 3, 4, 5, 6, 0xF7};
    const char* slotTexts[] = {"", "", "0", "7", "79", "41", "7e", "1FF"};
    for (int round = 0; round < 400; ++round) {
        CleanOptions options;
        for (StoredOption& v : storedOptions(options)) {
            if (v.flag)
                *v.flag = static_cast<std::int32_t>(random() % 2);
            else
                v.slot->HexText = slotTexts[random() % std::size(slotTexts)];
        }
        options.recomputeSlotValues();

        std::vector<Track> tracks(1 + random() % 3);
        for (Track& track : tracks) {
            track.image = longData;
            std::size_t count = random() % 40;
            for (std::size_t i = 0; i < count; ++i) {
                MidiEvent e;
                e.delta = static_cast<std::int32_t>(random() % 4 == 0 ? random() : random() % 100);
                int base = pick(
                    0x80, 0x90, 0xA0, 0xB0, 0xB0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0, 0xF7, 0xF1, 0xFF);
                e.status = static_cast<std::uint8_t>(
                    base < 0xF0 ? base + static_cast<int>(random() % 16) : base);
                if (e.status == 0xFF)
                    e.metaType = static_cast<std::uint8_t>(pick(0x03, 0x2F, 0x51));
                e.length = pick(0, 1, 2, 2, 2, 8);
                if (e.length == 8) {
                    e.dataOffset = 0; // the start of the track's image, `longData`
                } else {
                    e.inlineData[0] = static_cast<std::uint8_t>(pick(0, 1, 7, 32, 65, 121, 121));
                    e.inlineData[1] = 0;
                }
                track.events.push_back(e);
            }
            if (random() % 4 != 0) {
                MidiEvent end;
                end.status = 0xFF;
                end.metaType = 0x2F;
                track.events.push_back(end);
            }
        }
        Song fast = songOf(tracks);
        Song slow = songOf(tracks);
        if (random() % 5 == 0)
            fast.trackCount = slow.trackCount = static_cast<std::int16_t>(tracks.size() - 1);
        CleanCounts fastCounts = cleanSong(fast, options);
        CleanCounts slowCounts = referenceClean(slow, options);
        ASSERT_EQ(fastCounts, slowCounts) << "round " << round;
        for (std::size_t t = 0; t < tracks.size(); ++t)
            ASSERT_EQ(Notation::print(fast.tracks[t]), Notation::print(slow.tracks[t]))
                << "round " << round << ", track " << t;
    }
}

/// A clean that only deletes is written while the file is read: the same bytes, counts and
/// messages as reading, cleaning and writing the song, within the block size it asks for.
TEST(CleanWhileReading, MatchesReadCleanWrite)
{
    using namespace test;
    CleanOptions options = optionsWith([](CleanOptions& o) {
        o.DeleteSysExEvents = 1;
        o.DeleteAllControlEvents = 1;
        o.ExceptControlEvents = 0;
    });
    // One-byte events: running status on a status without data, written with their status
    // byte, twice their size.
    Bytes oneByteEvents = hex("00 F0 01 F7 00 FB");
    for (int i = 0; i < 200; ++i)
        oneByteEvents.push_back(0x05);
    const struct
    {
        const char* name;
        Bytes image;
    } rows[] = {
        {"two tracks, running status and time passed on",
            smf({track(hex("00 FF 03 01 41 10 B0 07 64 20 90 3C 40 10 3E 40 05 F0 02 41 F7")),
                track(hex("00 C0 05 30 05 00 E0 00 40"))})},
        {"one-byte events", smf({track(oneByteEvents)})},
        {"wrapped in RIFF", riff(smf({track(hex("00 B0 07 64 00 90 3C 40"))}))},
        {"nothing to delete", smf({track(hex("00 90 3C 40"))})},
        {"cut-off track", smf({track(hex("00 B0 07 64"), false)})},
        {"bytes after the last track", smf({track(hex("00 B0 07 64"))}) + hex("00")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes image = row.image;
        Song song;
        ReadResult read = readSong(song, image);
        CleanCounts counts = read.accepted ? cleanSong(song, options) : CleanCounts();
        Bytes expected = read.accepted ? encode(song) : Bytes();

        Bytes block(sievedSizeBound(image.size()));
        MidiBuffer input(image.data(), static_cast<std::int32_t>(image.size()), testPath);
        RecordingNotifier notifier;
        std::size_t written = 0;
        CleanCounts streamedCounts;
        SievedWrite result = cleanWhileReading(
            input, notifier, options, block.data(), block.size(), written, streamedCounts);
        EXPECT_EQ(notifier.texts, read.messages);
        if (!read.accepted) {
            EXPECT_EQ(result, SievedWrite::Refused);
            continue;
        }
        ASSERT_EQ(result, SievedWrite::Written);
        EXPECT_EQ(streamedCounts, counts);
        EXPECT_EQ(toHex(Bytes(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(written))),
            toHex(expected));

        // One byte short: the song is still judged whole, then found too large.
        MidiBuffer again(image.data(), static_cast<std::int32_t>(image.size()), testPath);
        RecordingNotifier tooSmall;
        EXPECT_EQ(cleanWhileReading(again, tooSmall, options, block.data(), expected.size() - 1,
                      written, streamedCounts),
            SievedWrite::TooSmall);
        EXPECT_EQ(tooSmall.texts, std::vector<std::string>{bufferTooSmallText});

        // From an empty block that grows as it is written, a byte at a time where it can:
        // the same bytes, and only where it must, the block moves.
        MidiBuffer grown(image.data(), static_cast<std::int32_t>(image.size()), testPath);
        std::vector<Bytes> blocks(1);
        const GrowBlock grow = [&](std::size_t used, std::size_t atLeast, std::size_t& size) {
            EXPECT_GT(atLeast, blocks.back().size());
            blocks.push_back(Bytes(
                blocks.back().begin(), blocks.back().begin() + static_cast<std::ptrdiff_t>(used)));
            blocks.back().resize(size = atLeast);
            return blocks.back().data();
        };
        EXPECT_EQ(cleanWhileReading(
                      grown, notifier, options, blocks[0].data(), 0, written, streamedCounts, grow),
            SievedWrite::Written);
        EXPECT_EQ(toHex(Bytes(blocks.back().begin(),
                      blocks.back().begin() + static_cast<std::ptrdiff_t>(written))),
            toHex(expected));
    }
}

} // namespace
} // namespace sorvanel
