// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "requests/BuildResult.h"

namespace plenar {

// Tab 5 "红外设置" and tab 8 "产品设置". List arguments are item indexes (kNoItem: none).

// Code 14: infrared rate item (9600..115200), enabled (rb_Infrared), protocol item (raw, IrDA).
// Either list without an item: nothing.
BuildResult buildSetInfrared(int baudItem, bool enabled, int protocolItem);

// Code 15: a zero-filled 40-byte block, the device name in bytes 0..19 and the serial number in
// bytes 20..39 (GBK, cut to 20 bytes each). An empty name is refused with sMsg1; an empty serial
// number is sent as an empty area.
BuildResult buildSetDevice(const std::string& name, const std::string& serialNumber);

// Code 23 with Value1 = 0 (USB device type), 1 (paper type) or 2 (print order) and Value2 = the
// item. No item: nothing.
enum class DeviceOption { UsbType = 0, PaperType = 1, PrintOrder = 2 };
BuildResult buildSetDeviceOption(DeviceOption option, int item);

// Code 24: retraction seconds, low 8 bits; a text that is no number gives 30.
BuildResult buildSetRetractionTime(const std::string& text);
// Code 30 for item 0 (hiding on), 27 otherwise (hiding off). No item: nothing.
BuildResult buildBluetoothHiding(int item);
// Code 47: paper size item (two, three, four inch); no item sends 0xFF.
BuildResult buildSetPaperSize(int item);

}  // namespace plenar
