#include "net/source_rules.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velta::net {

namespace {

using Key = std::array<std::uint8_t, 16>;

Key KeyOf(const SourcePacket& packet) {
    Key key{};
    if (packet.cid != nullptr)
        return *packet.cid;
    // Art-Net and DDP senders are known by their address alone: a restarted sender with a new
    // source port is the same source.
    for (int i = 0; i < 4; ++i)
        key[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(packet.from.address >> (24 - 8 * i));
    return key;
}

// Copies a source name for display: valid UTF-8 is kept, but every control character (C0, DEL,
// C1) and every byte of invalid UTF-8 becomes '?', so a name can't steer a terminal.
void CopyPrintableName(std::string_view in, std::array<char, kNameSize>& out) {
    std::size_t o = 0;
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(in[k]); };
    while (i < in.size() && o + 1 < out.size()) {
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80             ? 1
                             : (lead & 0xE0) == 0xC0 ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
        bool ok = length != 0 && i + length <= in.size();
        for (std::size_t k = 1; ok && k < length; ++k)
            ok = (byte(i + k) & 0xC0) == 0x80;
        std::uint32_t code = 0;
        if (ok) {
            code = length == 1 ? lead : lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k)
                code = (code << 6) | (byte(i + k) & 0x3F);
            static constexpr std::array<std::uint32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
            ok = code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        }
        const bool control = ok && (code < 0x20 || (code >= 0x7F && code < 0xA0));
        if (!ok || control || o + length >= out.size()) {
            out[o++] = '?';
            i += ok ? length : 1;
            continue;
        }
        for (std::size_t k = 0; k < length; ++k)
            out[o++] = in[i + k];
        i += length;
    }
    out[o] = '\0';
}

}  // namespace

std::string DescribeSource(const SourceLabel& source) {
    std::string text(ProtocolName(source.protocol));
    if (source.name[0] != '\0') {
        text += " \"";
        text += source.name.data();
        text += '"';
    }
    text += ' ';
    text += FormatEndpoint(source.address);
    return text;
}

std::string DescribeEvent(const SourceEvent& event, LossPolicy policy) {
    const std::string who = DescribeSource(event.source);
    switch (event.kind) {
        case SourceEventKind::Joined: {
            std::string text = who + " joined (";
            if (event.source.protocol == Protocol::Ddp)
                text += "priority ";
            else
                text += (event.source.protocol == Protocol::Sacn ? "universe " : "port-address ") +
                        std::to_string(event.source.universe) + ", priority ";
            return text + std::to_string(event.source.priority) + ")";
        }
        case SourceEventKind::Terminated:
            return who + " left (stream terminated)";
        case SourceEventKind::TimedOut:
            return who + " left (no data for 2.5 s)";
        case SourceEventKind::PriorityConflict:
            return "priority conflict: " + who + " and " + DescribeSource(event.other) +
                   " both send at priority " + std::to_string(event.source.priority) +
                   "; the newer, " + who + ", wins";
        case SourceEventKind::AllGone:
            return policy == LossPolicy::Hold
                       ? std::string("every source has gone: holding the last frame")
                       : std::string("every source has gone: blanking the display");
    }
    return who;
}

bool EventQueue::Push(const SourceEvent& event) {
    if (count_ == kCapacity) {
        ++lost_;
        return false;
    }
    ring_[(head_ + count_) % kCapacity] = event;
    ++count_;
    return true;
}

std::optional<SourceEvent> EventQueue::Pop() {
    if (count_ == 0)
        return std::nullopt;
    const SourceEvent event = ring_[head_];
    head_ = (head_ + 1) % kCapacity;
    --count_;
    return event;
}

SourceRules::Source* SourceRules::Find(Protocol protocol, const Key& key) {
    for (Source& source : sources_) {
        if (source.active && source.stats.label.protocol == protocol && source.key == key)
            return &source;
    }
    return nullptr;
}

SourceRules::Source* SourceRules::Join(const SourcePacket& packet, const Key& key, TimePoint now) {
    const auto free = std::find_if(sources_.begin(), sources_.end(),
                                   [](const Source& source) { return !source.active; });
    if (free == sources_.end())
        return nullptr;
    Source& source = *free;
    source = Source{};
    source.active = true;
    source.key = key;
    SourceLabel& label = source.stats.label;
    label.protocol = packet.protocol;
    label.address = packet.from;
    CopyPrintableName(packet.name, label.name);
    label.universe = packet.universe;
    label.priority = packet.priority;
    source.stats.joined = now;
    source.windowStart = now;
    Emit(SourceEventKind::Joined, now, label);
    return &source;
}

void SourceRules::End(Source& source, SourceEventKind why, TimePoint now) {
    Emit(why, now, source.stats.label);
    source.active = false;
    if (holder_ == &source - sources_.data())
        holder_ = kNone;
    if (ActiveSources() == 0) {
        Emit(SourceEventKind::AllGone, now, source.stats.label);
        allGone_ = true;
    }
}

bool SourceRules::TakeAllGone() {
    return std::exchange(allGone_, false);
}

