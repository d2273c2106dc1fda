#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <type_traits>

#include <poll.h>
#include <unistd.h>

#include "Hex.h"

namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr auto RELOAD_PERIOD = std::chrono::milliseconds(250);
// A frame that stays incomplete this long will never be finished.
constexpr auto STALE_INPUT = std::chrono::seconds(1);
// Pause after an error on the master instead of spinning on it.
constexpr auto MASTER_PAUSE = std::chrono::milliseconds(100);
constexpr double LINE_BITS_PER_SECOND = 115200;
constexpr double BITS_PER_BYTE = 10;
constexpr std::uint8_t TRAILING_BYTE = 0xA5;

SteadyClock::duration toDuration(double ms) {
    return std::chrono::duration_cast<SteadyClock::duration>(Milliseconds(ms));
}

double wireTimeMs(std::size_t bytes) {
    return static_cast<double>(bytes) * BITS_PER_BYTE * 1000 / LINE_BITS_PER_SECOND;
}

std::vector<Bytes> split(const Bytes& bytes, int count) {
    const std::size_t pieces = std::clamp<std::size_t>(static_cast<std::size_t>(count), 1, bytes.size());
    std::vector<Bytes> result;
    for (std::size_t i = 0; i < pieces; ++i) {
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(i * bytes.size() / pieces);
        const auto end = bytes.begin() + static_cast<std::ptrdiff_t>((i + 1) * bytes.size() / pieces);
        result.emplace_back(begin, end);
    }
    return result;
}

Json frameLine(const ReceivedFrame& received) {
    const Frame& frame = received.frame;
    Json line;
    line["event"] = "frame";
    line["raw"] = toHex(received.raw);
    line["code"] = frame.code;
    line["length"] = frame.payload.size();
    line["param1"] = frame.param1;
    line["param2"] = frame.param2;
    line["sub"] = frame.sub;
    line["seq"] = frame.seq;
    line["payload"] = toHex(frame.payload);
    line["header_crc_ok"] = true;
    line["payload_crc_ok"] = received.payloadCrcOk;
    return line;
}

Json garbageLine(const Garbage& garbage) {
    Json line;
    line["event"] = "garbage";
    line["raw"] = toHex(garbage.raw);
    return line;
}

}  // namespace

Simulator::Simulator(const Options& options)
    : start_(SteadyClock::now()),
      record_(options.recordPath, start_),
      configSource_(options.configPath),
      faults_(config_.faults),
      output_(terminal_.master()),
      lastInput_(start_),
      nextReload_(start_),
      masterQuietUntil_(start_) {
    Json started;
    started["event"] = "started";
    started["slave"] = terminal_.slavePath();
    record_.write(started, SteadyClock::now());
    reloadConfig(SteadyClock::now());
    publishSlavePath(options.slaveFile, terminal_.slavePath());
}

void Simulator::run(const StopSignals& signals) {
    while (!signals.requested()) {
        const TimePoint now = SteadyClock::now();
        sendDue(now);
        dropStaleInput(now);
        if (now >= nextReload_) {
            reloadConfig(now);
        }
        waitForEvents(signals, SteadyClock::now());
    }
}

void Simulator::reloadConfig(TimePoint now) {
    nextReload_ = now + RELOAD_PERIOD;
    const ConfigSource::Result result = configSource_.reload();
    if (result.error) {
        std::cerr << "qor-sim: " << *result.error << '\n';
        Json line;
        line["event"] = "config_error";
        line["error"] = *result.error;
        record_.write(line, now);
    }
    if (result.change) {
        applyConfig(*result.change, now);
    }
}

void Simulator::applyConfig(const ConfigSource::Change& change, TimePoint now) {
    // The clock is controller state: only a changed "clock" setting resets it.
    if (!configured_ || change.config.clock != config_.clock) {
        controller_.setClock(change.config.clock, now);
    }
    config_ = change.config;
    configured_ = true;
    faults_ = FaultInjector(config_.faults);
    Json line;
    line["event"] = "config";
    for (const auto& item : change.effective.items()) {
        line[item.key()] = item.value();
    }
    record_.write(line, now);
}

