// Stopping long work: signal handlers that only raise an atomic flag (a second signal of the
// same kind restores the default action and raises it again), installed for a scope's life.
#include "common/Interrupt.hpp"

#include <csignal>

#include "common/OutputFile.hpp"

namespace {

std::atomic<bool> flag{false};
volatile std::sig_atomic_t received = 0;
struct sigaction previousInt, previousTerm;

extern "C" void raiseFlag(int signal) {
    if (received != 0) {  // a second signal: end as the signal would, leaving no partial file
        removePendingOutputs();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    received = signal;
    flag = true;
}

}  // namespace

InterruptScope::InterruptScope() {
    struct sigaction action {};
    action.sa_handler = raiseFlag;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

InterruptScope::~InterruptScope() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

const std::atomic<bool>& InterruptScope::requested() {
    return flag;
}

int InterruptScope::signalNumber() {
    return received;
}

void InterruptScope::request(bool stop) {
    flag = stop;
}
