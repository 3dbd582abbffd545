// trace_op.cpp - the optional host operation KestromTraceDecision, exported
// by the programs that want the module's decision trace: it forwards each
// record to the active Server.  Kept apart from the rest of the simulated
// server so that a program can be built without it (kestrom-sim-notrace):
// the module's weak reference then resolves to null, as in any host that
// does not provide the trace.
#include "core/host.h"
#include "sim/server.h"

extern "C" void KestromTraceDecision(const KestromDecision *decision) {
    if (kestrom::sim::Server *s = kestrom::sim::Server::active()) s->traceDecision(decision);
}
