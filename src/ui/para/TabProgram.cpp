// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabProgram.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "logo/LogoFiles.h"
#include "requests/FileActions.h"
#include "shared/SharedTexts.h"
#include "ui/para/LogoPreview.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

namespace {

constexpr int kBinaryFilter = 0;
constexpr int kBmpFilter = 1;

QString shared(TextId id) {
  return QString::fromStdString(text(id));
}

}  // namespace

TabProgram::TabProgram(ParaHost& host, QWidget* parent) : ParaTab("ts_Program", host, parent) {
  auto* update = programGroup();
  auto* font = fontGroup();
  auto* nvLogo = logoGroup();
  auto* read = readBackGroup();
  auto* column = new QVBoxLayout(this);
  column->addWidget(update);
  column->addWidget(font);
  column->addWidget(nvLogo, 1);
  column->addWidget(read);
}

QGroupBox* TabProgram::programGroup() {
  using namespace para;
  auto* update = group("grp_UpdatePrg", QStringLiteral("程序更新"), this);
  programFile_ = edit("edt_Prgfile", {}, 0, update);
  auto* programLabel = label("lbl_Prgfile", QStringLiteral("选择打印机固件"), update, programFile_);
  auto* browseProgram = button("btn_OpenPrg", QStringLiteral("浏览"), update);
  waitTime_ = edit("edt_WaitTime", QStringLiteral("5"), 0, update);
  waitTime_->setReadOnly(true);
  acceptOnly(waitTime_, FieldFilter::Digits);
  auto* waitLabel = label("lbl_WaitTime", QStringLiteral("等待时间"), update, waitTime_);
  auto* waitUnit = label("lbl_WaitTimeUnit", QStringLiteral("秒"), update);
  auto* updateProgram = button("btn_UpdatePrg", QStringLiteral("更新"), update);
  auto* firmware = button("bt_firmware", QStringLiteral("固件更新"), update);
  firmware->hide();
  auto* updateGrid = new QGridLayout(update);
  updateGrid->addWidget(programLabel, 0, 0, Qt::AlignRight);
  updateGrid->addWidget(programFile_, 0, 1, 1, 2);
  updateGrid->addWidget(browseProgram, 0, 3);
  updateGrid->addWidget(waitLabel, 1, 0, Qt::AlignRight);
  updateGrid->addWidget(waitTime_, 1, 1);
  updateGrid->addWidget(waitUnit, 1, 2);
  updateGrid->addWidget(updateProgram, 1, 3);
  updateGrid->addWidget(firmware, 2, 3);
  updateGrid->setColumnStretch(1, 1);

  describeBy(updateProgram, {programLabel});
  describeBy(browseProgram, {programLabel});
  connect(browseProgram, &QPushButton::clicked, this, [this] {
    const QString title = shared(TextId::ChooseProgramFile);
    const QStringList files = this->host().chooseFilesToOpen(kBinaryFilter, &title, false);
    if (!files.isEmpty()) programFile_->setText(files.first());
  });
  onAction(updateProgram, [this] { guarded([this] { this->updateProgram(); }, programFile_); });
  return update;
}

QGroupBox* TabProgram::fontGroup() {
  using namespace para;
  auto* font = group("grp_UpdateFont", QStringLiteral("更新字库"), this);
  fontFile_ = edit("edt_FontFile", {}, 0, font);
  auto* fontLabel = label("lbl_FontFile", QStringLiteral("选择字库文件"), font, fontFile_);
  auto* browseFont = button("btn_OpenFont", QStringLiteral("浏览"), font);
  fontAddress_ = edit("edt_FontAddress", {}, 0, font);
  auto* addressLabel = label("lbl_FontAddress", QStringLiteral("字库起始地址"), font, fontAddress_);
  auto* updateFont = button("btn_UpdateFont", QStringLiteral("更新"), font);
  auto* fontGrid = new QGridLayout(font);
  fontGrid->addWidget(fontLabel, 0, 0, Qt::AlignRight);
  fontGrid->addWidget(fontFile_, 0, 1);
  fontGrid->addWidget(browseFont, 0, 2);
  fontGrid->addWidget(addressLabel, 1, 0, Qt::AlignRight);
  fontGrid->addWidget(fontAddress_, 1, 1);
  fontGrid->addWidget(updateFont, 1, 2);
  fontGrid->setColumnStretch(1, 1);

  describeBy(updateFont, {fontLabel});
  describeBy(browseFont, {fontLabel});
  connect(browseFont, &QPushButton::clicked, this, [this] {
    const QString title = shared(TextId::ChooseFontFile);
    const QStringList files = this->host().chooseFilesToOpen(kBinaryFilter, &title, false);
    if (!files.isEmpty()) fontFile_->setText(files.first());
  });
  onAction(updateFont, [this] { guarded([this] { downloadFont(); }, fontFile_); });
  return font;
}

