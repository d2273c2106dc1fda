#pragma once

#include <cstdint>
#include <random>

#include "Config.h"
#include "Frame.h"

enum class Fault { None, Dropped, Refused, CorruptHeader, CorruptPayload, Fragmented, NoReply };

const char* faultName(Fault fault);

struct ReplyPlan {
    Fault fault = Fault::None;
    int pieces = 1;
    int trailingBytes = 0;

    bool sent() const { return fault != Fault::Dropped && fault != Fault::NoReply; }
    // A dead controller and a refusing one do not carry the request out.
    bool carriesOut() const { return fault != Fault::NoReply && fault != Fault::Refused; }
};

// Decides, reply by reply, which faults of the configuration hit it. Made anew
// for every configuration, so that the counters start from zero.
class FaultInjector {
public:
    explicit FaultInjector(const FaultConfig& config) : config_(config), random_(config.seed) {}
    ReplyPlan plan(const Frame& request, bool replyHasPayload);

private:
    struct Draws {
        bool drop;
        bool refuse;
        bool corrupt;
        bool corruptPayload;
        bool fragment;
    };

    bool applies(const Frame& request) const;
    Fault countedFault(bool replyHasPayload);
    Draws draw();
    static Fault randomFault(const Draws& draws, bool replyHasPayload);

    FaultConfig config_;
    std::mt19937 random_;
    long long dropped_ = 0;
    long long refused_ = 0;
    long long corruptHeaders_ = 0;
    long long corruptPayloads_ = 0;
};

// Damages a checksum of an encoded frame in place.
void corruptFrame(Bytes& frame, Fault fault);
