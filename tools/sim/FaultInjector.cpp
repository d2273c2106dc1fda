#include "FaultInjector.h"

const char* faultName(Fault fault) {
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::Dropped:
        return "dropped";
    case Fault::Refused:
        return "refused";
    case Fault::CorruptHeader:
        return "corrupt_header";
    case Fault::CorruptPayload:
        return "corrupt_payload";
    case Fault::Fragmented:
        return "fragmented";
    case Fault::NoReply:
        return "no_reply";
    }
    return "none";
}

bool FaultInjector::applies(const Frame& request) const {
    return (!config_.onlyCode || *config_.onlyCode == request.code) &&
           (!config_.onlySub || *config_.onlySub == request.sub);
}

ReplyPlan FaultInjector::plan(const Frame& request, bool replyHasPayload) {
    ReplyPlan plan;
    if (!applies(request)) {
        return plan;
    }
    if (config_.noReply) {
        plan.fault = Fault::NoReply;
        return plan;
    }
    // Drawn for every reply, so that a seed gives the same sequence whatever the counters do.
    const Draws draws = draw();
    plan.fault = countedFault(replyHasPayload);
    if (plan.fault == Fault::None) {
        plan.fault = randomFault(draws, replyHasPayload);
    }
    plan.pieces = draws.fragment ? 3 : config_.fragments;
    if (plan.fault == Fault::None && plan.pieces > 1) {
        plan.fault = Fault::Fragmented;
    }
    plan.trailingBytes = config_.trailingBytes;
    return plan;
}

Fault FaultInjector::countedFault(bool replyHasPayload) {
    if (dropped_ < config_.dropFirst) {
        ++dropped_;
        return Fault::Dropped;
    }
    if (refused_ < config_.refuseFirst) {
        ++refused_;
        return Fault::Refused;
    }
    if (corruptHeaders_ < config_.corruptHeaderFirst) {
        ++corruptHeaders_;
        return Fault::CorruptHeader;
    }
    if (replyHasPayload && corruptPayloads_ < config_.corruptPayloadFirst) {
        ++corruptPayloads_;
        return Fault::CorruptPayload;
    }
    return Fault::None;
}

FaultInjector::Draws FaultInjector::draw() {
    auto chance = [this](double probability) {
        return static_cast<double>(random_()) / 4294967296.0 < probability;
    };
    Draws draws{};
    draws.drop = chance(config_.rates.drop);
    draws.refuse = chance(config_.rates.refuse);
    draws.corrupt = chance(config_.rates.corrupt);
    draws.corruptPayload = chance(0.5);
    draws.fragment = chance(config_.rates.fragment);
    return draws;
}

Fault FaultInjector::randomFault(const Draws& draws, bool replyHasPayload) {
    if (draws.drop) {
        return Fault::Dropped;
    }
    if (draws.refuse) {
        return Fault::Refused;
    }
    if (draws.corrupt) {
        return replyHasPayload && draws.corruptPayload ? Fault::CorruptPayload : Fault::CorruptHeader;
    }
    return Fault::None;
}

void corruptFrame(Bytes& frame, Fault fault) {
    if (fault == Fault::CorruptHeader && frame.size() >= HEADER_FRAME_BYTES) {
        frame[HEADER_BYTES] ^= 0xFF;
    }
    if (fault == Fault::CorruptPayload && frame.size() > HEADER_FRAME_BYTES) {
        frame.back() ^= 0xFF;
    }
}
