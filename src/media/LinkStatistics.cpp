#include "media/LinkStatistics.h"

#include <QElapsedTimer>
#include <algorithm>

namespace kova {

namespace {

std::int64_t steadyMs() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

int perSecond(std::int64_t count, std::int64_t elapsedMs) {
    // A tick that came early or late must not show a burst or a dip.
    return static_cast<int>((std::max<std::int64_t>(count, 0) * 1000 + elapsedMs / 2) /
                            std::max<std::int64_t>(elapsedMs, 1));
}

std::uint64_t delta(std::uint64_t now, std::uint64_t before) {
    // Counters restart with a new channel or player.
    return now >= before ? now - before : now;
}

QString orDash(const std::optional<int>& ms, const char* unit) {
    return ms ? QStringLiteral("%1 %2").arg(*ms).arg(QLatin1String(unit)) : QStringLiteral("-");
}

QString kilobytes(std::uint64_t bytes) {
    return QString::number(double(bytes) / 1024.0, 'f', 1);
}

}  // namespace

LinkStatistics::LinkStatistics(Clock clock) : clock_(clock ? std::move(clock) : Clock(steadyMs)) {
    reset();
}

void LinkStatistics::reset(const Totals& baseline) {
    since_ = clock_();
    pictures_ = 0;
    heldBack_ = 0;
    inFlightSince_.reset();
    roundTrips_.clear();
    audioReceived_ = 0;
    audioLate_ = 0;
    lastSequence_.reset();
    lostTotal_ = 0;
    lostSampled_ = 0;
    previous_ = baseline;
    strangersBefore_ = baseline.strangers;
    last_ = {};
}

void LinkStatistics::pictureSent() {
    inFlightSince_ = clock_();
}

void LinkStatistics::pictureAcknowledged() {
    // Acks carry no frame number: one picture is in flight at a time, and an
    // ack with none in flight (a duplicate, or after the time-out) says nothing.
    if (!inFlightSince_) {
        return;
    }
    if (roundTrips_.size() < kMaxRoundTrips) {
        roundTrips_.push_back(static_cast<int>(clock_() - *inFlightSince_));
    }
    inFlightSince_.reset();
}

void LinkStatistics::audioFrame(int sequence) {
    ++audioReceived_;
    const int s = ((sequence % kSequenceModulo) + kSequenceModulo) % kSequenceModulo;
    if (!lastSequence_) {
        lastSequence_ = s;
        return;
    }
    const int ahead = (s - *lastSequence_ + kSequenceModulo) % kSequenceModulo;
    // Within half the modulo ahead the frames between are missing; further
    // ahead is read as behind: a frame overtaken by later ones (or a repeat).
    if (ahead != 0 && ahead <= kSequenceModulo / 2) {
        lostTotal_ += ahead - 1;
        lastSequence_ = s;
    } else {
        ++audioLate_;
        if (lostTotal_ > 0) {
            --lostTotal_;
        }
    }
}

LinkStatistics::Figures LinkStatistics::sample(const Totals& totals) {
    const std::int64_t now = clock_();
    const std::int64_t elapsed = now - since_;
    Figures f;
    f.pictures = perSecond(pictures_, elapsed);
    f.heldBack = perSecond(heldBack_, elapsed);
    if (!roundTrips_.empty()) {
        const auto middle =
            roundTrips_.begin() + static_cast<std::ptrdiff_t>(roundTrips_.size() / 2);
        std::nth_element(roundTrips_.begin(), middle, roundTrips_.end());
        f.roundTripMs = *middle;
    }
    f.audioReceived = perSecond(audioReceived_, elapsed);
    f.audioLost = perSecond(lostTotal_ - lostSampled_, elapsed);
    f.audioLate = perSecond(audioLate_, elapsed);
    f.playerDrops = perSecond(
        static_cast<std::int64_t>(delta(totals.playerDrops, previous_.playerDrops)), elapsed);
    f.ranDry =
        perSecond(static_cast<std::int64_t>(delta(totals.ranDry, previous_.ranDry)), elapsed);
    f.queueMs = totals.queueMs;
    if (totals.queueMs) {
        f.mouthToEarMs = *totals.queueMs + static_cast<int>(totals.deviceMs.value_or(0));
    }
    f.bytesIn = static_cast<std::uint64_t>(
        perSecond(static_cast<std::int64_t>(delta(totals.bytesIn, previous_.bytesIn)), elapsed));
    f.bytesOut = static_cast<std::uint64_t>(
        perSecond(static_cast<std::int64_t>(delta(totals.bytesOut, previous_.bytesOut)), elapsed));
    f.strangersTotal = delta(totals.strangers, strangersBefore_);

    since_ = now;
    pictures_ = 0;
    heldBack_ = 0;
    roundTrips_.clear();
    audioReceived_ = 0;
    audioLate_ = 0;
    lostSampled_ = std::max(lostTotal_, lostSampled_);
    lostTotal_ = lostSampled_;
    previous_ = totals;
    last_ = f;
    return f;
}

QStringList LinkStatistics::lines(const Figures& f) {
    return {
        QStringLiteral("Pictures: %1 drawn/s, %2 held back/s").arg(f.pictures).arg(f.heldBack),
        QStringLiteral("Picture round trip: %1").arg(orDash(f.roundTripMs, "ms")),
        QStringLiteral("Audio: %1 received/s, %2 lost, %3 late")
            .arg(f.audioReceived)
            .arg(f.audioLost)
            .arg(f.audioLate),
        QStringLiteral("Play queue: %1, mouth-to-ear: %2")
            .arg(orDash(f.queueMs, "ms"), orDash(f.mouthToEarMs, "ms")),
        QStringLiteral("Player: %1 dropped/s, %2 ran dry").arg(f.playerDrops).arg(f.ranDry),
        QStringLiteral("KB/s: %1 in, %2 out").arg(kilobytes(f.bytesIn), kilobytes(f.bytesOut)),
        QStringLiteral("Strangers' datagrams dropped: %1").arg(f.strangersTotal),
    };
}

QString LinkStatistics::logLine(const Figures& f) {
    const auto value = [](const std::optional<int>& v) {
        return v ? QString::number(*v) : QStringLiteral("-");
    };
    return QStringLiteral(
               "pictures=%1 round_trip_ms=%2 held_back=%3 audio_received=%4 audio_lost=%5 "
               "audio_late=%6 player_drops=%7 ran_dry=%8 queue_ms=%9 mouth_to_ear_ms=%10 "
               "bytes_in=%11 bytes_out=%12 strangers=%13")
        .arg(f.pictures)
        .arg(value(f.roundTripMs))
        .arg(f.heldBack)
        .arg(f.audioReceived)
        .arg(f.audioLost)
        .arg(f.audioLate)
        .arg(f.playerDrops)
        .arg(f.ranDry)
        .arg(value(f.queueMs))
        .arg(value(f.mouthToEarMs))
        .arg(f.bytesIn)
        .arg(f.bytesOut)
        .arg(f.strangersTotal);
}

}  // namespace kova