int SourceRules::Winner() const {
    int winner = kNone;
    for (int i = 0; i < kMaxSources; ++i) {
        const Source& source = sources_[static_cast<std::size_t>(i)];
        if (!source.active)
            continue;
        if (winner == kNone)
            winner = i;
        const SourceStats& best = sources_[static_cast<std::size_t>(winner)].stats;
        if (source.stats.label.priority > best.label.priority ||
            (source.stats.label.priority == best.label.priority &&
             source.stats.joined > best.joined))
            winner = i;
    }
    return winner;
}

void SourceRules::Emit(SourceEventKind kind, TimePoint now, const SourceLabel& source,
                       const SourceLabel* other) {
    SourceEvent event;
    event.kind = kind;
    event.when = now;
    event.source = source;
    if (other != nullptr)
        event.other = *other;
    events_.Push(event);
}

Reason SourceRules::Offer(const SourcePacket& packet, TimePoint now) {
    Expire(now);
    if (packet.preview)
        return Reason::PreviewData;
    const Key key = KeyOf(packet);
    Source* source = Find(packet.protocol, key);

    if (source != nullptr && packet.sequence >= 0 && source->lastSequence >= 0) {
        const auto behind = static_cast<std::int8_t>(
            static_cast<std::uint8_t>(packet.sequence - source->lastSequence));
        if (behind <= 0 && behind > -kSequenceWindow)
            return Reason::StaleSequence;
    }
    if (packet.terminated) {
        if (source != nullptr)
            End(*source, SourceEventKind::Terminated, now);
        return Reason::StreamTerminated;
    }
    if (source == nullptr) {
        source = Join(packet, key, now);
        if (source == nullptr)
            return Reason::TooManySources;
    }

    // The packet counts for the source even when another holds the display: it keeps the
    // source alive and in the statistics.
    SourceStats& stats = source->stats;
    stats.label.address = packet.from;
    stats.label.priority = packet.priority;
    stats.label.universe = packet.universe;
    if (packet.cid != nullptr)
        CopyPrintableName(packet.name, stats.label.name);
    stats.lastSeen = now;
    ++stats.packets;
    // The rate is the packets of the last whole second before this one.
    if (const auto elapsed = now - source->windowStart; elapsed >= std::chrono::seconds(1)) {
        stats.packetsPerSecond =
            source->windowPackets / std::chrono::duration<double>(elapsed).count();
        source->windowStart = now;
        source->windowPackets = 0;
    }
    ++source->windowPackets;
    if (packet.sequence >= 0)
        source->lastSequence = packet.sequence;

    // DDP pieces go into the source's frame whether or not it holds the display, so the frame
    // is whole when it takes over.
    bool complete = true;
    if (packet.protocol == Protocol::Ddp) {
        std::copy(packet.levels.begin(), packet.levels.end(),
                  source->ddpFrame.begin() + static_cast<std::ptrdiff_t>(packet.offset));
        source->pushes = source->pushes || packet.push;
        complete = packet.push || !source->pushes;
    }

    if (const int winner = Winner(); winner != holder_ && winner != kNone) {
        Source& next = sources_[static_cast<std::size_t>(winner)];
        if (holder_ != kNone) {
            Source& previous = sources_[static_cast<std::size_t>(holder_)];
            if (previous.stats.label.priority == next.stats.label.priority)
                Emit(SourceEventKind::PriorityConflict, now, next.stats.label,
                     &previous.stats.label);
            previous.stats.holdsDisplay = false;
        }
        holder_ = winner;
        next.stats.holdsDisplay = true;
    }
    if (source - sources_.data() != holder_) {
        return holder_ != kNone &&
                       sources_[static_cast<std::size_t>(holder_)].stats.label.priority ==
                           packet.priority
                   ? Reason::EqualPriority
                   : Reason::LowerPriority;
    }
    if (!complete)
        return Reason::DdpPending;
    if (packet.protocol == Protocol::Ddp) {
        universe_ = source->ddpFrame;
    } else {
        const std::size_t n = std::min(packet.levels.size(), universe_.size());
        std::copy_n(packet.levels.begin(), n, universe_.begin());
        std::fill(universe_.begin() + static_cast<std::ptrdiff_t>(n), universe_.end(), 0);
    }
    return Reason::Accepted;
}

void SourceRules::Expire(TimePoint now) {
    for (Source& source : sources_) {
        if (source.active && now - source.stats.lastSeen >= kSourceTimeout)
            End(source, SourceEventKind::TimedOut, now);
    }
}

std::optional<TimePoint> SourceRules::NextExpiry() const {
    std::optional<TimePoint> next;
    for (const Source& source : sources_) {
        if (source.active && (!next || source.stats.lastSeen + kSourceTimeout < *next))
            next = source.stats.lastSeen + kSourceTimeout;
    }
    return next;
}

int SourceRules::ActiveSources() const {
    return static_cast<int>(std::count_if(sources_.begin(), sources_.end(),
                                          [](const Source& source) { return source.active; }));
}

int SourceRules::CopyStats(std::span<SourceStats, kMaxSources> out) const {
    int n = 0;
    for (const Source& source : sources_) {
        if (source.active)
            out[static_cast<std::size_t>(n++)] = source.stats;
    }
    return n;
}

}  // namespace velta::net
