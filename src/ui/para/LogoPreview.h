// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QWidget>
#include <optional>

class QLabel;

namespace plenar {

// The NV-LOGO group's preview: the selected image as the printer will print it (its 1-bit raster
// with the padding to whole bytes and bands, not the source picture), its size in dots and bytes,
// and how much of the 256 KiB logo file the whole list takes.
// Threads: GUI thread only.
class LogoPreview : public QWidget {
 public:
  explicit LogoPreview(QWidget* parent = nullptr);

  // `paths` is the logo list in order; `current` the entry to show (-1: none).
  void display(const QStringList& paths, int current);
  // Bytes of the framed logo file the list would build (directory plus rasters).
  qint64 listBytes() const { return listBytes_; }

 private:
  struct Converted {
    QImage raster;  // the printed dots, black on white
    int width = 0;
    int height = 0;
    qint64 rasterBytes = 0;
    QString error;  // set when the file is not a readable image
  };
  // Loads a file once; later calls reuse it until the file changes on disk.
  const Converted* convert(const QString& path);

  QLabel* picture_;
  QLabel* info_;
  QLabel* budget_;
  QHash<QString, std::pair<qint64, Converted>> cache_;  // path -> (modification time, result)
  qint64 listBytes_ = 0;
};

}  // namespace plenar
