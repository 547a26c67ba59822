// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "channels/DirectReceiver.h"
#include "channels/SessionEvents.h"
#include "channels/WriteQueue.h"
#include "platform/OwnerDispatcher.h"
#include "shared/Errors.h"

namespace plenar {

// One open connection of a serial or USB channel: the number its events carry, the write queue
// and the writer thread that empties it, one request at a time, raising OnSendDataEmpty each
// time the queue runs dry. The channel's own session derives from it and writes a request to its
// device (writeRequest). Its destructor must call stopWriter() first, while the members that
// writeRequest uses still exist, after it has ended a write in progress.
template <class Channel>
class ChannelSession {
 public:
  ChannelSession(const SessionEvents<Channel>& events, std::uint64_t id,
                 std::atomic<bool>& sendDataEmpty, const DirectReceiver& direct)
      : id(id), events_(events), queue_(sendDataEmpty), direct_(direct) {}
  virtual ~ChannelSession() { stopWriter(); }
  ChannelSession(const ChannelSession&) = delete;
  ChannelSession& operator=(const ChannelSession&) = delete;

  // Queues a copy for the writer; false once the writer has ended after a failure.
  bool send(std::span<const std::uint8_t> bytes) { return queue_.push(bytes); }
  // The bytes still queued; nullopt once the writer has ended.
  std::optional<std::size_t> queuedBytes() const { return queue_.queuedBytes(); }
  // Queues `event` for the owner thread; it runs only while this is the channel's open session.
  void post(std::function<void(Channel&)> event) const { events_.post(id, std::move(event)); }
  // Hands received bytes on: to the direct receiver when it takes them, else to the owner
  // thread's OnReceiveData.
  void deliver(std::span<const std::uint8_t> bytes) const {
    if (direct_ && direct_(bytes)) return;
    post([copy = std::vector<std::uint8_t>(bytes.begin(), bytes.end())](Channel& c) {
      if (c.OnReceiveData) c.OnReceiveData(c, copy.data(), static_cast<std::uint16_t>(copy.size()));
    });
  }

  const std::uint64_t id;

 protected:
  // Throws ECommsError "Unable to create write thread".
  void startWriter() {
    try {
      queue_.start();
      writer_ = std::thread(&ChannelSession::writeLoop, this);
    } catch (const std::system_error& e) {
      throw ECommsError("Unable to create write thread", e.code().value());
    }
  }
  // Ends the writer's wait for requests and joins it.
  void stopWriter() {
    queue_.stop();
    if (writer_.joinable()) writer_.join();
  }
  // Writes one request completely, on the writer thread; false ends the writer.
  virtual bool writeRequest(const std::vector<std::uint8_t>& bytes) = 0;
  // Runs on the writer thread as it ends, before the queue drops what is left.
  virtual void writerEnded() {}

 private:
  void writeLoop() {
    while (auto request = queue_.next([this] {
      post([](Channel& c) {
        if (c.OnSendDataEmpty) c.OnSendDataEmpty(c);
      });
    })) {
      if (!writeRequest(*request)) break;
    }
    writerEnded();
    queue_.finish();
  }

  const SessionEvents<Channel>& events_;
  WriteQueue queue_;
  const DirectReceiver& direct_;
  std::thread writer_;
};

// The channel's side of its sessions: the open one, the events (delivered for it alone) and the
// "send data empty" mark, which every open and close sets.
// Threads: open and close from one thread at a time (the channel's callers).
template <class Channel, class Session>
class ChannelSessions {
 public:
  ChannelSessions(OwnerDispatcher& owner, Channel& channel) : events(owner, channel) {}

  // Makes `make(id)` the open session. Its events are delivered from before it is made, so that
  // none that its threads raise while starting is lost. A `make` that throws or returns nothing
  // leaves the channel closed (false).
  template <class Make>
  bool open(Make&& make) {
    const std::uint64_t id = ++counter_;
    events.setSession(id);
    sendDataEmpty = true;
    try {
      session = make(id);
    } catch (...) {
      events.setSession(0);
      throw;
    }
    if (!session) events.setSession(0);
    return session != nullptr;
  }

  // Ends the open session; its events still queued for the owner are dropped, so that after a
  // close and a new open the owner never sees bytes or notices of the earlier connection.
  void close() {
    if (!session) return;
    events.setSession(0);
    session.reset();
    sendDataEmpty = true;
  }

  SessionEvents<Channel> events;
  std::atomic<bool> sendDataEmpty{true};
  // Set before the first open (its sessions read it on their threads without a lock).
  DirectReceiver direct;
  std::unique_ptr<Session> session;

 private:
  std::uint64_t counter_ = 0;
};

}  // namespace plenar
