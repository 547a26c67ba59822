// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Testbed.h"

#include <sys/un.h>
#include <umockdev.h>

#include <stdexcept>

namespace plenar::sim {
namespace {

std::string takeError(GError* error, const std::string& what) {
  std::string text = what + (error != nullptr ? std::string(": ") + error->message : "");
  if (error != nullptr) g_error_free(error);
  return text;
}

}  // namespace

std::string Testbed::socketTooLong(const std::string& root, const std::string& node) {
  // umockdev answers a device's ioctls on a Unix socket at <root>/ioctl<node>; a longer path
  // than sun_path holds only draws a warning from umockdev, and programs then see a device that
  // never answers.
  const std::string path = root + "/ioctl" + node;
  if (path.size() < sizeof(sockaddr_un{}.sun_path)) return {};
  return "umockdev: the testbed folder " + root + " is too long for the socket of " + node + " (" +
         std::to_string(path.size()) + " bytes, at most " +
         std::to_string(sizeof(sockaddr_un{}.sun_path) - 1) + "): set TMPDIR to a shorter folder";
}

Testbed::Testbed() : testbed_(umockdev_testbed_new()) {
  if (testbed_ == nullptr) throw std::runtime_error("umockdev: cannot create a testbed");
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  root_ = root;
  g_free(root);
  if (std::string why = socketTooLong(root_, "/_default"); !why.empty()) {
    g_object_unref(testbed_);
    throw std::runtime_error(why);
  }
}

Testbed::~Testbed() {
  g_object_unref(testbed_);
}

void Testbed::addFromString(const std::string& record) {
  std::lock_guard lock(mutex_);
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
    throw std::runtime_error(takeError(error, "umockdev: bad device record"));
  }
}

void Testbed::removeDevice(const std::string& sysPath) {
  std::lock_guard lock(mutex_);
  umockdev_testbed_uevent(testbed_, sysPath.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, sysPath.c_str());
}

void Testbed::attachIoctl(const std::string& node, UMockdevIoctlBase* handler) {
  if (std::string why = socketTooLong(root_, node); !why.empty()) throw std::runtime_error(why);
  std::lock_guard lock(mutex_);
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), handler, &error)) {
    throw std::runtime_error(takeError(error, "umockdev: cannot attach a handler to " + node));
  }
}

void Testbed::detachIoctl(const std::string& node) {
  std::lock_guard lock(mutex_);
  GError* error = nullptr;
  if (!umockdev_testbed_detach_ioctl(testbed_, node.c_str(), &error) && error != nullptr) {
    g_error_free(error);
  }
}

}  // namespace plenar::sim

#if defined(__SANITIZE_THREAD__)
// umockdev answers ioctls on a GLib worker thread, and GLib, umockdev and libudev are not built
// with ThreadSanitizer: their own locking (futexes inside GLib) is invisible to it, so every
// hand-over between that thread and ours looks like a race inside those libraries. Every process
// that hosts a testbed links this file; races in our own code are still reported.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libglib-2.0.so.0\n"
         "called_from_lib:libgobject-2.0.so.0\n"
         "called_from_lib:libgio-2.0.so.0\n"
         "called_from_lib:libumockdev.so.0\n"
         "called_from_lib:libudev.so.1\n"
         "race:libglib-2.0.so.0\n"
         "race:libumockdev.so.0\n";
}
#endif