QGroupBox* TabProgram::logoGroup() {
  using namespace para;
  auto* nvLogo = group("grp_NvLogo", QStringLiteral("NV-LOGO"), this);
  logos_ = new QListWidget(nvLogo);
  logos_->setObjectName(QStringLiteral("ListBox1"));
  logos_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* browseLogo = button("btn_OpenLogo", QStringLiteral("浏览"), nvLogo);
  auto* deleteLogo = button("btn_DeleteLogo", QStringLiteral("删除"), nvLogo);
  auto* downLogo = button("btn_DownLogo", QStringLiteral("下载"), nvLogo);
  auto* printLogo = button("btn_PrintLogo", QStringLiteral("打印"), nvLogo);
  auto* rawLogo = button("btn_EpsonDn", QStringLiteral("下载(1C 71)"), nvLogo);
  preview_ = new LogoPreview(nvLogo);
  auto* logoButtons = new QVBoxLayout;
  for (QPushButton* b : {browseLogo, deleteLogo, downLogo, printLogo, rawLogo}) {
    logoButtons->addWidget(b);
  }
  logoButtons->addStretch(1);
  auto* logoRow = new QHBoxLayout(nvLogo);
  logoRow->addWidget(logos_, 1);
  logoRow->addLayout(logoButtons);
  logoRow->addWidget(preview_);
  nameBy(logos_, nvLogo);

  connect(browseLogo, &QPushButton::clicked, this, [this] { addLogos(); });
  connect(deleteLogo, &QPushButton::clicked, this, [this] { deleteLogos(); });
  connect(logos_, &QListWidget::currentRowChanged, this, [this] { showPreview(); });
  onAction(downLogo, [this] { guarded([this] { downloadLogos(false); }, logos_); });
  onAction(rawLogo, [this] { guarded([this] { downloadLogos(true); }, logos_); });
  onAction(printLogo, [this] { printLogos(); });
  return nvLogo;
}

QGroupBox* TabProgram::readBackGroup() {
  using namespace para;
  auto* read = group("grp_ReadFont", QStringLiteral("加载字库"), this);
  startAddress_ = edit("edt_StartAddress", {}, 0, read);
  auto* startLabel = label("lbl_StartAddress", QStringLiteral("起始地址"), read, startAddress_);
  readLength_ = edit("edt_ReadLength", {}, 0, read);
  auto* lengthLabel = label("lbl_ReadLength", QStringLiteral("读取长度"), read, readLength_);
  auto* readButton = button("btn_ReadFont", QStringLiteral("读取"), read);
  auto* readRow = new QHBoxLayout(read);
  readRow->addWidget(startLabel);
  readRow->addWidget(startAddress_, 1);
  readRow->addWidget(lengthLabel);
  readRow->addWidget(readLength_, 1);
  readRow->addWidget(readButton);

  describeBy(readButton, {read});
  onAction(readButton, [this] { guarded([this] { readBack(); }, nullptr); });
  return read;
}

void TabProgram::refresh() {
  ParaTab::refresh();
  showPreview();
}

QStringList TabProgram::logoPaths() const {
  QStringList paths;
  for (int i = 0; i < logos_->count(); ++i) paths << logos_->item(i)->text();
  return paths;
}

void TabProgram::guarded(const std::function<void()>& action, const QWidget* field) {
  const QString fallback = field ? field->objectName() : QString();
  try {
    action();
  } catch (const FileActionRefused& e) {
    host().showRefusal(QString::fromStdString(e.what()),
                       e.field().empty() ? fallback : QString::fromStdString(e.field()));
  } catch (const std::exception& e) {
    host().showRefusal(QString::fromStdString(e.what()), fallback);
  }
}

void TabProgram::updateProgram() {
  std::string panel;
  CommandRequest request =
      firmwareRequest(programFile_->text().toStdString(), waitTime_->text().toStdString(), &panel);
  host().setFilePanel(QString::fromStdString(panel));
  host().submit(std::move(request));
}

void TabProgram::downloadFont() {
  auto request =
      fontDownloadRequest(fontFile_->text().toStdString(), fontAddress_->text().toStdString());
  if (request) host().submit(std::move(*request));
}

void TabProgram::readBack() {
  const QString file = host().chooseFileToSave();
  if (file.isEmpty()) return;
  std::string panel;
  CommandRequest request =
      readBackRequest(startAddress_->text().toStdString(), readLength_->text().toStdString(),
                      file.toStdString(), &panel);
  host().setFilePanel(QString::fromStdString(panel));
  host().submit(std::move(request));
}

void TabProgram::addLogos() {
  const QStringList files = host().chooseFilesToOpen(kBmpFilter, nullptr, true);
  logos_->addItems(files);
  if (logos_->count() > 0) logos_->setCurrentRow(0);
  showPreview();
}

void TabProgram::deleteLogos() {
  if (logos_->count() == 0) return;
  std::vector<int> rows;
  for (QListWidgetItem* item : logos_->selectedItems()) rows.push_back(logos_->row(item));
  if (rows.empty()) rows.push_back(logos_->count() - 1);
  // From the end, so that the rows still to remove keep their numbers.
  std::sort(rows.rbegin(), rows.rend());
  for (int row : rows) delete logos_->takeItem(row);
  showPreview();
}

void TabProgram::downloadLogos(bool raw) {
  std::vector<std::string> paths;
  for (const QString& p : logoPaths()) paths.push_back(p.toStdString());
  auto request = raw ? prepareRawLogoDownload(paths, host().programDir())
                     : prepareLogoDownload(paths, host().programDir());
  if (request) host().submit(std::move(*request));
}

void TabProgram::printLogos() {
  std::vector<int> positions;
  for (QListWidgetItem* item : logos_->selectedItems()) positions.push_back(logos_->row(item));
  if (auto request = printLogosRequest(positions)) host().submit(std::move(*request));
}

void TabProgram::showPreview() {
  preview_->display(logoPaths(), logos_->currentRow());
}

}  // namespace plenar
