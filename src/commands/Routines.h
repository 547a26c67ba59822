#pragma once

namespace plenar {

class TCommThread;

// Registers the routine of every printer command code with the worker.
void registerRoutines(TCommThread& worker);

}  // namespace plenar
