#pragma once

#include <string>

#include "Config.h"
#include "ConfigSource.h"
#include "Controller.h"
#include "FaultInjector.h"
#include "FrameParser.h"
#include "LineOutput.h"
#include "PseudoTerminal.h"
#include "Record.h"
#include "ReplyQueue.h"
#include "StopSignals.h"
#include "Types.h"

struct Options {
    std::string configPath;
    std::string recordPath;
    std::string slaveFile;
};

// The controller on its pseudo-terminal: reads requests, answers them on time,
// and records what it sees.
class Simulator {
public:
    explicit Simulator(const Options& options);
    void run(const StopSignals& signals);

private:
    void reloadConfig(TimePoint now);
    void applyConfig(const ConfigSource::Change& change, TimePoint now);
    void waitForEvents(const StopSignals& signals, TimePoint now);
    TimePoint nextWakeUp(TimePoint now) const;
    void readInput(TimePoint now);
    void handle(const ParsedItem& item, TimePoint now);
    void handleFrame(const ReceivedFrame& received, TimePoint now);
    void scheduleReply(const Frame& request, TimePoint now);
    void queuePieces(const Bytes& bytes, const ReplyPlan& plan, std::vector<Json> lines, TimePoint due);
    void sendDue(TimePoint now);
    void dropStaleInput(TimePoint now);

    TimePoint start_;
    PseudoTerminal terminal_;
    Record record_;
    ConfigSource configSource_;
    Config config_;
    bool configured_ = false;
    Controller controller_;
    FaultInjector faults_;
    FrameParser parser_;
    ReplyQueue queue_;
    LineOutput output_;
    TimePoint lastInput_;
    TimePoint nextReload_;
    TimePoint masterQuietUntil_;
};
