// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace plenar {

class TCommThread;
class LinkLayer;

// Registers the routine of every printer command code with the worker.
void registerRoutines(TCommThread& worker, LinkLayer& link);

// One per module, each in its own file.
void registerSettingsRoutines(TCommThread& worker, LinkLayer& link);  // SettingsRoutines.cpp
void registerDirectRoutines(TCommThread& worker, LinkLayer& link);    // DirectRoutines.cpp
void registerFileRoutines(TCommThread& worker, LinkLayer& link);      // FileRoutines.cpp
void registerFirmwareRoutines(TCommThread& worker, LinkLayer& link);  // FirmwareRoutines.cpp

}  // namespace plenar
