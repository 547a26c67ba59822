// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace plenar {

class TCommThread;
class LinkLayer;
struct CommandRequest;

// Whether the printer answers the request's routine, so that its success means the printer took
// it. The direct sequences go out raw and wait for nothing (user data waits for the printer's
// frame on the network only): their success only says the bytes left. DirectRoutines.cpp.
bool printerConfirms(const CommandRequest& request);

// Registers the routine of every printer command code with the worker.
void registerRoutines(TCommThread& worker, LinkLayer& link);

// One per module, each in its own file.
void registerSettingsRoutines(TCommThread& worker, LinkLayer& link);  // SettingsRoutines.cpp
void registerDirectRoutines(TCommThread& worker, LinkLayer& link);    // DirectRoutines.cpp
void registerFileRoutines(TCommThread& worker, LinkLayer& link);      // FileRoutines.cpp
void registerFirmwareRoutines(TCommThread& worker, LinkLayer& link);  // FirmwareRoutines.cpp

}  // namespace plenar
