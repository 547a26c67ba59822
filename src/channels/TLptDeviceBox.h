// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace plenar {

class TLptChannel;

// The connection window's parallel port list, apart from its widget: it lists the ports of a
// bound TLptChannel's port list ("LPT1", ...), selects the channel's LptPortNo, sets LptPortNo
// when the user picks a line, and rebuilds itself on the port list's change notices. The widget
// shows what `show` gets and reports picks through pick().
// Threads: owner (UI) thread only, like the port list's notices.
class TLptDeviceBox {
 public:
  // lines and the selected line (-1: none).
  using ShowEvent = std::function<void(const std::vector<std::string>& lines, int selected)>;

  explicit TLptDeviceBox(ShowEvent show);
  ~TLptDeviceBox();
  TLptDeviceBox(const TLptDeviceBox&) = delete;
  TLptDeviceBox& operator=(const TLptDeviceBox&) = delete;

  // Binds to `channel` (or to none) and rebuilds.
  void setChannel(TLptChannel* channel);
  TLptChannel* Channel() const { return channel_; }
  // Stored only.
  bool ResetOnChanged() const { return resetOnChanged_; }
  void setResetOnChanged(bool on) { resetOnChanged_ = on; }

  // The user picked line `index`: sets the channel's LptPortNo to that port, then runs OnChange.
  void pick(int index);
  void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  const std::vector<std::string>& lines() const { return lines_; }
  int selected() const { return selected_; }

 private:
  void rebuild();
  void channelGone();

  ShowEvent show_;
  std::function<void()> onChange_;
  TLptChannel* channel_ = nullptr;
  int subscription_ = 0;
  bool resetOnChanged_ = false;
  std::vector<std::string> lines_;
  std::vector<int> numbers_;
  int selected_ = -1;
};

}  // namespace plenar
