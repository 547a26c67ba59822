// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/TLptDeviceBox.h"

#include <exception>

#include "channels/TLptChannel.h"

namespace plenar {

TLptDeviceBox::TLptDeviceBox(ShowEvent show) : show_(std::move(show)) {}

TLptDeviceBox::~TLptDeviceBox() {
  if (channel_) channel_->ports().unsubscribe(subscription_);
}

void TLptDeviceBox::setChannel(TLptChannel* channel) {
  if (channel_) channel_->ports().unsubscribe(subscription_);
  channel_ = channel;
  subscription_ = 0;
  if (channel_) {
    subscription_ = channel_->ports().subscribe([this] { rebuild(); }, [this] { channelGone(); });
  }
  rebuild();
}

void TLptDeviceBox::rebuild() {
  lines_.clear();
  numbers_.clear();
  selected_ = -1;
  if (channel_) {
    const int current = channel_->LptPortNo();
    for (const auto& port : channel_->ports().ports()) {
      if (port.number == current) selected_ = static_cast<int>(lines_.size());
      lines_.push_back(port.name);
      numbers_.push_back(port.number);
    }
  }
  if (show_) show_(lines_, selected_);
}

void TLptDeviceBox::pick(int index) {
  if (index < 0 || index >= static_cast<int>(numbers_.size())) return;
  selected_ = index;
  // Setting the number notifies this box, which rebuilds and selects the same port. An open port
  // is reopened on the new number; when that fails the port stays closed and the next command
  // opens it again and reports the failure, so the pick itself shows nothing.
  try {
    if (channel_) channel_->setLptPortNo(static_cast<std::uint8_t>(numbers_[index]));
  } catch (const std::exception&) {
  }
  if (onChange_) onChange_();
}

void TLptDeviceBox::channelGone() {
  channel_ = nullptr;
  subscription_ = 0;
  selected_ = -1;
  if (show_) show_(lines_, selected_);
}

}  // namespace plenar