void Simulator::waitForEvents(const StopSignals& signals, TimePoint now) {
    pollfd master{terminal_.master(), POLLIN, 0};
    if (output_.pending()) {
        master.events |= POLLOUT;
    }
    const bool watchMaster = now >= masterQuietUntil_;
    const auto wait = std::max(nextWakeUp(now) - now, SteadyClock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    timespec timeout{};
    timeout.tv_sec = seconds.count();
    timeout.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count();
    const int ready = ::ppoll(watchMaster ? &master : nullptr, watchMaster ? 1 : 0, &timeout, &signals.waitMask());
    if (ready <= 0) {
        return;
    }
    const TimePoint woken = SteadyClock::now();
    if ((master.revents & POLLOUT) != 0) {
        output_.flush();
    }
    if ((master.revents & POLLIN) != 0) {
        readInput(woken);
    } else if ((master.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        masterQuietUntil_ = woken + MASTER_PAUSE;
    }
}

TimePoint Simulator::nextWakeUp(TimePoint now) const {
    TimePoint wakeUp = std::max(nextReload_, now);
    if (const auto next = queue_.nextTime()) {
        wakeUp = std::min(wakeUp, *next);
    }
    if (!parser_.empty()) {
        wakeUp = std::min(wakeUp, lastInput_ + STALE_INPUT);
    }
    if (now < masterQuietUntil_) {
        wakeUp = std::min(wakeUp, masterQuietUntil_);
    }
    return wakeUp;
}

void Simulator::readInput(TimePoint now) {
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t count = ::read(terminal_.master(), buffer, sizeof buffer);
        if (count > 0) {
            lastInput_ = now;
            for (const ParsedItem& item : parser_.feed(buffer, static_cast<std::size_t>(count))) {
                handle(item, now);
            }
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            masterQuietUntil_ = now + MASTER_PAUSE;
        }
        return;
    }
}

void Simulator::handle(const ParsedItem& item, TimePoint now) {
    if (const auto* garbage = std::get_if<Garbage>(&item)) {
        record_.write(garbageLine(*garbage), now);
        return;
    }
    handleFrame(std::get<ReceivedFrame>(item), now);
}

void Simulator::handleFrame(const ReceivedFrame& received, TimePoint now) {
    reloadConfig(now);
    record_.write(frameLine(received), now);
    if (received.payloadCrcOk) {
        scheduleReply(received.frame, now);
    }
}

void Simulator::scheduleReply(const Frame& request, TimePoint now) {
    Frame answer = controller_.reply(request, config_, now);
    const ReplyPlan plan = faults_.plan(request, !answer.payload.empty());
    if (plan.fault == Fault::Refused) {
        answer = refusalFor(request);
    }
    std::vector<Json> lines(1);
    if (plan.carriesOut()) {
        for (Json& state : controller_.apply(request, now)) {
            lines.push_back(std::move(state));
        }
    }
    Bytes bytes = encodeFrame(answer);
    corruptFrame(bytes, plan.fault);
    const double delayMs = config_.processingMs + (config_.wireTime ? wireTimeMs(bytes.size()) : 0.0);
    Json& reply = lines.front();
    reply["event"] = "reply";
    if (plan.sent()) {
        reply["raw"] = toHex(bytes);
    }
    reply["fault"] = faultName(plan.fault);
    queuePieces(plan.sent() ? bytes : Bytes{}, plan, std::move(lines), now + toDuration(delayMs));
}

void Simulator::queuePieces(const Bytes& bytes, const ReplyPlan& plan, std::vector<Json> lines, TimePoint due) {
    std::vector<Bytes> pieces = bytes.empty() ? std::vector<Bytes>{} : split(bytes, plan.pieces);
    lines.front()["pieces"] = pieces.size();
    if (!pieces.empty() && plan.trailingBytes > 0) {
        lines.front()["trailing"] = plan.trailingBytes;
        pieces.back().insert(pieces.back().end(), static_cast<std::size_t>(plan.trailingBytes), TRAILING_BYTE);
    }
    if (pieces.empty()) {
        queue_.push(TimedWrite{due, std::move(lines), {}});
        return;
    }
    const auto gap = toDuration(config_.faults.fragmentGapMs);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto offset = gap * static_cast<SteadyClock::rep>(i);
        queue_.push(TimedWrite{due + offset, i == 0 ? std::move(lines) : std::vector<Json>{}, std::move(pieces[i])});
    }
}

void Simulator::sendDue(TimePoint now) {
    for (const TimedWrite& write : queue_.takeDue(now)) {
        for (const Json& line : write.lines) {
            record_.write(line, now);
        }
        if (!write.bytes.empty()) {
            output_.send(write.bytes);
        }
    }
}

void Simulator::dropStaleInput(TimePoint now) {
    if (!parser_.empty() && now - lastInput_ >= STALE_INPUT) {
        if (const auto garbage = parser_.dropIncomplete()) {
            record_.write(garbageLine(*garbage), now);
        }
    }
}
