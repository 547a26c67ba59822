// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/BatchReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "profile/BatchNames.h"
#include "profile/LinkJson.h"

namespace plenar {
namespace {

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

bool endsWith(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i])
      return false;
  }
  return true;
}

}  // namespace

const char* batchOutcomeWord(BatchOutcome outcome) {
  switch (outcome) {
    case BatchOutcome::Done:
      return "done";
    case BatchOutcome::Failed:
      return "failed";
    case BatchOutcome::Interrupted:
      return "interrupted";
  }
  return "failed";
}

std::string batchLineJson(const BatchLine& l) {
  Json j;
  j["time"] = l.time;
  j["link"] = l.link;
  j["model_tag"] = l.modelTag;
  j["name"] = l.name;
  j["serial"] = l.serial;
  j["groups_done"] = l.groupsDone;
  j["outcome"] = batchOutcomeWord(l.outcome);
  j["error"] = l.error;
  j["step"] = l.step;
  if (!l.deviceGroup.empty()) j["device_group"] = l.deviceGroup;
  return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string batchCsvHeader() {
  return "time,link,model_tag,name,serial,groups_done,outcome,error,step\r\n";
}

std::string batchLineCsv(const BatchLine& l) {
  std::string out;
  for (const std::string* f : {&l.time, &l.link, &l.modelTag, &l.name, &l.serial}) {
    out += csvField(*f) + ",";
  }
  out += std::to_string(l.groupsDone) + ",";
  out += std::string(batchOutcomeWord(l.outcome)) + "," + csvField(l.error) + "," +
         csvField(l.step) + "\r\n";
  return out;
}

BatchReportFile::BatchReportFile(const std::string& path)
    : path_(path), csv_(endsWith(path, ".csv")) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
               0600);
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = fd_ < 0 ? errno : EINVAL;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    throw BatchError(
        FailureKind::File,
        "report " + path + ": " + (error == ELOOP ? "a symlink, refused" : std::strerror(error)),
        "batch-report", "--report");
  }
  if (csv_ && st.st_size == 0) writeAll(batchCsvHeader());
}

BatchReportFile::BatchReportFile(BatchReportFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), csv_(other.csv_) {}

BatchReportFile& BatchReportFile::operator=(BatchReportFile&& other) noexcept {
  std::swap(path_, other.path_);
  std::swap(fd_, other.fd_);
  std::swap(csv_, other.csv_);
  return *this;
}

BatchReportFile::~BatchReportFile() {
  if (fd_ >= 0) ::close(fd_);
}

void BatchReportFile::append(const BatchLine& line) {
  if (fd_ < 0) return;
  writeAll(csv_ ? batchLineCsv(line) : batchLineJson(line));
}

void BatchReportFile::writeAll(const std::string& bytes) {
  // One write for the whole line: with O_APPEND it lands after whatever is there, whole.
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      throw BatchError(FailureKind::File,
                       "report " + path_ + " cannot be written: " + std::strerror(errno),
                       "batch-report", "--report");
    }
    done += static_cast<std::size_t>(n);
  }
  ::fdatasync(fd_);
}

}  // namespace plenar
