// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar {

// What became of one printer of the bench. A printer the bench stopped in the middle of (or an
// earlier run left reserved) is interrupted, never failed: its number stays used either way.
enum class BatchOutcome { Done, Failed, Interrupted };
inline constexpr BatchOutcome kBatchOutcomes[] = {BatchOutcome::Done, BatchOutcome::Failed,
                                                  BatchOutcome::Interrupted};
// The word the report and the counter file give it: "done", "failed", "interrupted".
const char* batchOutcomeWord(BatchOutcome outcome);

// One printer of the batch bench, as its report line gives it.
struct BatchLine {
  std::string time;  // ISO 8601, UTC
  std::string link;  // "serial /dev/ttyUSB0 at 9600", "net 192.168.1.87:5100"
  std::string modelTag;
  std::string name;
  std::string serial;
  int groupsDone = 0;
  BatchOutcome outcome = BatchOutcome::Failed;
  std::string error;
  std::string step;  // the step a printer that failed had reached: "link test", a group's name
  // What became of its device group (name and serial number): "acknowledged", "sent" (no answer:
  // the printer may hold them), "not-sent", "unknown" (a run that ended part-way). JSON only:
  // the CSV columns stay as they are, and the error text says it for a printer that failed.
  std::string deviceGroup = {};
};

// JSON lines: one object per printer.
std::string batchLineJson(const BatchLine& line);
// RFC 4180: fields quoted when they hold a comma, a quote or a line break; CRLF at the end.
std::string batchLineCsv(const BatchLine& line);
std::string batchCsvHeader();

// The report file: appended to, one line per printer, each written out (and synced) as soon as
// the printer is finished, so a kill leaves the line of every printer that got that far.
// CSV when the name ends in .csv (the header once, when the file is new or empty), else JSON
// lines. A symlink or anything but a regular file is refused.
// Threads: one thread.
class BatchReportFile {
 public:
  BatchReportFile() = default;
  // BatchError (file) when it cannot be opened.
  explicit BatchReportFile(const std::string& path);
  BatchReportFile(BatchReportFile&& other) noexcept;
  BatchReportFile& operator=(BatchReportFile&& other) noexcept;
  BatchReportFile(const BatchReportFile&) = delete;
  ~BatchReportFile();

  // BatchError (file) when the line cannot be written.
  void append(const BatchLine& line);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  void writeAll(const std::string& bytes);
  std::string path_;
  int fd_ = -1;
  bool csv_ = false;
};

}  // namespace plenar
